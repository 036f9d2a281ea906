// SPDX-License-Identifier: GPL-3.0-or-later
// What the print history costs, each figure beside a baseline taken in the same run: a
// 400-sample job printed to PDF with and without its record; the history window's first rows
// and the start-up look for waiting jobs in a history of 100,000 jobs against an empty one;
// corvial-batch --history over those 100,000 jobs, CSV and JSON, against a C program that
// reads the same rows through SQLite's C interface and writes the same bytes, and on a
// throwaway PostgreSQL server against psql copying the same rows out; the listing's peak
// memory.
#include "HistorySeed.h"
#include "history/HistoryCells.h"
#include "history/HistoryListing.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "history/PrintRecorder.h"
#include "job/Fonts.h"
#include "job/SheetTypes.h"
#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace corvial;
using corvial::bench::listJob;

namespace {

constexpr int Runs = 7;
constexpr int SeedJobs = 1000;
constexpr int Copies = 100; // of the seed: a history of SeedJobs * Copies jobs
constexpr int SeedSamples = 20;
constexpr double RecordGoalMs = 5.0;
constexpr double ListingGoalMs = 300.0;
constexpr double ExportGoalRatio = 1.3; // of the floor that reads the same rows

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msOf(const std::function<bool()> &work, bool *ok)
{
    QElapsedTimer timer;
    timer.start();
    *ok = work() && *ok;
    return double(timer.nsecsElapsed()) / 1e6;
}

// Prints job into file; with a recorder, its record is begun before and finished after, and
// how long each took goes to beginMs and finishMs.
bool printPdf(const LabelJob &job, const QString &file, PrintRecorder *recorder, double *beginMs,
              double *finishMs)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setResolution(600);
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    PrinterCanvas canvas(&printer);
    QString error;
    bool ok = true;
    if (recorder)
        *beginMs = msOf([&] { return recorder->begin(job, QString(), file, &error); }, &ok);
    ok = printJob(canvas, job, &error) && ok;
    if (recorder)
        *finishMs = msOf(
            [&] {
                return recorder->finish(ok ? JobOutcome::Printed : JobOutcome::Failed, error, 0,
                                        &error);
            },
            &ok);
    if (!ok)
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(error));
    return ok;
}

// (a) The job alternately without and with its record, so that both see the same machine.
bool recordingCost(const QString &dir)
{
    const LabelJob job = listJob(MaxJobLabels);
    PrintRecorder recorder(QStringLiteral("bench_history"));
    QString error;
    if (!recorder.openValue(dir + QStringLiteral("/record.sqlite"), &error)) {
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(error));
        return false;
    }
    const QString pdf = dir + QStringLiteral("/job.pdf");
    double begun = 0, finished = 0;
    bool ok = printPdf(job, pdf, nullptr, &begun, &finished); // fonts loaded and cached
    std::vector<double> plain, recorded, record, begins, finishes;
    for (int i = 0; i < Runs; ++i) {
        plain.push_back(msOf([&] { return printPdf(job, pdf, nullptr, &begun, &finished); }, &ok));
        recorded.push_back(
            msOf([&] { return printPdf(job, pdf, &recorder, &begun, &finished); }, &ok));
        record.push_back(begun + finished);
        begins.push_back(begun);
        finishes.push_back(finished);
    }
    std::printf("(a) %d-sample job to PDF, median of %d: without record %.1f ms, with %.1f ms;\n"
                "    the record itself %.2f ms (begin %.2f, finish %.2f; goal <= %.0f ms: %s)\n",
                MaxJobLabels, Runs, median(plain), median(recorded), median(record), median(begins),
                median(finishes), RecordGoalMs, median(record) <= RecordGoalMs ? "met" : "missed");
    return ok;
}

// SeedJobs printed jobs of SeedSamples samples: the seed that a fill copies.
bool seedJobs(HistoryStore &store)
{
    return bench::seedJobs(store, SeedJobs, SeedSamples, JobOutcome::Printed);
}

