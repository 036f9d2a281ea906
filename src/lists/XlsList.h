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
// cannot be shown. Rows marked hidden are left out and counted. Cells are read from the
// records of that one sheet, building text for the kept columns only, so a sheet that claims
// 65536 x 256 cells costs no more than the cells it holds. A file that is no workbook is
// diagnosed by the library and told in words (not a workbook, broken, cut short), as are an
// encrypted or pre-97 workbook. fileName goes into the table; reasons are Japanese.
ListTableRead readXlsList(BoundedFile &file, const QString &fileName);

} // namespace corvial
