// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/BytesLeft.h"

#include "job/ShiftJis.h"
#include "job/TextLimits.h"

namespace corvial {

std::optional<int> bytesLeft(TextBoxKind box, SheetType sheetType, const QString &text, int line)
{
    const TextBox &limits = sheetType.info().textBox;
    if (box == TextBoxKind::Marker || limits.kind != box)
        return std::nullopt;
    QStringList lines = memoLines(text);
    const int at = qBound(0, line, int(lines.size()) - 1);
    // Half-width characters are one byte each: as many as the limit keeps are the bytes left.
    // Asking the limit itself keeps the line, memo and whole-text rules in one place.
    int left = 0;
    for (; left < limits.totalBytes; ++left) {
        lines[at] += QLatin1Char('x');
        const QString longer = lines.join(QLatin1Char('\n'));
        if (limitedByBox(longer, limits) != longer)
            break;
    }
    return left;
}

QString bytesLeftText(std::optional<int> bytes)
{
    return bytes ? QStringLiteral("残り %1 バイト").arg(*bytes) : QString();
}

} // namespace corvial
