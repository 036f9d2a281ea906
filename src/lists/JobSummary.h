// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/SheetTypes.h"

#include <QString>

#include <optional>

namespace corvial {

// The line the entry screen shows under a job while it is being set up: how many labels and
// sheets it will print, counted with the rule printing splits a job by (splitJob), so the
// count shown is the count that comes out. It lives with the lists because a loaded list is
// named by its column letters.

// The size of a loaded sample list: its samples and the columns the sheet type prints of it.
struct ListExtent
{
    int rows = 0;
    int columns = 0;
};

struct JobSummary
{
    int labels = 0; // samples x labels per sample (one per sample for a type without the choice)
    int sheets = 0; // sheets printing uses, from the family's start position
    bool tooMany = false; // more labels than one job may print
    QString text;         // "N ラベル・M 枚", with the list and the job bound when they apply
};

// The job of sampleCount samples, repeatCount labels each, from startPos (1..P of the type's
// family; outside taken as its nearest end) on sheets of sheetType, with list when loaded.
JobSummary summarizeJob(SheetType sheetType, int sampleCount, int repeatCount, int startPos,
                        std::optional<ListExtent> list = std::nullopt);

} // namespace corvial
