// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
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
    QString fileName; // the name messages give the file
    QList<ListCell> cells;
};

// Most samples a list may hold: as many as labels in one job.
constexpr int MaxListSamples = 400;
// Rows a reader keeps: the samples, a heading row and one more to tell the list too long.
constexpr int ListRowCap = MaxListSamples + 2;
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
    table.cells.append(ListCell{row, column, text});
    return row < ListRowCap;
}

} // namespace corvial