// A history of SeedJobs * Copies jobs: the seed written as the programs write it, then
// copied with the ids moved on and each copy a week older, in one transaction.
bool fillHistory(const QString &file)
{
    HistoryStore store;
    HistoryLocation where;
    where.filePath = file;
    QString error;
    if (!store.open(where, &error)) {
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(error));
        return false;
    }
    if (!seedJobs(store))
        return false;
    store.close();

    const QString name = QStringLiteral("bench-fill");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        ok = db.open();
        QSqlQuery q(db);
        const QString week = QString::number(SeedJobs * 600 / 86400 + 1);
        QStringList statements = {
            QStringLiteral("BEGIN"),
            QStringLiteral("CREATE TEMP TABLE seed_jobs AS SELECT * FROM jobs"),
            QStringLiteral("CREATE TEMP TABLE seed_samples AS SELECT * FROM job_samples"),
            QStringLiteral("CREATE TEMP TABLE seed_outcomes AS SELECT * FROM outcomes"),
        };
        for (int c = 1; c < Copies; ++c) {
            statements
                << QStringLiteral("UPDATE seed_jobs SET id = id + %1, started_utc = "
                                  "strftime('%Y-%m-%dT%H:%M:%fZ', started_utc, '-%2 days')")
                       .arg(SeedJobs)
                       .arg(week)
                << QStringLiteral("UPDATE seed_samples SET job_id = job_id + %1").arg(SeedJobs)
                << QStringLiteral("UPDATE seed_outcomes SET id = id + %1, job_id = job_id "
                                  "+ %1")
                       .arg(SeedJobs)
                << QStringLiteral("INSERT INTO jobs SELECT * FROM seed_jobs")
                << QStringLiteral("INSERT INTO job_samples SELECT * FROM seed_samples")
                << QStringLiteral("INSERT INTO outcomes SELECT * FROM seed_outcomes");
        }
        statements << QStringLiteral("COMMIT");
        for (const QString &s : std::as_const(statements)) {
            if (ok && !q.exec(s)) {
                std::fprintf(stderr, "bench_history: %s: %s\n", qPrintable(s),
                             qPrintable(q.lastError().text()));
                ok = false;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// (b) What the history window does before it shows rows: open, look for waiting jobs, list
// the newest page. The waiting look is given apart, as both programs make it at every start.
bool listing(const QString &file, double *openMs, double *waitingMs, double *rowsMs, int *rows)
{
    bool ok = true;
    HistoryStore store;
    HistoryLocation where;
    where.filePath = file;
    QString error;
    *openMs = msOf([&] { return store.open(where, &error); }, &ok);
    QList<HistoryEntry> found;
    *waitingMs = msOf([&] { return store.waitingEntries(&found, &error); }, &ok);
    *rowsMs = msOf([&] { return store.entries(HistoryFilter(), &found, &error); }, &ok);
    *rows = int(found.size());
    if (!ok)
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(error));
    return ok;
}

bool listingCost(const QString &empty, const QString &full)
{
    bool ok = true;
    std::vector<double> open[2], waiting[2], rows[2];
    int shown[2] = {};
    for (int i = 0; i < Runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            double o = 0, w = 0, r = 0;
            ok = listing(k ? full : empty, &o, &w, &r, &shown[k]) && ok;
            open[k].push_back(o);
            waiting[k].push_back(w);
            rows[k].push_back(r);
        }
    }
    const double first = median(open[1]) + median(waiting[1]) + median(rows[1]);
    std::printf("(b) history window, median of %d, empty history | %d jobs:\n"
                "    open %.1f | %.1f ms, waiting jobs %.2f | %.2f ms, first %d rows %.1f | "
                "%.1f ms\n"
                "    first rows shown after %.1f ms (goal <= %.0f ms: %s)\n",
                Runs, SeedJobs * Copies, median(open[0]), median(open[1]), median(waiting[0]),
                median(waiting[1]), shown[1], median(rows[0]), median(rows[1]), first,
                ListingGoalMs, first <= ListingGoalMs ? "met" : "missed");
    return ok;
}

// (c) The whole process, its output written to outFile (null: thrown away); the time in ms.
// cpuMs (if given) gets the processor time the process used, user and system: on a machine
// that others share it varies less than the time on the clock.
double runMs(const QString &program, const QStringList &args, const QString &outFile, bool *ok,
             double *cpuMs = nullptr)
{
    const auto childCpuMs = [] {
        struct rusage use;
        getrusage(RUSAGE_CHILDREN, &use);
        return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e3 +
               double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e3;
    };
    const double cpuBefore = childCpuMs();
    QProcess p;
    p.setStandardOutputFile(outFile.isEmpty() ? QProcess::nullDevice() : outFile);
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    const bool ran =
        p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (cpuMs)
        *cpuMs = childCpuMs() - cpuBefore;
    if (!ran)
        std::fprintf(stderr, "bench_history: %s %s failed: %s\n", qPrintable(program),
                     qPrintable(args.join(QLatin1Char(' '))), p.readAllStandardError().constData());
    *ok = ran && *ok;
    return ms;
}

