// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/ListTable.h"

namespace corvial {

class BoundedFile;

// The first worksheet of an Excel 97-2003 workbook (.xls) opened in file, as cells: texts as
// written, numbers as the General format shows them, dates as "yyyy/mm/dd" (a date with a
// time keeps only the date), times as "hh:mm:ss". fileName goes into the table; reasons are
// Japanese.
ListTableRead readXlsList(const BoundedFile &file, const QString &fileName);

} // namespace corvial
