// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace corvial {

// Where the print queue says a job stands, grouped as the history needs it. Kept apart from
// the history's records so that the code asking CUPS can include it beside CupsQueue.h.
enum class QueuedJobState {
    Unknown,   // the queue no longer knows the job: nothing can be said
    NoAnswer,  // the print server did not answer; reason says why
    NotEnded,  // still pending, held or being printed
    Printed,   // the queue completed it
    Aborted,   // the queue gave up on it
    Cancelled, // someone cancelled it
};

// One look at a queued job; reason says why it was aborted or cancelled, in the queue's words
// (for NoAnswer: why the server did not answer). queue is the one the server has the job on,
// so that a record of another queue that happens to carry the same id is not taken for it.
struct QueuedJobLook
{
    QueuedJobState state = QueuedJobState::Unknown;
    QString reason;
    QString queue;
};

// A job to ask about: the queue it was sent to and the id the print server gave it (> 0).
struct QueuedJob
{
    QString queue;
    int cupsJobId = 0;
};

// Takes the jobs to ask about and returns, in one request to the print server, how each
// stands now, by job id; an id the server no longer knows may be left out. When the server
// does not answer, every id asked about is NoAnswer with the reason.
using JobPhaseLookup = QMap<int, QueuedJobLook>(const QList<QueuedJob> &jobs);

} // namespace corvial
