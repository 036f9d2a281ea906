// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

namespace corvial {

// corvial.ini cut into lines the way every editor a lab may use writes them, shared by the
// reader and the rewrite of the scale so that both see the same lines with the same numbers.

// One line without its ending, and the ending it had: "\n", "\r\n", "\r", or none at the end.
struct IniLine
{
    QByteArray text;
    QByteArray ending;
};

// The file as lines, with the UTF-8 byte order mark it may start with kept apart.
struct IniText
{
    QByteArray byteOrderMark; // "\xEF\xBB\xBF" or empty
    QList<IniLine> lines;     // line n of the file is lines[n - 1]
};

// content (any bytes) cut at "\r\n", "\r" and "\n" alike; joinIni(splitIni(c)) == c.
IniText splitIni(const QByteArray &content);
// The bytes of text: the byte order mark, then every line followed by its ending.
QByteArray joinIni(const IniText &text);
// True when a (trimmed) line opens a section, "[ name ]" putting "name" (perhaps empty) into
// *name; false for any other line, including a "[" line not closed by "]".
bool isIniSection(const QByteArray &trimmedLine, QByteArray *name);
// True for a (trimmed) line that holds nothing: blank, or a "#" or ";" comment.
bool isIniComment(const QByteArray &trimmedLine);

} // namespace corvial
