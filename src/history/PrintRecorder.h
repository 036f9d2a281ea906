// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryOpenMode.h"
#include "history/HistoryRecord.h"
#include "history/JobLookup.h"
#include "job/LabelJob.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace corvial {

class HistoryStore;

// Lower-case hex SHA-256 of bytes, as a record names a list file's content.
QString sha256Hex(const QByteArray &bytes);

// One front end's way into the history: opens it, writes a job's record before the job is
// sent and its outcome after it ended, and serves the batch printer's listing and reprints.
// The front ends see only the job and the canvas, not the store's types.
class PrintRecorder
{
public:
    // program: the front end's name as records carry it.
    explicit PrintRecorder(const QString &program);
    ~PrintRecorder();
    PrintRecorder(const PrintRecorder &) = delete;
    PrintRecorder &operator=(const PrintRecorder &) = delete;

    // Opens the history a --history-db value names; with ExistingOnly (a listing, a reprint)
    // one that is not there is refused and nothing is made. False with a Japanese message.
    bool openValue(const QString &value, QString *error,
                   HistoryOpenMode mode = HistoryOpenMode::CreateWhenMissing);
    // Opens the history of the start.txt at settingsPath, as openValue. False with a
    // Japanese message.
    bool openForSettings(const QString &settingsPath, QString *error,
                         HistoryOpenMode mode = HistoryOpenMode::CreateWhenMissing);
    bool isOpen() const;
    // Where the history is, as messages name it.
    QString displayName() const;

    // Asks lookup, once, about the jobs this PC sent through print server cupsServer
    // (cupsServerName()) that the open history still follows (waiting, or sent and never
    // completed) and records those the queue ended without printing. Returns the Japanese
    // messages to show (what could not be checked, then which samples did not print); empty
    // when there is nothing to say.
    QStringList recheckWaiting(const QString &cupsServer,
                               const std::function<JobPhaseLookup> &lookup);

    // The list file the next job was read from (path, or "-") and its bytes' SHA-256 in hex.
    void setList(const QString &file, const QString &sha256);
    // The job file the next job was read from (absolute path, or "-") and its bytes' SHA-256
    // in hex. Kept for the next begin only: a later job of the same run that came from no job
    // file must not be taken for this file's print.
    void setJobFile(const QString &file, const QString &sha256);
    // The attempts recorded for job file jobFile with bytes of SHA-256 jobSha256, newest first
    // (at most 100), each with its latest outcome and CUPS id as HistoryStore::entriesOfJobFile
    // gives them. False with a Japanese message, also when the history is not open.
    bool entriesOfJobFile(const QString &jobFile, const QString &jobSha256,
                          QList<HistoryEntry> *out, QString *error);

    // The print server the next jobs sent to a queue go through ("host:port" or a socket path),
    // which their records keep: only a program that talks to the same server can later tell
    // what became of them.
    void setCupsServer(const QString &server);
    // Writes job's record (queue or PDF path: where it goes) as started. False with a
    // Japanese message; nothing is then recorded.
    bool begin(const LabelJob &job, const QString &queue, const QString &pdfPath, QString *error);
    // Writes that the queue took the job begin recorded as its job cupsJobId (> 0), the
    // moment it was submitted, so that the job is followed even if finish is never reached.
    // False with a Japanese message; true when nothing was begun.
    bool sent(int cupsJobId, QString *error);
    // Id of the record begin wrote, 0 before.
    qint64 recordId() const { return mId; }
    // Completes the record begin wrote with how the job ended (any outcome but Unfinished),
    // why it did not print (reason) and the queue's job id (0: none). False with a Japanese
    // message when it could not be written; true when nothing was begun.
    bool finish(JobOutcome outcome, const QString &reason, int cupsJobId, QString *error);

    // The entries started at or after since (invalid: all), oldest first, as CSV (no BOM) or
    // JSON, handed to write a piece at a time; *more tells that older ones were left out.
    // False with a Japanese message (write's own when write returned false).
    bool writeHistory(const QDateTime &since, bool json,
                      const std::function<bool(const QByteArray &text, QString *error)> &write,
                      bool *more, QString *error);
    // The job of record id, sample numbers first..last (-1: the whole job), its start
    // position left for the caller; the next job's record is then marked as its reprint.
    // False with a Japanese message.
    bool reprint(qint64 id, int first, int last, LabelJob *job, QString *error);
    // Marks the records of the next jobs as reprints of record id, with nextNumber as the
    // first number that follows them (a reprint leaves the numbering where it was).
    void setReprintOf(qint64 id, int nextNumber);
    // After reprint: the first number that followed the recorded job, which a reprint leaves
    // as it is.
    int unchangedNextNumber() const { return mUnchangedNext; }

private:
    QString mProgram;
    std::unique_ptr<HistoryStore> mStore;
    QString mListFile;
    QString mListSha256;
    QString mJobFile;
    QString mJobSha256;
    QString mCupsServer;
    qint64 mReprintOf = 0;
    qint64 mId = 0;
    int mUnchangedNext = -1;
};

} // namespace corvial
