// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/SheetTypes.h"

#include <QString>

namespace corvial {

// All limits count Shift-JIS bytes (sjisLength): full-width characters 2, half-width 1,
// a line break 2. Texts come and go with "\n" between lines; "\r\n" and a lone "\r" are
// read as one line break and given back as "\n".
//
// Every limit keeps the text as typing it character by character would have left it: a
// character is kept only when its line and the whole text still keep their limits with it,
// so a pasted text ends exactly as the same text typed key by key, and a double-byte
// character is never split.

constexpr int OneLineMaxBytes = 5;       // the round labels' one line
constexpr int LinesInitialMaxBytes = 38; // lines typed before any sheet type set a maximum
constexpr int MemoLines = 4;             // lines of a memo label
constexpr int MemoLineBytes = 10;        // each of them
constexpr int MemoMaxBytes = 88;         // what the memo text may hold in all

// A one-line text for the text box of a sheet type: held to the box's bytes when the type
// takes one line, unchanged for any other box.
QString limitOneLineText(const QString &text, const TextBox &box);
// A text of a few lines for the text box of a sheet type and the maximum maxBytes (>= 0,
// negative counts as 0): when the type takes lines, its lines cut to the box's bytes per line;
// the lines it does not print, up to the sixth, emptied with their line breaks kept (a type
// that takes no lines keeps two); later lines untouched; then the whole text held to maxBytes.
QString limitLinesText(const QString &text, const TextBox &box, int maxBytes);
// A memo text for the text box of a sheet type and maximum maxBytes (>= 0): when the type
// takes a memo, its lines cut to the box's bytes per line; for every type lines 5..11 emptied
// with their line breaks kept, later lines untouched; then the whole text held to maxBytes.
QString limitMemoText(const QString &text, const TextBox &box, int maxBytes = MemoMaxBytes);
// The text as typing it into the box would have left it, by the rule of the box's kind; a
// marker's box takes any text as it is (it prints none).
QString limitedByBox(const QString &text, const TextBox &box);

} // namespace corvial
