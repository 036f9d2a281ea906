// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/JobResult.h"

#include "files/SafeFile.h"
#include "history/HistoryNumbers.h"
#include "watch/JobFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvial {

namespace {

void putPrinted(const JobResult &r, QJsonObject &o)
{
    o.insert(QStringLiteral("labels"), r.labels);
    o.insert(QStringLiteral("sheets"), r.sheets);
    // A type without numbers has none to name; null says so rather than a made-up 0.
    o.insert(QStringLiteral("first_number"), r.numbered ? QJsonValue(r.firstNumber) : QJsonValue());
    o.insert(QStringLiteral("last_number"), r.numbered ? QJsonValue(r.lastNumber) : QJsonValue());
    o.insert(QStringLiteral("next_position"), r.nextPosition);
    o.insert(QStringLiteral("next_number"), r.numbered ? QJsonValue(r.nextNumber) : QJsonValue());
    if (r.cupsJobId > 0)
        o.insert(QStringLiteral("cups_job_id"), r.cupsJobId);
    if (!r.pdfPath.isEmpty())
        o.insert(QStringLiteral("pdf"), r.pdfPath);
    if (!r.xlsPath.isEmpty())
        o.insert(QStringLiteral("xls"), r.xlsPath);
    if (r.recovered)
        o.insert(QStringLiteral("recovered"), true);
    if (!r.warnings.isEmpty())
        o.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(r.warnings));
}

JobResult fromRecord(JobResult::Status status, const HistoryEntry &entry, const QString &job,
                     const QString &sha256)
{
    JobResult r;
    r.status = status;
    r.job = job;
    r.sha256 = sha256;
    r.historyId = entry.id;
    return r;
}

} // namespace

QString statusWord(JobResult::Status status)
{
    switch (status) {
    case JobResult::Status::Printed:
        return QStringLiteral("printed");
    case JobResult::Status::Refused:
        return QStringLiteral("refused");
    case JobResult::Status::Interrupted:
        return QStringLiteral("interrupted");
    case JobResult::Status::Failed:
        break;
    }
    return QStringLiteral("failed");
}

QByteArray resultJson(const JobResult &r)
{
    QJsonObject o;
    o.insert(QStringLiteral("status"), statusWord(r.status));
    o.insert(QStringLiteral("job"), r.job);
    if (!r.sha256.isEmpty())
        o.insert(QStringLiteral("sha256"), r.sha256);
    if (r.historyId > 0)
        o.insert(QStringLiteral("history_id"), r.historyId);
    if (r.status == JobResult::Status::Printed) {
        putPrinted(r, o);
    } else {
        o.insert(QStringLiteral("reason"), r.reason);
        o.insert(QStringLiteral("message"), r.message);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

EarlierAttempt earlierAttempt(const QList<HistoryEntry> &attempts)
{
    // One that went out decides, whatever came after it: printing it again is what must not
    // happen. Otherwise the newest attempt tells.
    for (const HistoryEntry &e : attempts) {
        if (e.outcome == JobOutcome::Printed || e.outcome == JobOutcome::Waiting)
            return {EarlierAttempt::Printed, e};
    }
    if (attempts.isEmpty())
        return {};
    const HistoryEntry &newest = attempts.first();
    // An outcome a newer program wrote that this one does not know may have printed: it is
    // treated as a job whose end is not known.
    if (newest.outcome == JobOutcome::Unfinished || newest.outcome == JobOutcome::Unknown)
        return {EarlierAttempt::Interrupted, newest};
    return {EarlierAttempt::NotPrinted, newest};
}

JobResult printedResultOf(const HistoryEntry &entry, const QString &job, const QString &sha256)
{
    JobResult r = fromRecord(JobResult::Status::Printed, entry, job, sha256);
    const HistoryRecord &rec = entry.record;
    r.labels = rec.labels;
    r.sheets = rec.sheets;
    r.numbered = recordIsNumbered(rec);
    r.firstNumber = recordNumberText(rec, recordSampleNumber(rec, 0));
    r.lastNumber = recordNumberText(rec, recordSampleNumber(rec, qMax(0, rec.samples - 1)));
    r.nextPosition = rec.nextPosition;
    r.nextNumber = rec.nextNumber;
    r.cupsJobId = entry.cupsJobId;
    r.pdfPath = rec.pdfPath;
    r.recovered = true;
    return r;
}

JobResult interruptedResultOf(const HistoryEntry &entry, const QString &job, const QString &sha256)
{
    JobResult r = fromRecord(JobResult::Status::Interrupted, entry, job, sha256);
    r.reason = QStringLiteral("interrupted");
    r.message =
        QStringLiteral("印刷履歴の記録 %1 の印刷が途中で終わりました（監視が止まりました）。"
                       "もう一度は印刷しません。シートを確かめ、足りないラベルは "
                       "--reprint %1 で印刷してください。")
            .arg(entry.id);
    if (entry.cupsJobId > 0)
        r.message +=
            QStringLiteral("\nCUPS のジョブ %1 として送られています。").arg(entry.cupsJobId);
    return r;
}

JobResult notPrintedResultOf(const HistoryEntry &entry, const QString &job, const QString &sha256)
{
    JobResult r = fromRecord(JobResult::Status::Failed, entry, job, sha256);
    r.reason = entry.outcome == JobOutcome::Aborted     ? QStringLiteral("aborted")
               : entry.outcome == JobOutcome::Cancelled ? QStringLiteral("cancelled")
                                                        : QStringLiteral("print");
    r.message = QStringLiteral("印刷履歴の記録 %1 のとおり、印刷されませんでした: %2")
                    .arg(entry.id)
                    .arg(entry.reason);
    return r;
}

bool writeResultFile(const QString &path, const JobResult &result, QString *error)
{
    // A staged file follows a link to replace what it points to; a link planted at a
    // result's name would have the result written over any file the watcher may write.
    if (!clearResultName(path, error))
        return false;
    StagedFile staged(path);
    return staged.create(error) && staged.write(resultJson(result), error) && staged.commit(error);
}

} // namespace corvial
