// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace corvial {

// What CUPS says of a print queue before a job is sent to it.
struct QueueState
{
    bool answered = false;  // CUPS answered; otherwise `reason` says why not
    bool accepting = false; // the queue takes new jobs
    bool stopped = false;   // paused: jobs it takes wait until it is resumed
    QString reason;         // the queue's state message, or why CUPS did not answer
};

// A job of this user found on a queue by its title; cupsJobStatus tells where it stands.
struct TitledJob
{
    int id = 0;     // 0: no job of that title
    QString reason; // why CUPS did not answer, when it did not
};

// Where a job sent to CUPS stands, as CUPS's job states group it.
enum class JobPhase {
    Unknown,   // CUPS did not answer, or knows no such job
    Waiting,   // pending, held, processing or stopped: not ended yet
    Completed, // printed
    Aborted,   // CUPS gave up on it (the printer failed under the abort-job policy)
    Cancelled, // someone cancelled it
};

// One look at a job.
struct JobStatus
{
    JobPhase phase = JobPhase::Unknown;
    bool held = false;       // waiting for a hold to be released
    bool processing = false; // the printer has it now
    QString reasons;         // job-state-reasons, comma-separated keywords
    QString message;         // the printer's message for the job, CUPS's own words
    QString error;           // for Unknown: why CUPS did not answer
    bool gone = false;       // for Unknown: CUPS keeps no record of the job (any more)
    QString queue;           // from cupsJobStatuses: the queue CUPS holds the job on
};

// The print server this process talks to: "host:port", or the path of its local socket.
QString cupsServerName();
// Why the print server cannot be reached, in Japanese, naming it ("印刷サーバー
// 127.0.0.1:1 に接続できません。" and the system's reason); empty when it takes a
// connection. Waits at most a few seconds for a server that does not answer.
QString cupsServerProblem();
// The state of queue `printer` (a CUPS destination name); when the server cannot be reached,
// `reason` says so, naming it.
QueueState cupsQueueState(const QString &printer);
// This user's job on the queue whose title (job-name) is exactly `title`; the newest when
// several are.
TitledJob cupsJobTitled(const QString &printer, const QString &title);
// Where job `jobId` (> 0) stands now; asks the server once.
JobStatus cupsJobStatus(int jobId);
// Where each of jobIds (> 0) stands now, by id, with its queue, from one Get-Jobs request over
// every queue; an id CUPS no longer knows is left out. False with the reason in *error
// (naming the server when it cannot be reached) when CUPS did not answer.
bool cupsJobStatuses(const QList<int> &jobIds, QHash<int, JobStatus> *out, QString *error);
// CUPS's message for the last request this thread made (Qt's own submission included).
QString cupsErrorText();

} // namespace corvial
