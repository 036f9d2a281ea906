// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/ProofLabel.h"

#include "job/ShiftJis.h"
#include "job/TextLimits.h"

namespace corvial {

namespace {

// Longer lines get smaller type so that the proof box keeps them on one line. From ten
// bytes on the smallest size stays, rather than the platform's default height, which is
// larger and would overflow the box.
struct FontStep
{
    int below;
    int points;
};
const FontStep kMemoSizes[] = {{6, 12}, {8, 10}, {10, 9}};
constexpr int kLongMemoPoints = 8;

const FontStep kPlainNumberSizes[] = {{10, 18}, {100, 16}, {1000, 14}};
constexpr int kNumberPoints = 12;

} // namespace

QString circleProofText(const QString &entryText)
{
    return sjisLeft(entryText, Edit2MaxBytes);
}

QString markerText(int item)
{
    // U+FF0D is the Shift-JIS full-width minus (81 7C); the long-vowel mark of the radio
    // captions would print as a dash of the wrong height.
    switch (item) {
    case 0:
        return QStringLiteral("\uFF0D\uFF12\uFF10\u2103");
    case 1:
        return QStringLiteral("\uFF0D\uFF18\uFF10\u2103");
    case 2:
        return QStringLiteral("注意");
    case 3:
        return QStringLiteral("危険");
    default:
        return QString();
    }
}

int memoFontSizeForText(const QString &memoText)
{
    const int bytes = qMax(sjisLength(memoLine(memoText, 0)), sjisLength(memoLine(memoText, 1)));
    for (const FontStep &step : kMemoSizes) {
        if (bytes < step.below)
            return step.points;
    }
    return kLongMemoPoints;
}

int NumberFontSize(int n, int numberStyle)
{
    if (numberStyle == 0)
        return kNumberPoints;
    for (const FontStep &step : kPlainNumberSizes) {
        if (n < step.below)
            return step.points;
    }
    return kNumberPoints;
}

} // namespace corvial
