// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"

#include <QDate>
#include <QString>
#include <cstdint>

namespace corvial {

class XlsApi;

// A numbered job as the print screen shows it when Excel is pressed.
struct ExportJob
{
    int sheetType = 1;       // 1..10
    int sampleCount = 0;     // rows 1..sampleCount
    int initialValue = 1;    // number of the sample in row 1
    int numberStyle = 0;     // 0 "0000", 1 "###0"
    QString circleText;      // Label7 of the circle proof (already " " when it was empty)
    QString proofText;       // Memo3 of the number proof ("\n" between lines)
    int textColourIndex = 0; // ListBox21 position 0..8
    int backColourIndex = 0; // ListBox19 position 0..7
    bool frame = false;      // CheckBox1
    QDate date;              // today
};

// The export's view of a job read from the print screen, dated date.
ExportJob exportJobOf(const LabelJob &job, const QDate &date);

// Sheet type 1..10; true for the numbered types 1, 2, 5, 6, 8, 9 that can be exported.
bool isExportableType(int sheetType);
// ListBox21 position 0..8 to the workbook palette code of the text; 8 (black) otherwise.
int exportTextColourCode(int listPosition);
// ListBox19 position 0..7 to the workbook palette code of the fill; 9 (white) otherwise.
int exportBackColourCode(int listPosition);
// Sheet type to the label-size name of the title ("１１ｍφ円形", ...); empty when not exportable.
QString labelSizeName(int sheetType);
// Title of cell C0 for the sheet type on the date, e.g.
// "内容　(26/12/07/１２ｍｍＸ２４ｍｍラベル)"; the date is always two-digit year/month/day with
// ASCII digits. Empty when not exportable.
QString exportTitle(int sheetType, const QDate &date);

// Writes the whole workbook of the job to path through api and returns the status:
// 0 when the file was written, otherwise an errno value (XlsCreateBook's when the book could
// not be started, XlsCloseBook's when it could not be written; EINVAL without any call for a
// sheet type that is not exported, more than 65535 samples or a last number beyond INT_MAX).
// bookHandle goes to XlsCreateBook unread. No rows but the heading when sampleCount <= 0.
int writeWorkbook(XlsApi &api, const QString &path, const ExportJob &job, int32_t *bookHandle);

// Message for an export that returned status (an errno value): the path, then the system's
// error text for the status on the next line. Empty for status 0.
QString exportErrorText(const QString &path, int status);

} // namespace corvial
