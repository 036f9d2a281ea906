// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/PrintRecorder.h"

#include "history/HistoryListing.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "history/WaitingJobs.h"

#include <QCryptographicHash>

#include <utility>

namespace corvial {

namespace {

// Most entries a listing holds; a lab prints a few hundred jobs a week.
constexpr int MaxListedEntries = 100000;

} // namespace

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

PrintRecorder::PrintRecorder(const QString &program)
    : mProgram(program), mStore(std::make_unique<HistoryStore>())
{
}

PrintRecorder::~PrintRecorder() = default;

bool PrintRecorder::openValue(const QString &value, QString *error, HistoryOpenMode mode)
{
    HistoryLocation location;
    return historyLocationFromValue(value, &location, error) && mStore->open(location, error, mode);
}

bool PrintRecorder::openForSettings(const QString &settingsPath, QString *error,
                                    HistoryOpenMode mode)
{
    HistoryLocation location;
    return historyLocationForSettings(settingsPath, &location, error) &&
           mStore->open(location, error, mode);
}

bool PrintRecorder::isOpen() const
{
    return mStore->isOpen();
}

QString PrintRecorder::displayName() const
{
    return mStore->location().displayName();
}

QStringList PrintRecorder::recheckWaiting(const QString &cupsServer,
                                          const std::function<JobPhaseLookup> &lookup)
{
    const WaitingRecheck recheck =
        recheckWaitingJobs(*mStore, recordHostName(), cupsServer, lookup);
    QStringList messages = recheck.errors;
    if (!recheck.ended.isEmpty())
        messages << unprintedJobsNotice(recheck.ended);
    return messages;
}

void PrintRecorder::setList(const QString &file, const QString &sha256)
{
    mListFile = file;
    mListSha256 = sha256;
}

void PrintRecorder::setJobFile(const QString &file, const QString &sha256)
{
    mJobFile = file;
    mJobSha256 = sha256;
}

bool PrintRecorder::entriesOfJobFile(const QString &jobFile, const QString &jobSha256,
                                     QList<HistoryEntry> *out, QString *error)
{
    return mStore->entriesOfJobFile(jobFile, jobSha256, out, error);
}

void PrintRecorder::setReprintOf(qint64 id, int nextNumber)
{
    mReprintOf = id;
    mUnchangedNext = nextNumber;
}

bool PrintRecorder::begin(const LabelJob &job, const QString &queue, const QString &pdfPath,
                          QString *error)
{
    RecordSource source;
    source.program = mProgram;
    source.queue = queue;
    source.pdfPath = pdfPath;
    if (!queue.isEmpty())
        source.cupsServer = mCupsServer;
    if (!job.sampleTexts.isEmpty()) {
        source.listFile = mListFile;
        source.listSha256 = mListSha256;
    }
    source.jobFile = std::exchange(mJobFile, QString());
    source.jobSha256 = std::exchange(mJobSha256, QString());
    source.reprintOf = mReprintOf;
    HistoryRecord record = recordOf(job, advanceAfterPrint(job), source);
    // A reprint does not move the numbering on.
    if (mReprintOf > 0 && mUnchangedNext >= 0)
        record.nextNumber = mUnchangedNext;
    mId = mStore->begin(record, error);
    return mId > 0;
}

void PrintRecorder::setCupsServer(const QString &server)
{
    mCupsServer = server;
}

bool PrintRecorder::sent(int cupsJobId, QString *error)
{
    if (mId <= 0)
        return true;
    return mStore->markSent(mId, cupsJobId, error);
}

bool PrintRecorder::finish(JobOutcome outcome, const QString &reason, int cupsJobId, QString *error)
{
    if (mId <= 0)
        return true;
    const qint64 id = mId;
    mId = 0;
    const bool printed = outcome == JobOutcome::Printed || outcome == JobOutcome::Waiting;
    return mStore->finish(id, outcome, printed ? QString() : reason, cupsJobId, error);
}

bool PrintRecorder::writeHistory(
    const QDateTime &since, bool json,
    const std::function<bool(const QByteArray &text, QString *error)> &write, bool *more,
    QString *error)
{
    return writeHistoryListing(*mStore, since, MaxListedEntries, json, write, more, error);
}

bool PrintRecorder::reprint(qint64 id, int first, int last, LabelJob *job, QString *error)
{
    HistoryEntry entry;
    if (!mStore->entry(id, &entry, error))
        return false;
    const HistoryRecord &r = entry.record;
    setReprintOf(id, r.nextNumber);
    if (first < 0) {
        first = r.firstNumber;
        last = (r.firstNumber + r.samples - 1) % HistoryNumberWrap;
    }
    return reprintJob(entry, first, last, job, error);
}

} // namespace corvial
