// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace corvial {

// Every length limit of the program counts bytes of the text as the Shift-JIS code page
// stores it: half-width characters (ASCII, half-width katakana) 1 byte, everything else
// 2 bytes, a line break 2 bytes (CR LF). A character without a Shift-JIS form counts 2.

// Bytes of one Unicode code point (a surrogate pair is one code point).
int sjisCharBytes(char32_t codePoint);
// Bytes of the whole text; "\n", "\r\n" and a lone "\r" each count as one line break (2).
int sjisLength(const QString &text);
// The longest prefix of a single line whose byte length is at most maxBytes. A character
// that would cross the limit is dropped whole, never split. maxBytes < 0 counts as 0.
QString sjisLeft(const QString &line, int maxBytes);

// Text to Shift-JIS (windows-31j) bytes with CR LF line breaks; characters without a
// Shift-JIS form become "?".
QByteArray toSjis(const QString &text);
// Shift-JIS (windows-31j) bytes to text; CR LF stays as it is.
QString fromSjis(const QByteArray &bytes);

// Lines of a memo text as a multi-line box holds them: split at "\n" (CR LF and lone CR
// folded first), so "AB\n" gives {"AB", ""} and "" gives {""}.
QStringList memoLines(const QString &text);
// Line k (0-based) of a memo, or an empty text past its end.
QString memoLine(const QString &text, int k);
// Line count that ignores an empty last line after a final break: "" 0, "AB" 1, "AB\n" 1,
// "AB\nCD" 2, "\n" 1.
int memoLineCount(const QString &text);

} // namespace corvial
