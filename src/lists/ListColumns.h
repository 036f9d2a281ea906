// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/SheetTypes.h"
#include "lists/SampleList.h"

#include <QList>
#include <QString>

namespace corvial {

// Which columns of a loaded list a sheet type prints and which it sets aside, so the entry
// screen can say so before printing and a type switch knows whether the list stays. The list
// stays exactly when buildSampleList takes its cells for the new type, the check a switch
// has always made; the columns are counted over the list's sample rows (its heading left out).

struct ListColumns
{
    SampleListRead read; // the list as the type takes it, or why it cannot
    QList<int> printed;  // columns (0 = A) holding text that the type prints, ascending
    QList<int> setAside; // columns holding text that it does not print, ascending; every
                         // one for a type without texts (the marker type)
    bool keeps() const { return read.ok(); }
};

// The columns of list (as loaded for any type: its cells and heading choice) for sheetType.
ListColumns listColumnsFor(const SampleList &list, SheetType sheetType);
// "列 C は印刷されません。", "列 C・E〜G は印刷されません。" for the columns set aside, naming
// the sheet type when it takes no list at all; empty when none are.
QString setAsideNotice(const ListColumns &columns, SheetType sheetType);

} // namespace corvial
