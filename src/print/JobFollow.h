// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "print/CupsQueue.h"

#include <QElapsedTimer>

namespace corvial {

// How long a job is followed after it was sent, unless told otherwise: long enough for a
// label printer to take a few sheets, short enough that nobody thinks the program hangs.
constexpr int DefaultJobWaitSeconds = 30;
constexpr int MaxJobWaitSeconds = 3600;
// Between two looks at a job. CUPS answers a look in a millisecond or two; four looks a
// second notice an abort at once without keeping the scheduler busy.
constexpr int JobPollMilliseconds = 250;

// Told how a followed job stands after every look; says whether to look again.
class JobWatcher
{
public:
    virtual ~JobWatcher() = default;
    // Told once, as soon as the queue took the document, which job it became.
    virtual void sent(const QString &printer, int jobId);
    // status: the latest look at job jobId on queue printer. Returns false to stop waiting
    // (the job then counts as still waiting).
    virtual bool keepWaiting(const QString &printer, int jobId, const JobStatus &status) = 0;
    // Sleeps about ms milliseconds before the next look (a window keeps drawing meanwhile).
    virtual void pause(int ms);
    // Told once that the following is over, with the last look.
    virtual void finished(const JobStatus &status);
};

// Waits while the job lasts, for at most `seconds` (0: one look only) from its first look.
class TimeBoundWatcher : public JobWatcher
{
public:
    // seconds: 0..MaxJobWaitSeconds.
    explicit TimeBoundWatcher(int seconds);
    // True until the time is up.
    bool keepWaiting(const QString &printer, int jobId, const JobStatus &status) override;

protected:
    // Milliseconds since the first look, 0 before it.
    qint64 elapsed() const { return mClock.isValid() ? mClock.elapsed() : 0; }

private:
    qint64 mLimitMs;
    QElapsedTimer mClock;
};

// Looks at job jobId (> 0) on printer every JobPollMilliseconds until it has ended or the
// watcher stops waiting; returns the last look. A look CUPS did not answer is tried again
// while the watcher waits; a job CUPS no longer knows ends the following.
JobStatus followCupsJob(const QString &printer, int jobId, JobWatcher &watcher);

} // namespace corvial
