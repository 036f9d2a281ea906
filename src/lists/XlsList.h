// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/ListTable.h"

namespace corvial {

class BoundedFile;

// The active sheet of an Excel 97-2003 workbook (.xls) opened in file (at most
// MaxListFileBytes): the sheet shown when it was saved (WINDOW1's current tab), else the
// first visible worksheet. Cells as the spreadsheet shows them (see CellText.h): texts as
// written, numbers by their number format, TRUE/FALSE, formula results as saved. Refused
// with the cell named: error values, a string formula saved without its result, numbers that
// cannot be shown. Rows marked hidden are left out and counted. The library checks the file
// first and its failures are told in words (not a workbook, encrypted, too old, broken);
// cells are then read from the records of that one sheet, keeping only the kept columns, so
// a sheet that claims 65536 x 256 cells costs no more than the cells it holds. fileName goes
// into the table; reasons are Japanese.
ListTableRead readXlsList(BoundedFile &file, const QString &fileName);

} // namespace corvial
