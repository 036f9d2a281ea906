// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/DelimitedText.h"

#include <QStringDecoder>

#include <functional>

namespace corvial {

namespace {

// The code page Japanese spreadsheets write "CSV" in, with the vendor rows (circled digits)
// lab lists use.
constexpr const char *kShiftJis = "windows-31j";

bool decodes(QStringDecoder &&decoder, QByteArrayView bytes, QString *text)
{
    QString s = decoder.decode(bytes);
    // A sequence cut off at the very end is only noticed when the decoder is told the end.
    s += decoder.decode(QByteArrayView());
    if (decoder.hasError() || !decoder.isValid())
        return false;
    if (text)
        *text = s;
    return true;
}

QStringDecoder strict(QStringConverter::Encoding encoding)
{
    return QStringDecoder(encoding, QStringConverter::Flag::Stateless);
}

// 1-based line of the first line that the decoder refuses on its own. Shift-JIS second bytes
// are never a line feed, so the file can be cut into lines before decoding.
int firstBadLine(const QByteArray &bytes, const std::function<QStringDecoder()> &make)
{
    int line = 1;
    qsizetype from = 0;
    while (from <= bytes.size()) {
        qsizetype lf = bytes.indexOf('\n', from);
        if (lf < 0)
            lf = bytes.size();
        if (!decodes(make(), QByteArrayView(bytes).sliced(from, lf - from), nullptr))
            return line;
        ++line;
        from = lf + 1;
    }
    return line - 1;
}

QString undecodableReason(int line)
{
    return QStringLiteral(
               "%1 行目に UTF-8、UTF-16、Shift-JIS のどれとしても読めない文字があります。"
               "ファイルをこれらの文字コードで保存し直してください。")
        .arg(line);
}

// UTF-16 puts a NUL in the high byte of every ASCII character (digits, separators, line
// breaks), so its NULs crowd into every other place; text in an 8-bit encoding has none
// unless a cell holds one by mistake, which is then named as the cell's fault. The first
// 64 KiB tell enough.
bool looksLikeUtf16WithoutBom(QByteArrayView bytes)
{
    const qsizetype n = qMin<qsizetype>(bytes.size(), 64 * 1024) & ~qsizetype(1);
    qsizetype nuls[2] = {0, 0};
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] == '\0')
            ++nuls[i & 1];
    }
    const qsizetype places = n / 2;
    for (int side = 0; side < 2; ++side) {
        const qsizetype here = nuls[side];
        const qsizetype there = nuls[1 - side];
        if (here >= 2 && here * 8 >= places && there * 4 <= here)
            return true;
    }
    return false;
}

// The separator of a list's fields: Excel's "Unicode text" is tab separated, but a list of
// one column has no tab at all, and its first line alone may be a heading without one. A
// text without tabs is one column: its commas are the samples' own (-1 matches no character).
int separatorOf(const QString &text, Separator separator)
{
    if (separator == Separator::Comma)
        return u',';
    const bool tabs = separator == Separator::Tab || text.contains(QLatin1Char('\t'));
    return tabs ? int(u'\t') : -1;
}

bool isBreak(char16_t c)
{
    return c == u'\n' || c == u'\r';
}

// The unread rest of a list's text.
struct TextWalk
{
    const char16_t *p;
    const char16_t *end;

    // Steps over the line break at p (CR LF counts as one).
    void skipBreak()
    {
        if (*p == u'\r' && p + 1 < end && p[1] == u'\n')
            ++p;
        ++p;
    }
};

// Reads a quoted field from just after its opening quote to just after its closing one,
// appending its text to field when the field is kept; filled tells whether it had any. False
// when the text ends before the quote is closed.
bool readQuoted(TextWalk &w, bool kept, QString &field, bool &filled)
{
    while (w.p < w.end) {
        const char16_t *run = w.p;
        while (w.p < w.end && *w.p != u'"' && !isBreak(*w.p))
            ++w.p;
        if (kept)
            field.append(reinterpret_cast<const QChar *>(run), w.p - run);
        filled = filled || w.p > run;
        if (w.p == w.end)
            return false;
        if (isBreak(*w.p)) {
            filled = true;
            if (kept)
                field += QLatin1Char('\n');
            w.skipBreak();
            continue;
        }
        if (w.p + 1 < w.end && w.p[1] == u'"') {
            filled = true;
            if (kept)
                field += QLatin1Char('"');
            w.p += 2;
            continue;
        }
        ++w.p;
        return true;
    }
    return false;
}

