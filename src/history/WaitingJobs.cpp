// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/WaitingJobs.h"

#include "history/HistoryNumbers.h"
#include "history/HistoryStore.h"
#include "job/TextCharacters.h"

namespace corvial {

WaitingRecheck recheckWaitingJobs(HistoryStore &store, const QString &host,
                                  const QString &cupsServer,
                                  const std::function<JobPhaseLookup> &lookup)
{
    WaitingRecheck result;
    QList<HistoryEntry> waiting;
    QString error;
    if (!store.waitingEntries(host, cupsServer, &waiting, &error)) {
        result.errors << error;
        return result;
    }
    // Without the queue's job id there is nothing to ask about; it stays as it is.
    waiting.removeIf([](const HistoryEntry &e) { return e.cupsJobId <= 0; });
    if (waiting.isEmpty())
        return result;
    // One request for all of them: asking job by job made every print wait on as many
    // round trips as there were jobs left waiting.
    QList<QueuedJob> asked;
    asked.reserve(waiting.size());
    for (const HistoryEntry &e : std::as_const(waiting))
        asked << QueuedJob{e.record.queue, e.cupsJobId};
    const QMap<int, QueuedJobLook> looks = lookup(asked);
    for (HistoryEntry entry : std::as_const(waiting)) {
        const auto found = looks.constFind(entry.cupsJobId);
        if (found == looks.cend())
            continue; // the server no longer knows it
        const QueuedJobLook &look = *found;
        if (look.state == QueuedJobState::NoAnswer) {
            result.errors << QStringLiteral("待機中の印刷が終わったかを CUPS に確かめられません"
                                            "でした（%1）。待機中のまま表示します。")
                                 .arg(visibleText(look.reason));
            break;
        }
        // CUPS numbers its jobs afresh after a reinstall: the same id on another queue is
        // another job.
        if (look.queue.compare(entry.record.queue, Qt::CaseInsensitive) != 0)
            continue;
        JobOutcome outcome;
        if (look.state == QueuedJobState::Aborted)
            outcome = JobOutcome::Aborted;
        else if (look.state == QueuedJobState::Cancelled)
            outcome = JobOutcome::Cancelled;
        else
            continue; // only an end without printing may be written after the fact; a job
                      // CUPS completed or forgot keeps the "waiting" it was left with
        const QString reason =
            look.reason.isEmpty() ? QStringLiteral("理由は示されていません") : look.reason;
        bool written = false;
        if (!store.markLater(entry.id, outcome, reason, &error, &written)) {
            result.errors << error;
            continue;
        }
        if (!written)
            continue; // another program re-checking at the same time wrote it; it tells
        if (!store.entry(entry.id, &entry, &error)) {
            result.errors << error;
            continue;
        }
        entry.outcome = outcome;
        entry.reason = reason;
        result.ended << entry;
    }
    return result;
}

QString unprintedJobsNotice(const QList<HistoryEntry> &ended)
{
    if (ended.isEmpty())
        return QString();
    QStringList lines;
    lines << QStringLiteral("次の印刷は CUPS で終わり、ラベルは印刷されていません:");
    for (const HistoryEntry &e : ended) {
        const HistoryRecord &r = e.record;
        const QString numbers = recordNumbersText(r);
        const QString what = numbers.isEmpty()
                                 ? QStringLiteral("%1 検体").arg(r.samples)
                                 : QStringLiteral("番号 %1（%2 検体）").arg(numbers).arg(r.samples);
        lines << QStringLiteral("・プリンター「%1」のジョブ %2（%3 開始）: %4 — %5（%6）")
                     .arg(visibleText(r.queue))
                     .arg(e.cupsJobId)
                     .arg(r.startedUtc.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")))
                     .arg(what, outcomeJapanese(e.outcome), visibleText(e.reason));
    }
    lines << QStringLiteral("これらは「印刷履歴」から再印刷できます。");
    return lines.join(QLatin1Char('\n'));
}

} // namespace corvial
