// SPDX-License-Identifier: GPL-3.0-or-later
#include "print/JobFollow.h"

#include <QThread>

namespace corvial {

void JobWatcher::pause(int ms)
{
    QThread::msleep(ulong(qMax(ms, 0)));
}

void JobWatcher::sent(const QString &, int) {}

void JobWatcher::finished(const JobStatus &) {}

TimeBoundWatcher::TimeBoundWatcher(int seconds)
    : mLimitMs(qint64(qBound(0, seconds, MaxJobWaitSeconds)) * 1000)
{
}

bool TimeBoundWatcher::keepWaiting(const QString &, int, const JobStatus &)
{
    // The time counts from the job's first look: drawing a long job must not eat into it.
    if (!mClock.isValid())
        mClock.start();
    return mClock.elapsed() < mLimitMs;
}

JobStatus followCupsJob(const QString &printer, int jobId, JobWatcher &watcher)
{
    for (;;) {
        const JobStatus status = cupsJobStatus(jobId);
        // A server set not to keep finished jobs forgets them at once: no later look would
        // tell more.
        const bool ended = status.phase == JobPhase::Completed ||
                           status.phase == JobPhase::Aborted ||
                           status.phase == JobPhase::Cancelled || status.gone;
        if (ended || !watcher.keepWaiting(printer, jobId, status)) {
            watcher.finished(status);
            return status;
        }
        watcher.pause(JobPollMilliseconds);
    }
}

} // namespace corvial