QStringList historyArgs(const QString &db, const QString &format)
{
    return {QStringLiteral("--history"), QStringLiteral("--format"), format,
            QStringLiteral("--history-db"), db};
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The largest resident set of one --history run, in MB, as /usr/bin/time tells it.
double peakMb(const QString &db, const QString &format, const QString &dir)
{
    const QString report = dir + QStringLiteral("/time.txt");
    bool ok = true;
    runMs(QStringLiteral("/usr/bin/time"),
          QStringList{"-f", "%M", "-o", report, QStringLiteral(CORVIAL_BATCH)} +
              historyArgs(db, format),
          QString(), &ok);
    return ok ? fileBytes(report).trimmed().toDouble() / 1024 : -1;
}

// One pair: the listing and its floor alternately, Runs times each, after one run of each
// whose outputs must be the same bytes. Prints the medians and their ratio.
bool comparePair(const char *what, const QStringList &listing, const QString &floorProgram,
                 const QStringList &floorArgs, bool sameBytes, const char *cpuNote,
                 const QString &dir)
{
    bool ok = true;
    const QString a = dir + QStringLiteral("/listing.out"), b = dir + QStringLiteral("/floor.out");
    runMs(QStringLiteral(CORVIAL_BATCH), listing, a, &ok);
    runMs(floorProgram, floorArgs, b, &ok);
    const QByteArray mine = fileBytes(a), floors = fileBytes(b);
    const bool same = mine == floors;
    std::vector<double> ms[2], cpu[2];
    for (int i = 0; i < Runs && ok; ++i) {
        for (int k = 0; k < 2; ++k) {
            double used = 0;
            ms[k].push_back(runMs(k ? floorProgram : QStringLiteral(CORVIAL_BATCH),
                                  k ? floorArgs : listing, QString(), &ok, &used));
            cpu[k].push_back(used);
        }
    }
    if (!ok)
        return false;
    const double ratio = median(ms[0]) / median(ms[1]);
    const char *bytes = !sameBytes ? "" : same ? ", same bytes as the floor" : ", BYTES DIFFER";
    std::printf("(c) %s, median of %d:\n    listing %.0f ms, floor %.0f ms: %.2fx (goal <= "
                "%.1fx: %s); processor time %.0f | %.0f ms%s; %.1f MB out%s\n",
                what, Runs, median(ms[0]), median(ms[1]), ratio, ExportGoalRatio,
                ratio <= ExportGoalRatio ? "met" : "missed", median(cpu[0]), median(cpu[1]),
                cpuNote, double(mine.size()) / 1e6, bytes);
    return !sameBytes || same;
}

bool exportCost(const QString &full, const QString &dir)
{
    bool ok = true;
    QString keys, kinds;
    for (int c = 0; c < ListingColumnCount; ++c) {
        keys += QLatin1String(c ? "," : "") + QLatin1String(listingColumnKey(c));
        kinds += QLatin1Char("WRFITMX"[int(listingColumnKind(c))]);
    }
    for (const QString &format : {QStringLiteral("csv"), QStringLiteral("json")}) {
        const QByteArray what =
            "corvial-batch --history --format " + format.toUtf8() + " vs the C floor over SQLite";
        ok = comparePair(what.constData(), historyArgs(full, format), QStringLiteral(HISTORY_FLOOR),
                         {full, format, keys, kinds, QString::fromUtf8(historyListingSql(false)),
                          QString::fromUtf8(historyListingSamplesSql())},
                         true, "", dir) &&
             ok;
        std::printf("    peak memory of the %s listing: %.1f MB\n", qPrintable(format),
                    peakMb(full, format, dir));
    }
    return ok;
}

// A history of the same SeedJobs * Copies jobs on a throwaway PostgreSQL server, made as
// fillHistory makes the SQLite one.
bool fillPostgres(int port, const QString &database)
{
    const QString name = QStringLiteral("bench-pg");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(port);
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(QStringLiteral("postgres"));
        ok = db.open() && QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE ") + database);
        if (!ok)
            std::fprintf(stderr, "bench_history: %s\n", qPrintable(db.lastError().text()));
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok)
        return false;
    HistoryStore store;
    HistoryLocation where;
    where.kind = HistoryLocation::Kind::PostgreSql;
    where.host = QStringLiteral("127.0.0.1");
    where.port = port;
    where.user = QStringLiteral("postgres");
    where.database = database;
    QString error;
    if (!store.open(where, &error)) {
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(error));
        return false;
    }
    if (!seedJobs(store))
        return false;
    QSqlQuery q(store.connection());
    const QString week = QString::number(SeedJobs * 600 / 86400 + 1);
    QStringList statements = {
        QStringLiteral("BEGIN"),
        QStringLiteral("CREATE TEMP TABLE seed_jobs AS SELECT * FROM jobs"),
        QStringLiteral("CREATE TEMP TABLE seed_samples AS SELECT * FROM job_samples"),
        QStringLiteral("CREATE TEMP TABLE seed_outcomes AS SELECT * FROM outcomes"),
    };
    for (int c = 1; c < Copies; ++c) {
        statements << QStringLiteral("UPDATE seed_jobs SET id = id + %1, started_utc = "
                                     "to_char((started_utc::timestamptz - interval '%2 days') "
                                     "AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
                          .arg(SeedJobs)
                          .arg(week)
                   << QStringLiteral("UPDATE seed_samples SET job_id = job_id + %1").arg(SeedJobs)
                   << QStringLiteral("UPDATE seed_outcomes SET id = id + %1, job_id = job_id "
                                     "+ %1")
                          .arg(SeedJobs)
                   << QStringLiteral("INSERT INTO jobs SELECT * FROM seed_jobs")
                   << QStringLiteral("INSERT INTO job_samples SELECT * FROM seed_samples")
                   << QStringLiteral("INSERT INTO outcomes SELECT * FROM seed_outcomes");
    }
    statements << QStringLiteral("COMMIT") << QStringLiteral("ANALYZE");
    for (const QString &s : std::as_const(statements)) {
        if (!q.exec(s)) {
            std::fprintf(stderr, "bench_history: %s: %s\n", qPrintable(s),
                         qPrintable(q.lastError().text()));
            return false;
        }
    }
    return true;
}

