// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBitArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace corvial {

// One non-empty cell of a list file, counted from 0 (row 0 is the file's first row).
struct ListCell
{
    int row;
    int column;
    QString text;
};

// What a reader found in a list file: its non-empty cells in row order, left to right.
// Empty cells are left out, so a cell named far down or to the right costs nothing. Readers
// stop after the first non-empty cell at or below ListRowCap: the list is refused then
// anyway, and a file of a million rows is not worth reading to say so.
struct ListTable
{
    QString fileName;      // the name messages give the file
    QList<ListCell> cells; // cells left of ListKeptColumns
    // Per row, the columns at or right of ListKeptColumns that held text (bit 0 is column
    // ListKeptColumns): their text is never kept, only that it was there.
    QHash<int, QBitArray> farColumns;
    int hiddenRows = 0;     // rows with text the workbook hides (by a filter or by hand), left out
    QSet<int> hiddenRowSet; // every hidden row above ListRowCap, with text or without
};

// Most samples a list may hold: as many as labels in one job.
constexpr int MaxListSamples = 400;
// Rows a reader keeps: the samples, a heading row and one more to tell the list too long.
constexpr int ListRowCap = MaxListSamples + 2;
// Columns whose text a reader keeps: as many as the most lines a sheet type prints from a
// list. Text further right is only noted, so a row of millions of cells costs no more memory
// than a row of four, and the user is still told that those columns were not read.
constexpr int ListKeptColumns = 4;
// Most bytes of a list file.
constexpr qint64 MaxListFileBytes = 16 * 1024 * 1024;

// Result of a reader: the table, or a Japanese reason (naming the row or the part of the
// file) when the file cannot be read as a list.
struct ListTableRead
{
    ListTable table;
    QString reason;

    bool ok() const { return reason.isEmpty(); }
};

// Appends a cell to table unless it is empty; returns false (and keeps nothing more) once a
// non-empty cell lies at or below ListRowCap, where a reader may stop.
inline bool keepCell(ListTable &table, int row, int column, const QString &text)
{
    if (text.isEmpty())
        return true;
    if (column < ListKeptColumns) {
        table.cells.append(ListCell{row, column, text});
    } else {
        QBitArray &far = table.farColumns[row];
        const int bit = column - ListKeptColumns;
        if (bit >= far.size())
            far.resize(qMax(bit + 1, int(far.size()) * 2));
        far.setBit(bit);
    }
    return row < ListRowCap;
}
// keepCell for a reader that has only learnt that the cell holds text (it need not build
// the text of a cell it will not keep): true when the column's text is wanted.
inline bool isKeptColumn(int column)
{
    return column < ListKeptColumns;
}

} // namespace corvial
