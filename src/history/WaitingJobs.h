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

// Asks lookup, in one call, about the entries of store that host (recordHostName() in the
// front ends) sent through print server cupsServer (cupsServerName()) and that are still
// followed: waiting for their queue, or sent with a CUPS id and never completed. Those the
// queue ended without printing (aborted or cancelled) get that event with markLater, unless
// another program wrote an end for them first. A job the queue completed, still holds, no
// longer knows or has on another queue stays as it is, as does one without a queue job id;
// records of other PCs or servers, and older ones that name no server, are never looked at.
// When the server does not answer, errors says so once.
WaitingRecheck recheckWaitingJobs(HistoryStore &store, const QString &host,
                                  const QString &cupsServer,
                                  const std::function<JobPhaseLookup> &lookup);

// The Japanese notice for jobs recheckWaitingJobs found ended: for each job its queue, job
// id, start time (local) and the sample numbers (or count) that did not print, then that they
// can be printed again from the print history. Empty for an empty list.
QString unprintedJobsNotice(const QList<HistoryEntry> &ended);

} // namespace corvial
