// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

constexpr int Edit2MaxBytes = 5;         // the circle labels' text (sheet type 1)
constexpr int Memo8InitialMaxBytes = 38; // Memo8's maximum length before a sheet type sets one
constexpr int Memo5MaxBytes = 88;        // Memo5's maximum length
constexpr int Memo5LineBytes = 10;       // first four Memo5 lines of the memo type (3)

// Edit2's text for sheet type 1..10: at most 5 bytes for type 1, unchanged for the others.
QString limitEdit2Text(const QString &text, int sheetType);
// Memo8's text for sheet type 1..10 and the box's maximum length maxBytes (>= 0, negative
// counts as 0): the checked lines cut to memo8LineLimit bytes, lines 3..6 (types 8..10:
// 4..6) emptied with their line breaks kept, later lines untouched, then the whole text
// held to maxBytes.
QString limitMemo8Text(const QString &text, int sheetType, int maxBytes);
// Memo5's text for sheet type 1..10 and maximum length maxBytes (>= 0): for type 3 the
// first four lines cut to 10 bytes; for every type lines 5..11 emptied with their line
// breaks kept, later lines untouched; then the whole text held to maxBytes.
QString limitMemo5Text(const QString &text, int sheetType, int maxBytes = Memo5MaxBytes);

// Bytes allowed per checked Memo8 line of sheet type 1..10: 7, 12, 10, 12, 15, 12, 15 for
// types 2, 5..10; 0 for types 1, 3, 4 and unknown types.
int memo8LineLimit(int sheetType);
// Number of leading Memo8 lines held to memo8LineLimit: 2 for types 2, 5, 6, 7; 3 for
// types 8, 9, 10; 0 otherwise.
int memo8CheckedLines(int sheetType);

} // namespace corvial
