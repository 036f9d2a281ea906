// SPDX-License-Identifier: GPL-3.0-or-later
// What the print history adds to one print by corvial-batch, a whole process each time as a
// script runs it, each figure beside its baseline from the same run: a 400-sample job to PDF
// with its record against --no-history, and one print whose history holds 1,000 jobs this PC
// left waiting (asked about on every print) against one whose history holds none. Nothing is
// asserted; the goals are printed beside the ratios.
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "print/CupsQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace corvial;

namespace {

constexpr int Runs = 7;
constexpr int WaitingJobs = 1000;
constexpr double RecordGoal = 1.1;
constexpr double WaitingGoal = 1.2;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wall time of one corvial-batch run printing 400 samples to pdf, in ms; < 0 when it failed.
double printOnce(const QStringList &history, const QString &pdf)
{
    QProcess batch;
    QElapsedTimer timer;
    timer.start();
    batch.start(QStringLiteral(CORVIAL_BATCH),
                QStringList{"--type", "1", "--samples", "400", "--first", "9801", "--text", "ABCDE",
                            "--pdf", pdf} +
                    history);
    if (!batch.waitForFinished(120000) || batch.exitCode() != 0) {
        std::fprintf(stderr, "bench_print_history: the print failed: %s\n",
                     batch.readAllStandardError().constData());
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

// A history holding count jobs this PC sent through this print server and left waiting, with
// CUPS ids the server does not know, so that every print asks about them all again.
bool seedWaiting(const QString &path, int count)
{
    HistoryLocation where;
    where.filePath = path;
    HistoryStore store;
    QString error;
    bool ok = store.open(where, &error);
    for (int i = 0; ok && i < count; ++i) {
        HistoryRecord r;
        r.host = recordHostName();
        r.cupsServer = cupsServerName();
        r.queue = QStringLiteral("CorvialPDF");
        r.program = QStringLiteral("corvial-batch");
        r.samples = 20;
        for (int s = 0; s < r.samples; ++s)
            r.sampleTexts << QStringLiteral("検体 %1").arg(s);
        const qint64 id = store.begin(r, &error);
        ok = id > 0 && store.finish(id, JobOutcome::Waiting, QString(), 900000 + i, &error);
    }
    if (!ok)
        std::fprintf(stderr, "bench_print_history: %s\n", qPrintable(error));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.sqlite"));
    const QString waiting = dir.filePath(QStringLiteral("waiting.sqlite"));
    const QString recorded = dir.filePath(QStringLiteral("recorded.sqlite"));
    if (!dir.isValid() || !seedWaiting(empty, 0) || !seedWaiting(waiting, WaitingJobs) ||
        !seedWaiting(recorded, 0))
        return 1;
    const QString pdf = dir.filePath(QStringLiteral("job.pdf"));
    struct Variant
    {
        const char *name;
        QStringList history;
        std::vector<double> ms;
    };
    Variant variants[] = {
        {"--no-history", {"--no-history"}, {}},
        {"with its record", {"--history-db", recorded}, {}},
        {"history with no waiting job", {"--history-db", empty}, {}},
        {"history with 1,000 waiting jobs", {"--history-db", waiting}, {}},
    };
    // Once each first: page cache, font caches. Then the variants in turn, so that a change
    // of the machine's load falls on all of them alike.
    for (Variant &v : variants) {
        if (printOnce(v.history, pdf) < 0)
            return 1;
    }
    for (int run = 0; run < Runs; ++run) {
        for (Variant &v : variants) {
            const double ms = printOnce(v.history, pdf);
            if (ms < 0)
                return 1;
            v.ms.push_back(ms);
        }
    }
    const QString server = cupsServerProblem();
    std::printf("print server %s: %s\n", qPrintable(cupsServerName()),
                server.isEmpty() ? "answers" : qPrintable(server));
    const auto pair = [&](const Variant &base, const Variant &with, double goal) {
        const double a = median(base.ms);
        const double b = median(with.ms);
        std::printf("400 samples to PDF, %-32s %8.1f ms (median of %d)\n", base.name, a, Runs);
        std::printf("400 samples to PDF, %-32s %8.1f ms  %.2fx (goal <= %.1fx)\n", with.name, b,
                    b / a, goal);
    };
    pair(variants[0], variants[1], RecordGoal);
    pair(variants[2], variants[3], WaitingGoal);
    return 0;
}
