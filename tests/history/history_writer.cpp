// SPDX-License-Identifier: GPL-3.0-or-later
// Appends records to a history as a separate process would: history_writer DATABASE COUNT
// USER writes COUNT printed records for USER; history_writer --recheck DATABASE HOST SERVER
// re-checks HOST's waiting jobs on SERVER as a second program would, the print server
// answering (after a second, so that two such processes both read the jobs before either
// writes) that each was aborted, and prints how many it marked; --list DATABASE prints the
// JSON listing of an existing history. Any failure goes to stderr with exit code 1.
#include "history/HistoryListing.h"
#include "history/HistoryStore.h"
#include "history/WaitingJobs.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

using namespace corvial;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool list = args.size() == 3 && args.at(1) == QLatin1String("--list");
    if (args.size() != 4 && !list &&
        !(args.size() == 5 && args.at(1) == QLatin1String("--recheck")))
        return 2;
    HistoryLocation location;
    HistoryStore store;
    QString error;
    const bool recheck = args.size() == 5;
    bool ok = historyLocationFromValue(args.at(recheck || list ? 2 : 1), &location, &error) &&
              store.open(location, &error,
                         list ? HistoryOpenMode::ExistingOnly : HistoryOpenMode::CreateWhenMissing);
    if (ok && list)
        ok = writeHistoryListing(
            store, {}, 1000, true,
            [](const QByteArray &text, QString *) {
                return std::fputs(text.constData(), stdout) >= 0;
            },
            nullptr, &error);
    if (ok && recheck) {
        const WaitingRecheck result =
            recheckWaitingJobs(store, args.at(3), args.at(4), [](const QList<QueuedJob> &jobs) {
                QThread::msleep(1000);
                QMap<int, QueuedJobLook> looks;
                for (const QueuedJob &job : jobs)
                    looks.insert(job.cupsJobId, {QueuedJobState::Aborted, "jam", job.queue});
                return looks;
            });
        error = result.errors.join(QLatin1Char('\n'));
        ok = result.errors.isEmpty();
        std::printf("%d\n", int(result.ended.size()));
    }
    for (int i = 0; ok && !recheck && !list && i < args.at(2).toInt(); ++i) {
        HistoryRecord record;
        record.user = args.at(3);
        record.samples = 1;
        record.sampleTexts = {QString::number(i)};
        const qint64 id = store.begin(record, &error);
        ok = id > 0 && store.finish(id, JobOutcome::Printed, QString(), 0, &error);
    }
    if (!ok)
        std::fputs(qPrintable(error), stderr);
    return ok ? 0 : 1;
}
