// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/CellText.h"

#include <QDate>

#include <cmath>
#include <limits>

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
        return QString();
    const double magnitude = std::fabs(value);
    // The spreadsheet keeps no number closer to zero than the smallest normal double; it
    // shows the ones that a file holds as 0.
    if (magnitude < std::numeric_limits<double>::min())
        return QStringLiteral("0");
    if (magnitude >= 1e11 || magnitude < 1e-9) {
        // Six significant digits, as the spreadsheet keeps a standard column 11 wide. The
        // digits come from one correctly rounded conversion: dividing by a power of ten
        // loses precision near the smallest doubles (1E-320 came out as "10.0198E-321").
        const QString e = QString::number(value, 'e', 5);
        const qsizetype at = e.indexOf(QLatin1Char('e'));
        const int exponent = e.mid(at + 1).toInt();
        return QStringLiteral("%1E%2%3")
            .arg(trimmedFraction(e.left(at)),
                 exponent < 0 ? QStringLiteral("-") : QStringLiteral("+"))
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

NumberFormat numberFormatOf(int numFmtId, const QString &formatCode)
{
    NumberFormat f;
    if (formatCode.isEmpty()) {
        // Built-in formats: the general ones and those of the Japanese locale (era and
        // 年月日 forms; 32 and 33 are its 時/分/秒 times).
        if ((numFmtId >= 14 && numFmtId <= 17) || numFmtId == 22 ||
            (numFmtId >= 27 && numFmtId <= 31) || (numFmtId >= 34 && numFmtId <= 36) ||
            (numFmtId >= 50 && numFmtId <= 58))
            f.shape = NumberShape::Date;
        else if ((numFmtId >= 18 && numFmtId <= 21) || numFmtId == 32 || numFmtId == 33 ||
                 numFmtId == 45 || numFmtId == 47)
            f.shape = NumberShape::TimeOfDay;
        else if (numFmtId == 46)
            f.shape = NumberShape::Elapsed;
        f.seconds = numFmtId == 19 || numFmtId == 21 || numFmtId == 33 ||
                    (numFmtId >= 45 && numFmtId <= 47);
        return f;
    }
    // Only the first section (positive numbers) decides. Letters inside quotes, after a
    // backslash, "_" or "*", and in brackets other than the elapsed [h] [m] [s] are literal.
    bool date = false, hours = false, seconds = false, minutes = false, elapsed = false;
    const QString code = formatCode.toLower();
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char(';')) {
            break;
        } else if (c == QLatin1Char('"')) {
            const qsizetype close = code.indexOf(QLatin1Char('"'), i + 1);
            i = close < 0 ? code.size() : close;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = code.indexOf(QLatin1Char(']'), i);
            const QString inside = code.mid(i + 1, close < 0 ? -1 : close - i - 1);
            if (!inside.isEmpty() && inside.count(inside.at(0)) == inside.size() &&
                (inside.at(0) == QLatin1Char('h') || inside.at(0) == QLatin1Char('m') ||
                 inside.at(0) == QLatin1Char('s'))) {
                elapsed = true;
                hours = hours || inside.at(0) == QLatin1Char('h');
                seconds = seconds || inside.at(0) == QLatin1Char('s');
            }
            i = close < 0 ? code.size() : close;
        } else if (code.mid(i, 7) == QLatin1String("general")) {
            i += 6;
        } else if (code.mid(i, 5) == QLatin1String("am/pm")) {
            i += 4;
        } else if (code.mid(i, 3) == QLatin1String("a/p")) {
            i += 2;
        } else if (c == QLatin1Char('e') && i + 1 < code.size() &&
                   (code.at(i + 1) == QLatin1Char('+') || code.at(i + 1) == QLatin1Char('-'))) {
            ++i; // scientific notation
        } else if (c == QLatin1Char('y') || c == QLatin1Char('d') || c == QLatin1Char('g') ||
                   c == QLatin1Char('e')) {
            date = true;
        } else if (c == QLatin1Char('h')) {
            hours = true;
            if (i + 1 < code.size() && code.at(i + 1) == QLatin1Char('h'))
                f.paddedHours = true;
        } else if (c == QLatin1Char('s')) {
            seconds = true;
        } else if (c == QLatin1Char('m')) {
            minutes = true;
        }
    }
    // "m" alone is a month; beside hours or seconds it means minutes.
    if (date || (minutes && !hours && !seconds && !elapsed))
        f.shape = NumberShape::Date;
    else if (elapsed)
        f.shape = NumberShape::Elapsed;
    else if (hours || seconds)
        f.shape = NumberShape::TimeOfDay;
    f.seconds = seconds && f.shape != NumberShape::Date;
    return f;
}

QString formattedNumberText(double value, const NumberFormat &format, bool system1904)
{
    if (format.shape == NumberShape::General)
        return generalNumberText(value);
    if (format.shape == NumberShape::Date)
        return serialDateText(value, system1904);
    if (!std::isfinite(value) || value < 0 || value > 2958466.0)
        return QString();
    // Rounded to the second, then cut to the unit shown.
    qint64 total = std::llround(value * 86400.0);
    if (format.shape == NumberShape::TimeOfDay)
        total %= 86400;
    const qint64 hours = total / 3600;
    QString text = QStringLiteral("%1:%2")
                       .arg(hours, format.paddedHours ? 2 : 1, 10, QLatin1Char('0'))
                       .arg(total / 60 % 60, 2, 10, QLatin1Char('0'));
    if (format.seconds)
        text += QStringLiteral(":%1").arg(total % 60, 2, 10, QLatin1Char('0'));
    return text;
}

QString unshowableNumberText(int column, int row, const QString &stored)
{
    return QStringLiteral("セル %1 の値 %2 は数値・日付・時刻として表示できません "
                          "(非数、無限大、範囲外の日付、負の時刻など)。")
        .arg(listCellName(column, row), stored);
}

QString errorCellText(int column, int row, const QString &errorName)
{
    return QStringLiteral("セル %1 はエラー値 %2 です。ブックで値を直してから読み込んでください。")
        .arg(listCellName(column, row), errorName);
}

QString uncachedFormulaText(int column, int row)
{
    return QStringLiteral("セル %1 の数式には計算結果が保存されていません。"
                          "表計算ソフトで開いて再計算し、保存し直してください。")
        .arg(listCellName(column, row));
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
