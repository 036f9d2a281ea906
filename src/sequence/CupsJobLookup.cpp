// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/CupsJobLookup.h"

#include "print/CupsQueue.h"

namespace corvial {

QueuedJobLook cupsJobLook(int cupsJobId)
{
    const JobStatus status = cupsJobStatus(cupsJobId);
    QueuedJobLook look;
    switch (status.phase) {
    case JobPhase::Unknown:
        look.state = status.gone ? QueuedJobState::Unknown : QueuedJobState::NoAnswer;
        look.reason = status.error;
        return look;
    case JobPhase::Waiting:
        look.state = QueuedJobState::NotEnded;
        break;
    case JobPhase::Completed:
        look.state = QueuedJobState::Printed;
        break;
    case JobPhase::Aborted:
        look.state = QueuedJobState::Aborted;
        break;
    case JobPhase::Cancelled:
        look.state = QueuedJobState::Cancelled;
        break;
    }
    // The printer's own message says most; the state keywords at least name who ended it.
    look.reason = status.message.isEmpty() ? status.reasons : status.message;
    return look;
}

} // namespace corvial
