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
    QChar sep = QLatin1Char(',');
    if (separator == Separator::Tab)
        sep = QLatin1Char('\t');
    else if (separator == Separator::ByFirstLine) {
        qsizetype end = text.indexOf(QLatin1Char('\n'));
        if (end < 0)
            end = text.size();
        if (text.left(end).contains(QLatin1Char('\t')))
            sep = QLatin1Char('\t');
    }

    const QChar quote = QLatin1Char('"');
    const qsizetype n = text.size();
    int row = 0;
    int column = 0;
    QString field;
    qsizetype i = 0;
    const auto isBreak = [](QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); };
    // Steps over the line break at i (CR LF counts as one).
    const auto skipBreak = [&] {
        if (text.at(i) == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        ++i;
    };
    while (i < n) {
        field.clear();
        if (text.at(i) == quote) {
            const int openedRow = row;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = text.at(i);
                if (c == quote) {
                    if (i + 1 < n && text.at(i + 1) == quote) {
                        field += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (isBreak(c)) {
                    field += QLatin1Char('\n');
                    skipBreak();
                    continue;
                }
                field += c;
                ++i;
            }
            if (!closed) {
                read.reason = QStringLiteral("%1 行目で始まる引用符 (\") が閉じられていません。")
                                  .arg(openedRow + 1);
                return read;
            }
        }
        while (i < n && text.at(i) != sep && !isBreak(text.at(i)))
            field += text.at(i++);
        if (!keepCell(read.table, row, column, field))
            return read;
        if (i < n && text.at(i) == sep) {
            ++i;
            ++column;
            // A separator at the very end still opens an (empty) last field.
            continue;
        }
        if (i < n)
            skipBreak();
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
