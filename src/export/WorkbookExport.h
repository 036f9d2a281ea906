// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "XlsApi.h"
#include "job/LabelJob.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace corvial {

// A numbered job as the print screen shows it when Excel is pressed.
struct ExportJob
{
    SheetType sheetType;
    int sampleCount = 0;  // rows 1..sampleCount
    int initialValue = 1; // number of the sample in row 1
    NumberStyle numberStyle = NumberStyle::Padded;
    QString proofText;       // the proof's text ("\n" between lines); a round label's line is
                             // already " " when it was empty
    int textColourIndex = 0; // text colour list position 0..8
    int backColourIndex = 0; // background colour list position 0..7
    bool frame = false;      // circle labels with a white centre
    QDate date;              // today
    QStringList sampleTexts; // each sample's own text from a list, row by row; empty = the proof's
};

// The export's view of a job read from the print screen, dated date.
ExportJob exportJobOf(const LabelJob &job, const QDate &date);

// True for the numbered types 1, 2, 5, 6, 8, 9 that can be exported.
bool isExportableType(SheetType sheetType);
// Text colour list position 0..8 to the workbook palette code of the text; 8 (black) otherwise.
int exportTextColourCode(int listPosition);
// Background colour list position 0..7 to the workbook palette code of the fill; 9 (white)
// otherwise.
int exportBackColourCode(int listPosition);
// Sheet type to the label-size name of the title ("１１ｍφ円形", ...); empty when not exportable.
QString labelSizeName(SheetType sheetType);
// Title of cell C0 for the sheet type on the date, e.g.
// "内容　(26/12/07/１２ｍｍＸ２４ｍｍラベル)"; the date is always two-digit year/month/day with
// ASCII digits. Empty when not exportable.
QString exportTitle(SheetType sheetType, const QDate &date);

// How an export ended.
struct ExportResult
{
    enum class Outcome {
        Written,     // the file holds the whole workbook
        NotStarted,  // refused before or by XlsCreateBook; nothing was written
        CellRefused, // a cell value the workbook cannot hold; nothing was written
        NotWritten,  // XlsCloseBook could not write the file; an old file is unchanged
    };
    Outcome outcome = Outcome::Written;
    int status = 0;                              // errno value, 0 when written
    XlsOperation operation = XlsOperation::None; // CellRefused: the put refused
    int column = -1;                             // CellRefused: the cell, 0-based, -1 unknown
    int row = -1;
    QString detail; // the reason in words, when there is more to say than the errno's text

    bool written() const { return outcome == Outcome::Written; }
};

// Longest text a workbook cell holds, in UTF-16 code units.
inline constexpr int kMaxCellTextUnits = 32767;

// Writes the whole workbook of the job to path through api. NotStarted with EINVAL and no
// call for a sheet type that is not exported, more than 65535 samples or a last number
// beyond INT_MAX; CellRefused with EMSGSIZE and no call when the label text is longer than
// a cell holds; NotStarted with XlsCreateBook's status; CellRefused with the library's first
// refusal, or NotWritten with XlsCloseBook's status, when the close fails. bookHandle goes
// to XlsCreateBook unread. No rows but the heading when sampleCount <= 0.
ExportResult writeWorkbook(XlsApi &api, const QString &path, const ExportJob &job,
                           int32_t *bookHandle);

// Cell name as a spreadsheet shows it, for column 0..255 and row 0..65535 (0-based): "A1"
// for (0, 0), "B2" for (1, 1), "AA10" for (26, 9).
QString spreadsheetCellName(int column, int row);

// Message for an export that did not write its file: a Japanese sentence that says what
// failed and names the file (and the cell), then the system's text for the status on the
// next line. Empty for a written file.
QString exportErrorText(const QString &path, const ExportResult &result);
// The file a workbook is written to for the name a user gave: ".xls" added when the name has
// no extension of its own, so that the lab's spreadsheet program opens it by a double click.
QString workbookPathFor(const QString &chosen);
// What the status line says once the workbook of job is written to path.
QString exportWrittenText(const QString &path, const ExportJob &job);

} // namespace corvial
