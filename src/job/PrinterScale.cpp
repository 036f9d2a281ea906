// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/PrinterScale.h"

#include <QtGlobal>

#include <cmath>

namespace corvial {

bool PrinterScale::isIdentity() const
{
    return permilleX == ScalePermilleNominal && permilleY == ScalePermilleNominal;
}

bool isScalePermille(int permille)
{
    return permille >= ScalePermilleMin && permille <= ScalePermilleMax;
}

int scaleFromMeasured(double nominalMm, double measuredMm)
{
    if (!(measuredMm > 0) || !(nominalMm > 0) || !std::isfinite(measuredMm))
        return -1;
    const double permille = std::round(nominalMm / measuredMm * ScalePermilleNominal);
    // A length far off the ruler gives a factor far off the range; it is refused by the
    // caller, and must not overflow on the way there.
    return int(qBound(0.0, permille, 1000000.0));
}

QString formatScalePercent(int permille)
{
    const QString sign = permille < 0 ? QStringLiteral("-") : QString();
    const int a = qAbs(permille);
    return QStringLiteral("%1%2.%3").arg(sign).arg(a / 10).arg(a % 10);
}

QString scaleRangeText()
{
    return QStringLiteral("%1 〜 %2 %")
        .arg(formatScalePercent(ScalePermilleMin), formatScalePercent(ScalePermilleMax));
}

bool parseScalePercent(const QString &text, int *permille, QString *reason)
{
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('%')))
        t = t.left(t.size() - 1).trimmed();
    const auto refuse = [&](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    // Digits only, read by hand: toDouble would take "1e2", "0x", blanks and the locale's
    // separators, and round a value finer than 0.1 % without a word.
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? t : t.left(dot);
    const QString tenths = dot < 0 ? QString() : t.mid(dot + 1);
    const auto digits = [](const QString &s) {
        for (QChar c : s) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        return true;
    };
    if (whole.isEmpty() || whole.size() > 4 || !digits(whole) || !digits(tenths) ||
        (dot >= 0 && tenths.isEmpty()))
        return refuse(QStringLiteral("倍率は 101.0 のように、%1 の数で書いてください。")
                          .arg(scaleRangeText()));
    if (tenths.size() > 1 && tenths.mid(1) != QString(tenths.size() - 1, QLatin1Char('0')))
        return refuse(QStringLiteral("倍率は 0.1 % 単位で書いてください。"));
    const int value = whole.toInt() * 10 + (tenths.isEmpty() ? 0 : tenths.at(0).digitValue());
    if (!isScalePermille(value))
        return refuse(QStringLiteral("倍率 %1 % は範囲外です。%2 の数で書いてください。")
                          .arg(formatScalePercent(value), scaleRangeText()));
    *permille = value;
    return true;
}

} // namespace corvial
