// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/SheetTypes.h"

#include <QString>

#include <optional>

namespace corvial {

// How much more a label's text box takes, for a small counter beside it. The room is found
// with the very limits that cut the text as it is typed (TextLimits), so the counter never
// promises a byte the box would then refuse.

// Bytes (Shift-JIS: half-width 1, full-width 2) that can still be typed at the end of line
// `line` (0-based; past the last line: the last) of text in a box of kind `box`, when the
// sheet type's label text is typed in such a box: its bytes per line and in all, line breaks
// counting 2. Nothing when the type takes no text in a box of that kind, so it sets no limit.
std::optional<int> bytesLeft(TextBoxKind box, SheetType sheetType, const QString &text,
                             int line = 0);
// "残り N バイト" for the counter; empty for nothing.
QString bytesLeftText(std::optional<int> bytes);

} // namespace corvial
