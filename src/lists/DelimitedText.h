// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/ListTable.h"

#include <QByteArray>
#include <QString>

namespace corvial {

// How the cells of a text list are separated.
enum class Separator {
    Comma,
    Tab,
    TabIfAnyTab, // tab separated when a tab is anywhere, otherwise one column per line
};

// Text of a list file: UTF-8 or UTF-16 by its byte order mark, else UTF-8 when every byte
// sequence is valid UTF-8, else Shift-JIS (windows-31j) decoded strictly. Line breaks and
// every other character, NUL included, are kept as they are. False with a Japanese reason
// naming the line (1-based) of the first byte that none of these encodings reads, or saying
// that the bytes look like UTF-16 without a byte order mark (NUL bytes in most of the even or
// odd places), which no guess would read reliably.
bool decodeListText(const QByteArray &bytes, QString *text, QString *reason);

// Cells of a text list by RFC 4180: fields between separators, records ending at CR LF, LF
// or CR; a field starting with a quote runs to the closing quote, may hold separators and
// line breaks (kept as "\n"), and "" inside it stands for one quote. Text after a closing
// quote is kept; a quote inside an unquoted field is an ordinary character. False with a
// reason naming the row when a quoted field is never closed. Text right of ListKeptColumns is
// never built, only noted (keepCell).
ListTableRead parseDelimitedText(const QString &text, Separator separator);

// decodeListText then parseDelimitedText; fileName goes into the table.
ListTableRead readDelimitedList(const QByteArray &bytes, Separator separator,
                                const QString &fileName);

} // namespace corvial
