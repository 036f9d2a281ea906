// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/ListTable.h"

#include <QByteArray>
#include <QString>

namespace corvial {

// Most bytes the parts of an .xlsx that are read may unpack to, all together: far more than
// any list needs, far less than a crafted file (a zip bomb) would unpack to.
constexpr qint64 MaxXlsxUnpackedBytes = 64 * 1024 * 1024;
// Deepest element nesting read in any part; real workbooks stay below ten.
constexpr int MaxXlsxNesting = 64;
// Most elements read in all parts together. Reading an element costs far more than its few
// bytes, so the unpacked size alone does not bound the time: a list of 400 rows holds some
// thousands, a sheet of 400 full rows of 16384 cells twelve million; this bound keeps any file
// within about a second.
constexpr qint64 MaxXlsxElements = 4 * 1000 * 1000;

// The active sheet of an .xlsx workbook (file content bytes): the one shown when the workbook
// was saved (workbookView activeTab over the workbook's sheet order), else its first visible
// sheet. Cells as the spreadsheet shows them (see CellText.h): shared and inline strings
// with their rich-text runs joined (phonetic guides left out, _xHHHH_ escapes decoded),
// numbers by their number format, TRUE/FALSE. Refused with the cell named: error values,
// formulas saved without their result, numbers that cannot be shown, text over 32767
// characters. Hidden rows are left out and counted. Parts are unpacked as they are parsed,
// never whole; all together they may unpack to MaxXlsxUnpackedBytes, checked against the zip
// directory first and again while unpacking. A DTD, an entity reference or nesting deeper than
// MaxXlsxNesting, or more than MaxXlsxElements elements, is refused. fileName goes into the table;
// reasons are Japanese.
ListTableRead readXlsxList(const QByteArray &bytes, const QString &fileName);

} // namespace corvial
