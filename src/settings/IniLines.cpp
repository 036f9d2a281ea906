// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/IniLines.h"

namespace corvial {

namespace {

const QByteArray kByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

} // namespace

IniText splitIni(const QByteArray &content)
{
    IniText text;
    qsizetype from = 0;
    // Windows' Notepad writes a byte order mark; read as text it would hide the first
    // section's name.
    if (content.startsWith(kByteOrderMark)) {
        text.byteOrderMark = kByteOrderMark;
        from = kByteOrderMark.size();
    }
    while (from < content.size()) {
        qsizetype end = from;
        while (end < content.size() && content.at(end) != '\n' && content.at(end) != '\r')
            ++end;
        IniLine line;
        line.text = content.mid(from, end - from);
        qsizetype next = end;
        if (next < content.size()) {
            // An old Mac editor ends lines with "\r" alone: that is a line end too.
            next +=
                content.at(end) == '\r' && end + 1 < content.size() && content.at(end + 1) == '\n'
                    ? 2
                    : 1;
        }
        line.ending = content.mid(end, next - end);
        text.lines << line;
        from = next;
    }
    return text;
}

QByteArray joinIni(const IniText &text)
{
    QByteArray out = text.byteOrderMark;
    for (const IniLine &line : text.lines)
        out += line.text + line.ending;
    return out;
}

bool isIniSection(const QByteArray &trimmedLine, QByteArray *name)
{
    if (trimmedLine.size() < 2 || !trimmedLine.startsWith('[') || !trimmedLine.endsWith(']'))
        return false;
    *name = trimmedLine.mid(1, trimmedLine.size() - 2).trimmed();
    return true;
}

bool isIniComment(const QByteArray &trimmedLine)
{
    return trimmedLine.isEmpty() || trimmedLine.startsWith('#') || trimmedLine.startsWith(';');
}

} // namespace corvial
