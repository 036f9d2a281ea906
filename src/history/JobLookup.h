// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// One look at a queued job; reason says why it was aborted or cancelled, in the queue's words.
struct QueuedJobLook
{
    QueuedJobState state = QueuedJobState::Unknown;
    QString reason;
};

// Takes a print queue's job id (> 0) and returns how that job stands now.
using JobPhaseLookup = QueuedJobLook(int cupsJobId);

} // namespace corvial
