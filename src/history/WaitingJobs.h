// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryRecord.h"
#include "history/JobLookup.h"

#include <QList>
#include <QString>
#include <functional>

namespace corvial {

class HistoryStore;

// What a re-check of the waiting jobs found.
struct WaitingRecheck
{
    // The jobs now recorded as aborted or cancelled, with that outcome and its reason.
    QList<HistoryEntry> ended;
    // Japanese messages of what could not be read or written; empty when all went well.
    QStringList errors;
};

// Asks lookup about every entry of store that is still waiting for its print queue and
// records the ones the queue ended without printing (aborted or cancelled) with markLater.
// A job the queue completed, still holds, or no longer knows stays waiting, as does one
// without a queue job id. When the server does not answer, no further job is asked about
// (each would wait for it again) and errors says so.
WaitingRecheck recheckWaitingJobs(HistoryStore &store, const std::function<JobPhaseLookup> &lookup);

// The Japanese notice for jobs recheckWaitingJobs found ended: for each job its queue, job
// id, start time (local) and the sample numbers (or count) that did not print, then that they
// can be printed again from the print history. Empty for an empty list.
QString unprintedJobsNotice(const QList<HistoryEntry> &ended);

} // namespace corvial
