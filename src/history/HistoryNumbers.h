// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryRecord.h"

#include <QList>
#include <QString>

namespace corvial {

// True when the record's sheet type prints a sample number on its labels.
bool recordIsNumbered(const HistoryRecord &record);
// The number sample `index` (0-based) of the record printed, 0..9999 (9999 is followed by 0).
int recordSampleNumber(const HistoryRecord &record, int index);
// number (0..9999) written as the record's number style wrote it ("0007" or "7").
QString recordNumberText(const HistoryRecord &record, int number);
// "first〜last" of the record's samples in its number style ("9998〜0001"), one number for a
// single sample; empty for a type without numbers or a job without samples.
QString recordNumbersText(const HistoryRecord &record);

// The samples of record whose printed numbers run from first to last (0..9999 each, counting
// on from 0 after 9999), as 0-based indices into the job: the index of first and of last.
// False with a Japanese reason in *error when either was not printed by the job or last
// comes before first within it.
bool sampleRange(const HistoryRecord &record, int first, int last, int *firstIndex, int *lastIndex,
                 QString *error);

} // namespace corvial
