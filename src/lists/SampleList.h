// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/SheetTypes.h"
#include "lists/ListTable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace corvial {

// A list of samples read from a file: one row per sample in file order, its cells the label's
// text lines (column A line 1, B line 2, ...), as many as the sheet type prints.
struct SampleList
{
    QString fileName;        // the file's name without its folder, as the window shows it
    QList<QStringList> rows; // per sample, exactly listColumnsOfType(sheetType) cells
    int ignoredColumns = 0;  // columns right of the printed ones that hold text
    bool headingDropped = false;
    ListTable table; // the cells as read, to check them against another sheet type

    int count() const { return int(rows.size()); }
    // Text of sample index (0-based) as the job holds a typed text: its cells as lines with
    // "\n" between them, empty lines at the end left out. Empty for an index out of range.
    QString sampleText(int index) const;
};

struct SampleListOptions
{
    SheetType sheetType;
    bool firstRowIsHeading = false; // the file's first row names the columns; it is dropped
};

// A list, or the Japanese message for the user when it cannot be used: what failed, the
// file, then where (row or cell) and why.
struct SampleListRead
{
    SampleList list;
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// The kinds of file a list is read from.
enum class ListFormat { Unknown, Csv, Tsv, Txt, Xls, Xlsx };

// Format by the file name's extension (.csv, .tsv, .txt, .xls, .xlsx, any case).
ListFormat listFormatOfPath(const QString &path);
// Columns of a list for a sheet type: the lines its labels print (1 for a type typed as one
// line); 0 for the marker type, which takes no list.
int listColumnsOfType(SheetType sheetType);

// Cells of the list file at path, read once: at most MaxListFileBytes, a FIFO, device or
// folder refused without being opened in a way that could block. The reason names no file.
ListTableRead readListTable(const QString &path);
// Cells of a list held in bytes (standard input, tests) in the given format (not Xls, which is
// read from a file only); fileName names it in messages.
ListTableRead readListTableData(const QByteArray &bytes, ListFormat format,
                                const QString &fileName);
// Cells of a CSV list read from standard input to its end (readStandardInput), at most
// MaxListFileBytes; named "標準入力".
ListTableRead readCsvFromStandardInput();
// Texts of the first row of table, columns A.. up to its last non-empty cell.
QStringList firstRowOf(const ListTable &table);

// The samples of table for the options: the heading row dropped when asked; empty rows at
// the end dropped; refused (error set) for the marker type, no samples, more than
// MaxListSamples, an empty row between samples, a line break in a printed cell, or printed
// cells that do not fit the sheet type as typed text would not (too many Shift-JIS bytes for
// their line, or characters without a Shift-JIS form: the first ten named with their bytes and
// the limit, then how many more). path names the file in the message.
SampleListRead buildSampleList(const ListTable &table, const SampleListOptions &options,
                               const QString &path);
// readListTable then buildSampleList.
SampleListRead readSampleList(const QString &path, const SampleListOptions &options);

// Message for a list that cannot be read: a Japanese sentence naming the file, then reason.
QString sampleListFailureText(const QString &path, const QString &reason);
// "リスト: FILE (N 件)", the line the window shows under the text while a list is loaded.
QString sampleListStatusLine(const SampleList &list);
// Japanese notes, one a line, that rows the workbook hides were left out and that columns
// right of the printed ones were not read; empty when neither happened.
QString sampleListNotice(const SampleList &list, SheetType sheetType);

} // namespace corvial