// (c) on PostgreSQL: the CSV listing against psql copying the same rows out as CSV.
bool postgresCost(const QString &dir)
{
    const QString state = dir + QStringLiteral("/pg");
    QProcess server;
    server.start(QStringLiteral("bash"), {QStringLiteral(PG_SERVER_SCRIPT), "start", state});
    if (!server.waitForFinished(120000) || server.exitCode() != 0) {
        std::printf("(c) PostgreSQL pair skipped: no throwaway server could be started (%s)\n",
                    server.readAllStandardError().trimmed().constData());
        return true;
    }
    const int port = fileBytes(state + QStringLiteral("/port")).trimmed().toInt();
    QElapsedTimer filling;
    filling.start();
    const QString database = QStringLiteral("bench");
    bool ok = fillPostgres(port, database);
    if (ok) {
        std::printf("    (the same history on PostgreSQL made in %.1f s)\n",
                    double(filling.elapsed()) / 1000);
        const QString url =
            QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(port).arg(database);
        const QString copy = QStringLiteral("\\copy (%1) to stdout with csv")
                                 .arg(QString::fromUtf8(historyListingSql(true)));
        ok = comparePair("corvial-batch --history on PostgreSQL vs psql \\copy ... with csv",
                         historyArgs(url, QStringLiteral("csv")), QStringLiteral("psql"),
                         {"-X", "-q", "-h", "127.0.0.1", "-p", QString::number(port), "-U",
                          "postgres", "-d", database, "-c", copy},
                         false, " (the clients only; the server's is apart)", dir);
        std::printf("    peak memory of the PostgreSQL csv listing: %.1f MB\n",
                    peakMb(url, QStringLiteral("csv"), dir));
    }
    QProcess stop;
    stop.start(QStringLiteral("bash"), {QStringLiteral(PG_SERVER_SCRIPT), "stop", state});
    stop.waitForFinished(60000);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    installJapaneseFontSubstitutions();
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_history: no temporary directory\n");
        return 1;
    }
    // With a file named, its history of 100,000 jobs is kept (made when missing) for
    // profiling the listing with perf, and only (c) is measured.
    const QStringList args = app.arguments();
    const bool kept = args.size() > 1;
    bool ok = kept || recordingCost(dir.path());
    const QString empty = dir.filePath(QStringLiteral("empty.sqlite"));
    const QString full = kept ? args.at(1) : dir.filePath(QStringLiteral("full.sqlite"));
    HistoryStore made;
    HistoryLocation where;
    where.filePath = empty;
    QString error;
    ok = made.open(where, &error) && ok;
    made.close();
    QElapsedTimer filling;
    filling.start();
    if (!(kept && QFileInfo::exists(full)) && !fillHistory(full))
        return 1;
    std::printf("    (a history of %d jobs of %d samples made in %.1f s)\n", SeedJobs * Copies,
                SeedSamples, double(filling.elapsed()) / 1000);
    if (kept)
        return exportCost(full, dir.path()) && postgresCost(dir.path()) ? 0 : 1;
    ok = listingCost(empty, full) && ok;
    ok = exportCost(full, dir.path()) && ok;
    ok = postgresCost(dir.path()) && ok;
    return ok ? 0 : 1;
}
