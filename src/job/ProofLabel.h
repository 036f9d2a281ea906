// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace corvial {

constexpr int MarkerCount = 4;

// Text line of the circle proof: the longest prefix of Edit2's text within 5 bytes.
QString circleProofText(const QString &entryText);
// Label text of marker item 0..3 of RadioGroup1 ("－２０℃", "－８０℃", "注意", "危険",
// written with the full-width minus); empty for any other item.
QString markerText(int item);
// Point size of a proof text, from the byte length L of the longer of the memo's first two
// lines (a missing line counts as empty): L < 6 12, 6..7 10, 8..9 9, 10 or more 8.
int memoFontSizeForText(const QString &memoText);
// Point size of sample number n: 12 with zero-padded numbers (numberStyle 0); with plain
// numbers (any other style) 18 below 10, 16 below 100, 14 below 1000, else 12.
int NumberFontSize(int n, int numberStyle);

} // namespace corvial
