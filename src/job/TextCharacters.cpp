// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/TextCharacters.h"

#include <QVector>

namespace corvial {

namespace {

// Format characters (general category Cf and the two separators) that a reader cannot see
// but that change what the text around them reads as. Kept as a short list instead of
// QChar::category(), so that a later Unicode version in Qt cannot change what a label takes.
constexpr struct
{
    char32_t first;
    char32_t last;
} kInvisibleRanges[] = {
    {0x00AD, 0x00AD},   // soft hyphen
    {0x034F, 0x034F},   // combining grapheme joiner
    {0x061C, 0x061C},   // Arabic letter mark
    {0x115F, 0x1160},   // Hangul fillers
    {0x180E, 0x180E},   // Mongolian vowel separator
    {0x200B, 0x200F},   // zero-width space, non-joiner, joiner, LRM, RLM
    {0x2028, 0x202E},   // line and paragraph separators, bidi embeddings and overrides
    {0x2060, 0x2064},   // word joiner, invisible operators
    {0x2066, 0x206F},   // bidi isolates, deprecated format characters
    {0x3164, 0x3164},   // Hangul filler
    {0xFE00, 0xFE0F},   // variation selectors
    {0xFEFF, 0xFEFF},   // zero-width no-break space, byte order mark
    {0xFFA0, 0xFFA0},   // half-width Hangul filler
    {0xFFF9, 0xFFFB},   // interlinear annotation
    {0x1D173, 0x1D17A}, // musical formatting
    {0xE0000, 0xE0FFF}, // tags, variation selectors supplement
};

bool isInvisible(char32_t cp)
{
    for (const auto &r : kInvisibleRanges) {
        if (cp >= r.first && cp <= r.last)
            return true;
    }
    return false;
}

} // namespace

CharacterClass classOfCharacter(char32_t cp, bool lineBreaks)
{
    if (cp == U'\n' || cp == U'\r')
        return lineBreaks ? CharacterClass::Allowed : CharacterClass::Control;
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
        return CharacterClass::Control;
    if (isInvisible(cp))
        return CharacterClass::Invisible;
    return CharacterClass::Allowed;
}

ForbiddenCharacter firstForbiddenCharacter(const QString &text, bool lineBreaks)
{
    ForbiddenCharacter found;
    int line = 1;
    for (int i = 0; i < text.size();) {
        const QChar c = text.at(i);
        char32_t cp = c.unicode();
        int width = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, text.at(i + 1));
            width = 2;
        }
        const CharacterClass kind = classOfCharacter(cp, lineBreaks);
        if (kind != CharacterClass::Allowed) {
            found.index = i;
            found.line = line;
            found.code = cp;
            found.kind = kind;
            return found;
        }
        // CR LF is one break: the CR counts it, the LF after it does not.
        if (cp == U'\r' || (cp == U'\n' && (i == 0 || text.at(i - 1) != QLatin1Char('\r'))))
            ++line;
        i += width;
    }
    return found;
}

QString codePointName(char32_t cp)
{
    return QStringLiteral("U+%1").arg(
        QString::number(uint(cp), 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

QString forbiddenCharacterWords(const ForbiddenCharacter &character)
{
    const QString word = character.kind == CharacterClass::Invisible
                             ? QStringLiteral("見えない書式文字")
                             : QStringLiteral("制御文字");
    return QStringLiteral("%1 %2").arg(word, codePointName(character.code));
}

QString visibleText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    const QVector<uint> codes = text.toUcs4();
    for (uint cp : codes) {
        if (classOfCharacter(cp, false) != CharacterClass::Allowed) {
            out += codePointName(cp);
            continue;
        }
        const char32_t one[1] = {cp};
        out += QString::fromUcs4(one, 1);
    }
    return out;
}

} // namespace corvial
