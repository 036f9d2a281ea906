// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/JobLookup.h"

namespace corvial {

// Asks the print server, in one request, how each of jobs stands, for recheckWaitingJobs:
// by job id, with the queue CUPS has it on; an id CUPS no longer knows is left out, and when
// the server does not answer every id is NoAnswer with the reason.
QMap<int, QueuedJobLook> cupsJobLooks(const QList<QueuedJob> &jobs);

} // namespace corvial
