// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryCells.h"
#include "history/HistoryRecord.h"

#include <QByteArray>
#include <QList>

namespace corvial {

// The history as a spreadsheet reads it: UTF-8 CSV (RFC 4180: CR LF line ends, a field that
// holds a comma, quote or line break is quoted, a quote doubled), a heading row whose first
// column is "id", then one row per entry in the given order. Times are UTC in ISO 8601.
// All sample texts share the column "sample_texts": one line per sample (LF between them),
// and within a sample LF is written "\n", CR "\r" and a backslash "\\", so a sample never
// spans two lines of the cell. A text cell that begins with =, +, -, @, a tab, a CR or ' gets
// a leading ' that is not part of the text, so that a spreadsheet shows the text and never
// takes it for a formula; numbers are written as they are. bom puts a UTF-8 byte order mark
// first, which Excel needs to read the file as UTF-8.
QByteArray historyCsv(const QList<HistoryEntry> &entries, bool bom);
// The same entries as a JSON array of objects with the CSV's heading words as keys; numbers
// are numbers, on/off values true/false, "sample_texts" an array of the texts as they are,
// and a missing reprint id, queue job id or outcome time null.
QByteArray historyJson(const QList<HistoryEntry> &entries);

// A listing written a page of entries at a time, byte for byte as historyCsv or historyJson
// writes the same entries at once, so that a long history is never held whole.
class HistoryListingWriter
{
public:
    // json: as historyJson, else as historyCsv with a byte order mark when bom.
    HistoryListingWriter(bool json, bool bom);
    // Appends the text of entries, the listing's next ones in order, to *out.
    void add(const QList<HistoryEntry> &entries, QByteArray *out);
    // Appends what ends the listing to *out; call once, after the last add.
    void finish(QByteArray *out);

private:
    ListingRowWriter mRows;
};

} // namespace corvial