// Reads the unquoted part of a field, up to the separator sep or the end of the line.
void readPlain(TextWalk &w, int sep, bool kept, QString &field, bool &filled)
{
    const char16_t *run = w.p;
    while (w.p < w.end && *w.p != sep && !isBreak(*w.p))
        ++w.p;
    if (kept)
        field.append(reinterpret_cast<const QChar *>(run), w.p - run);
    filled = filled || w.p > run;
}

} // namespace

bool decodeListText(const QByteArray &bytes, QString *text, QString *reason)
{
    const auto bom = [&](const char *mark) { return bytes.startsWith(QByteArray(mark)); };
    if (bom("\xEF\xBB\xBF")) {
        if (decodes(strict(QStringConverter::Utf8), QByteArrayView(bytes).sliced(3), text))
            return true;
        *reason = undecodableReason(
            firstBadLine(bytes.mid(3), [] { return strict(QStringConverter::Utf8); }));
        return false;
    }
    if (bom("\xFF\xFE") || bom("\xFE\xFF")) {
        const auto encoding =
            bom("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        const QByteArrayView body = QByteArrayView(bytes).sliced(2);
        if (body.size() % 2 == 0 && decodes(strict(encoding), body, text))
            return true;
        // Only a missing last byte makes UTF-16 undecodable; it sits on the last line.
        QString partial = strict(encoding).decode(body);
        *reason = undecodableReason(int(partial.count(QLatin1Char('\n'))) + 1);
        return false;
    }
    if (looksLikeUtf16WithoutBom(bytes)) {
        *reason = QStringLiteral(
            "バイト順マーク (BOM) のない UTF-16 のファイルのようです (0 のバイトが 1 つおきに"
            "並んでいます)。このままでは文字を正しく読めません。Excel では「Unicode テキスト」"
            "(.txt) か「CSV UTF-8」で、ほかのプログラムでは UTF-8 か BOM 付きの UTF-16 で"
            "保存し直してください。");
        return false;
    }
    if (decodes(strict(QStringConverter::Utf8), bytes, text))
        return true;
    const auto shiftJis = [] {
        return QStringDecoder(kShiftJis, QStringConverter::Flag::Stateless);
    };
    if (!shiftJis().isValid()) {
        *reason = QStringLiteral("Shift-JIS を読む変換器がこのシステムにありません。"
                                 "UTF-8 で保存したファイルをお使いください。");
        return false;
    }
    if (decodes(shiftJis(), bytes, text))
        return true;
    *reason = undecodableReason(firstBadLine(bytes, shiftJis));
    return false;
}

ListTableRead parseDelimitedText(const QString &text, Separator separator)
{
    ListTableRead read;
    const int sep = separatorOf(text, separator);
    // Walked as plain UTF-16 units: a 16 MiB list is tens of millions of them, and the text
    // of a cell is copied in runs, never a character at a time.
    const char16_t *const begin = reinterpret_cast<const char16_t *>(text.utf16());
    TextWalk w{begin, begin + text.size()};
    // keepCell only asks whether a cell right of the kept columns held text; its text is
    // never built, so a row of millions of cells costs no more than a row of four.
    static const QString farCell = QStringLiteral("*");
    int row = 0;
    int column = 0;
    QString field;
    while (w.p < w.end) {
        const bool kept = isKeptColumn(column);
        bool filled = false;
        field.clear();
        if (*w.p == u'"') {
            ++w.p;
            if (!readQuoted(w, kept, field, filled)) {
                read.reason = QStringLiteral("%1 行目で始まる引用符 (\") が閉じられていません。")
                                  .arg(row + 1);
                return read;
            }
        }
        readPlain(w, sep, kept, field, filled);
        if (!keepCell(read.table, row, column, kept ? field : (filled ? farCell : QString())))
            return read;
        if (w.p < w.end && *w.p == sep) {
            ++w.p;
            ++column;
            // A separator at the very end still opens an (empty) last field.
            continue;
        }
        if (w.p < w.end)
            w.skipBreak();
        ++row;
        column = 0;
    }
    return read;
}

ListTableRead readDelimitedList(const QByteArray &bytes, Separator separator,
                                const QString &fileName)
{
    ListTableRead read;
    QString text;
    if (!decodeListText(bytes, &text, &read.reason))
        return read;
    read = parseDelimitedText(text, separator);
    read.table.fileName = fileName;
    return read;
}

} // namespace corvial
