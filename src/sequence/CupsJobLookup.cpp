// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/CupsJobLookup.h"

#include "print/CupsQueue.h"

namespace corvial {

QMap<int, QueuedJobLook> cupsJobLooks(const QList<QueuedJob> &jobs)
{
    QList<int> ids;
    ids.reserve(jobs.size());
    for (const QueuedJob &job : jobs)
        ids << job.cupsJobId;
    QMap<int, QueuedJobLook> looks;
    QHash<int, JobStatus> statuses;
    QString error;
    if (!cupsJobStatuses(ids, &statuses, &error)) {
        for (const int id : std::as_const(ids))
            looks.insert(id, QueuedJobLook{QueuedJobState::NoAnswer, error, QString()});
        return looks;
    }
    for (auto it = statuses.cbegin(); it != statuses.cend(); ++it) {
        const JobStatus &status = it.value();
        QueuedJobLook look;
        look.queue = status.queue;
        switch (status.phase) {
        case JobPhase::Unknown:
            continue;
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
        looks.insert(it.key(), look);
    }
    return looks;
}

} // namespace corvial
