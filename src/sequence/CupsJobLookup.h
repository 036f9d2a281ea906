// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/JobLookup.h"

namespace corvial {

// Asks the print server once how job cupsJobId (> 0) stands, for recheckWaitingJobs.
QueuedJobLook cupsJobLook(int cupsJobId);

} // namespace corvial
