// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/CellText.h"

#include <QDate>

#include <cmath>

namespace corvial {

namespace {

constexpr int kGeneralDigits = 10;
constexpr int kMaxColumns = 16384;

QString trimmedFraction(QString text)
{
    if (!text.contains(QLatin1Char('.')))
        return text;
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace

QString generalNumberText(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e11 || magnitude < 1e-9) {
        // Six significant digits, as the spreadsheet keeps a standard column 11 wide.
        int exponent = int(std::floor(std::log10(magnitude)));
        double mantissa = value / std::pow(10.0, exponent);
        QString digits = trimmedFraction(QString::number(mantissa, 'f', 5));
        if (digits == QLatin1String("10") || digits == QLatin1String("-10")) {
            ++exponent;
            digits =
                digits.startsWith(QLatin1Char('-')) ? QStringLiteral("-1") : QStringLiteral("1");
        }
        return QStringLiteral("%1E%2%3")
            .arg(digits, exponent < 0 ? QStringLiteral("-") : QStringLiteral("+"))
            .arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
    }
    const int integerDigits = qMax(1, int(std::floor(std::log10(magnitude))) + 1);
    const int decimals = qMax(0, kGeneralDigits - integerDigits);
    QString text = trimmedFraction(QString::number(value, 'f', decimals));
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QString serialDateText(double serial, bool system1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465.0)
        return QString();
    const qint64 day = qint64(std::floor(serial));
    QDate date;
    if (system1904) {
        date = QDate(1904, 1, 1).addDays(day);
    } else {
        // The 1900 system counts a 29 February 1900 that never was: day 60 is shown as that
        // day, and from day 61 on the count is one ahead of the calendar.
        if (day == 60)
            return QStringLiteral("1900/02/29");
        date = QDate(1899, 12, day < 60 ? 31 : 30).addDays(day);
    }
    if (date.year() > 9999)
        return QString();
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

QString isoDateText(const QString &iso)
{
    const QDate date = QDate::fromString(iso.left(10), QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? date.toString(QStringLiteral("yyyy/MM/dd")) : iso;
}

QString listColumnName(int column)
{
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

QString listCellName(int column, int row)
{
    return listColumnName(column) + QString::number(row + 1);
}

int columnOfReference(const QString &reference)
{
    int column = 0;
    int letters = 0;
    for (QChar c : reference) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z')
            break;
        column = column * 26 + (u - u'A' + 1);
        if (column > kMaxColumns)
            return -1;
        ++letters;
    }
    return letters == 0 ? -1 : column - 1;
}

} // namespace corvial
