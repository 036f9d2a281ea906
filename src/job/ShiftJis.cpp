// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShiftJis.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace corvial {

namespace {

// windows-31j is the code page the labels were always stored in; it is Shift-JIS with the
// vendor rows (circled digits, roman numerals) that lab texts do use.
constexpr const char *kCodec = "windows-31j";

QString normaliseBreaks(const QString &text)
{
    if (!text.contains(QLatin1Char('\r')))
        return text;
    QString s = text;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

} // namespace

int sjisCharBytes(char32_t cp)
{
    if (cp < 0x80)
        return 1;
    // The encoder is the authority on what is single-byte (half-width katakana) and what
    // has no Shift-JIS form at all; the latter is stored as a 2-byte substitute.
    // An encoder that met an unmappable character stays in error (resetState does not clear
    // it), so a failed one is replaced rather than reused.
    thread_local QStringEncoder enc(kCodec, QStringConverter::Flag::Stateless);
    const char32_t c32[1] = {cp};
    const QByteArray b = enc.encode(QString::fromUcs4(c32, 1));
    if (enc.hasError() || b.isEmpty()) {
        enc = QStringEncoder(kCodec, QStringConverter::Flag::Stateless);
        return 2;
    }
    return int(b.size());
}

int sjisLength(const QString &text)
{
    int bytes = 0;
    const QString s = normaliseBreaks(text);
    for (char32_t cp : s.toUcs4()) {
        bytes += cp == U'\n' ? 2 : sjisCharBytes(cp);
    }
    return bytes;
}

QString sjisLeft(const QString &line, int maxBytes)
{
    int bytes = 0;
    qsizetype i = 0;
    while (i < line.size()) {
        const QChar c = line.at(i);
        char32_t cp = c.unicode();
        qsizetype units = 1;
        if (c.isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, line.at(i + 1));
            units = 2;
        }
        const int n = (cp == U'\n' || cp == U'\r') ? 2 : sjisCharBytes(cp);
        if (bytes + n > maxBytes)
            break;
        bytes += n;
        i += units;
    }
    return line.left(i);
}

QByteArray toSjis(const QString &text)
{
    QString s = normaliseBreaks(text);
    s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QStringEncoder enc(kCodec, QStringConverter::Flag::Default);
    QByteArray out;
    out.reserve(s.size() * 2);
    // Encoded one character at a time so that an unmappable one becomes a single "?"
    // instead of whatever substitution the converter picks for the whole run.
    const QList<uint> cps = s.toUcs4();
    for (uint cp : cps) {
        const char32_t c32[1] = {cp};
        const QString one = QString::fromUcs4(c32, 1);
        QByteArray b = enc.encode(one);
        if (enc.hasError() || b.isEmpty()) {
            enc = QStringEncoder(kCodec, QStringConverter::Flag::Default);
            b = QByteArray("?");
        }
        out += b;
    }
    return out;
}

QString fromSjis(const QByteArray &bytes)
{
    QStringDecoder dec(kCodec);
    return dec.decode(bytes);
}

QStringList memoLines(const QString &text)
{
    return normaliseBreaks(text).split(QLatin1Char('\n'));
}

QString memoLine(const QString &text, int k)
{
    const QStringList lines = memoLines(text);
    return k >= 0 && k < lines.size() ? lines.at(k) : QString();
}

int memoLineCount(const QString &text)
{
    if (text.isEmpty())
        return 0;
    const QStringList lines = memoLines(text);
    return lines.last().isEmpty() ? int(lines.size()) - 1 : int(lines.size());
}

} // namespace corvial
