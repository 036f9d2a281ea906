// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/LastJob.h"

#include "history/HistoryNumbers.h"
#include "history/HistoryStore.h"

namespace corvial {

bool lastJobOfType(HistoryStore &store, SheetType sheetType, LastJob *out, QString *error)
{
    HistoryFilter filter;
    filter.sheetType = sheetType.code();
    filter.firstPrints = true;
    filter.outcomes = {JobOutcome::Printed, JobOutcome::Waiting};
    filter.limit = 1;
    QList<HistoryEntry> entries;
    if (!store.entries(filter, &entries, error))
        return false;
    *out = LastJob();
    if (entries.isEmpty())
        return true;
    const HistoryRecord &r = entries.first().record;
    out->found = true;
    out->id = entries.first().id;
    out->record = r;
    out->firstNumber = recordSampleNumber(r, 0);
    out->lastNumber = recordSampleNumber(r, qMax(0, r.samples - 1));
    out->nextNumber = r.nextNumber;
    return true;
}

QString lastJobText(const LastJob &job)
{
    if (!job.found || !recordIsNumbered(job.record) || job.record.samples <= 0)
        return QString();
    const QString first = recordNumberText(job.record, job.firstNumber);
    if (job.record.samples == 1)
        return QStringLiteral("前回 ") + first;
    return QStringLiteral("前回 %1–%2").arg(first, recordNumberText(job.record, job.lastNumber));
}

} // namespace corvial
