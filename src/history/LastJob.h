// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryRecord.h"
#include "job/SheetTypes.h"

#include <QString>

namespace corvial {

class HistoryStore;

// Where the last job of a sheet type left off, for the entry screen to show before the user
// sets up the next one. The last job is the newest one of that type that went out: printed,
// or handed to the queue and waiting there. A failed, aborted or cancelled job printed
// nothing to continue from, and a reprint repeats old numbers, so neither counts.
struct LastJob
{
    bool found = false; // false: the history holds no such job
    qint64 id = 0;      // its history entry
    HistoryRecord record;
    int firstNumber = 0; // as printed, 0..9999
    int lastNumber = 0;  // as printed, counting on from 0 after 9999
    int nextNumber = 0;  // where its numbering goes on
};

// The last job of sheetType in the open store, SQLite or PostgreSQL alike. False with the
// store's Japanese message in *error when the history cannot be read.
bool lastJobOfType(HistoryStore &store, SheetType sheetType, LastJob *out, QString *error);
// "前回 0562–0573" in the job's number style ("前回 0562" for one sample); empty when nothing
// was found or the type prints no numbers.
QString lastJobText(const LastJob &job);

} // namespace corvial
