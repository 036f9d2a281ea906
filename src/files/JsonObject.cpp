// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/JsonObject.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QList>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace corvial {

namespace {

// "3 行 12 文字目" for a byte offset of text; the column counts characters, not bytes.
QString positionText(const QByteArray &text, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, text.size());
    const qsizetype lineStart = offset > 0 ? text.lastIndexOf('\n', offset - 1) + 1 : 0;
    const qsizetype line = text.left(offset).count('\n') + 1;
    // Characters start at every byte that does not continue a UTF-8 sequence.
    const qsizetype column = std::count_if(text.begin() + lineStart, text.begin() + offset,
                                           [](char c) { return (uchar(c) & 0xC0) != 0x80; }) +
                             1;
    return QStringLiteral("%1 行 %2 文字目").arg(line).arg(column);
}

// Number of the first line (from 1) that is not UTF-8, or 0. A line break is never part of a
// longer UTF-8 sequence, so each line can be decoded on its own.
qsizetype firstLineNotUtf8(const QByteArray &text)
{
    qsizetype line = 1;
    for (qsizetype from = 0; from <= text.size(); ++line) {
        qsizetype to = text.indexOf('\n', from);
        if (to < 0)
            to = text.size();
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString decoded = decoder.decode(QByteArrayView(text.constData() + from, to - from));
        if (decoder.hasError())
            return line;
        from = to + 1;
    }
    return 0;
}

// Offset just past the string that opens at text[at] (a quote), or the end of an unended one.
qsizetype stringEnd(const QByteArray &text, qsizetype at)
{
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text.at(i) == '\\')
            ++i;
        else if (text.at(i) == '"')
            return i + 1;
    }
    return text.size();
}

// Offset where the text opens a level of objects or arrays beyond maxDepth, or -1. Brackets
// that do not match are left to the parser.
qsizetype tooDeepAt(const QByteArray &text, int maxDepth)
{
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"') {
            i = stringEnd(text, i) - 1;
        } else if (c == '{' || c == '[') {
            if (++depth > maxDepth)
                return i;
        } else if (c == '}' || c == ']') {
            depth = std::max(0, depth - 1);
        }
    }
    return -1;
}

// The string that opens at text[at], decoded; text is valid JSON by now.
QString decodedString(const QByteArray &text, qsizetype at)
{
    QString out;
    qsizetype run = at + 1;
    qsizetype i = run;
    const auto flush = [&] { out += QString::fromUtf8(text.constData() + run, i - run); };
    while (text.at(i) != '"') {
        if (text.at(i) != '\\') {
            ++i;
            continue;
        }
        flush();
        const char e = text.at(i + 1);
        if (e == 'u') {
            out += QChar(char16_t(text.mid(i + 2, 4).toUShort(nullptr, 16)));
            i += 6;
        } else {
            const char *from = "bfnrt";
            const char *to = "\b\f\n\r\t";
            const char *found = std::strchr(from, e);
            out += QLatin1Char(found ? to[found - from] : e);
            i += 2;
        }
        run = i;
    }
    flush();
    return out;
}

// The first key given twice in one object, with where, into read; the object's own keys in
// file order. Walks the text once with an explicit stack as deep as the text is.
void scanKeys(const QByteArray &text, JsonObjectRead &read)
{
    struct Level
    {
        bool object;
        bool keyNext;
        QSet<QString> keys;
    };
    QList<Level> levels;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '{' || c == '[') {
            levels.append(Level{c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            levels.removeLast();
        } else if (c == ',' && levels.last().object) {
            levels.last().keyNext = true;
        } else if (c == '"') {
            Level &level = levels.last();
            if (level.object && level.keyNext) {
                const QString key = decodedString(text, i);
                level.keyNext = false;
                if (level.keys.contains(key)) {
                    read.key = key;
                    read.reason =
                        QStringLiteral("2 回書かれています（%1）。").arg(positionText(text, i));
                    return;
                }
                level.keys.insert(key);
                if (levels.size() == 1)
                    read.keys << key;
            }
            i = stringEnd(text, i) - 1;
        }
    }
}

} // namespace

JsonObjectRead readJsonObject(const QByteArray &bytes, int maxDepth)
{
    JsonObjectRead read;
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    if (const qsizetype line = firstLineNotUtf8(text)) {
        read.reason = QStringLiteral("UTF-8 で書かれていません（%1 行目）。").arg(line);
        return read;
    }
    if (const qsizetype at = tooDeepAt(text, maxDepth); at >= 0) {
        read.reason = QStringLiteral("オブジェクトと配列の入れ子が %1 段を超えています（%2）。")
                          .arg(maxDepth)
                          .arg(positionText(text, at));
        return read;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        // The parser stops just past the character it could not take, except for what
        // follows a whole document, where it stops on it.
        const qsizetype at = error.offset - (error.error == QJsonParseError::GarbageAtEnd ? 0 : 1);
        read.reason = QStringLiteral("JSON として読めません（%1: %2）。")
                          .arg(positionText(text, at), error.errorString());
        return read;
    }
    if (!document.isObject()) {
        read.reason = QStringLiteral("JSON のオブジェクト（{ } で囲んだキーと値）ではありません。");
        return read;
    }
    scanKeys(text, read);
    if (read.ok())
        read.object = document.object();
    return read;
}

} // namespace corvial
