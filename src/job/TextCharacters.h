// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace corvial {

// Which characters a label may hold at all, whatever the sheet type. A label is read by
// people at the bench: a character that prints as an empty box, moves the text that follows
// it or cannot be seen at all makes the label say something other than what was typed, so
// such characters are refused by name instead of printed, cut or replaced.

// Why a character is refused.
enum class CharacterClass {
    Allowed,
    Control,   // C0 control (other than a line break where one is allowed), DEL or C1 control
    Invisible, // a format character that cannot be seen but changes how text reads: bidi
               // marks, overrides and isolates, zero-width spaces and joiners, word joiner,
               // invisible operators, byte order mark, line and paragraph separators
};

// Class of one code point; "\n" and "\r" are Allowed only when lineBreaks is true.
CharacterClass classOfCharacter(char32_t codePoint, bool lineBreaks);

// A refused character found in a text.
struct ForbiddenCharacter
{
    int index = -1;    // position in UTF-16 units; -1 when the text has none
    int line = 0;      // 1-based line ("\n", "\r\n" or "\r" end a line)
    char32_t code = 0; // the character
    CharacterClass kind = CharacterClass::Allowed;

    bool found() const { return index >= 0; }
};

// The first character of text a label may not hold; line breaks are allowed when lineBreaks.
ForbiddenCharacter firstForbiddenCharacter(const QString &text, bool lineBreaks = true);
// "U+0009", "U+202E", "U+1F600": at least four upper-case hex digits.
QString codePointName(char32_t codePoint);
// Japanese words for the character: "制御文字 U+0009" or "見えない書式文字 U+202E".
QString forbiddenCharacterWords(const ForbiddenCharacter &character);
// text with every character that could not be seen or would reorder a terminal line
// (controls including line breaks, invisible format characters) written as "U+XXXX", for
// echoing file names and texts in messages. Other text is unchanged.
QString visibleText(const QString &text);

} // namespace corvial
