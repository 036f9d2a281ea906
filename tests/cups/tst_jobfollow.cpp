// SPDX-License-Identifier: GPL-3.0-or-later
// A job sent to CUPS counts as printed only by how it ends there: through the batch printer
// on a working queue, a queue whose device fails under the abort-job policy, a paused queue
// whose job is cancelled while the program waits, and a paused queue it stops waiting for;
// a job cancelled after the program stopped waiting is marked at its next start.
#include "history/HistoryRecord.h"
#include "sequence/CupsJobLookup.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kSettings = "10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n";
const QStringList kJob{"-t", "2", "-n", "2", "--text", "AB"};

QString tool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

// The highest id among the queue's jobs that lpstat lists with `which` (all, not-completed).
int newestJob(const QString &queue, const QString &which)
{
    const QString listed =
        tool(QStringLiteral("lpstat"), {QStringLiteral("-W"), which, QStringLiteral("-o"), queue});
    const QRegularExpression id(
        QStringLiteral("^%1-(\\d+)\\s").arg(QRegularExpression::escape(queue)),
        QRegularExpression::MultilineOption);
    int newest = 0;
    for (auto m = id.globalMatch(listed); m.hasNext();)
        newest = qMax(newest, m.next().captured(1).toInt());
    return newest;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestJobFollow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void jobEnd_data();
    void jobEnd();
    void cancelledAfterSending();
    void looksAtJobsInOneRequest();
    void twoJobsAtOnceAreEachFollowed();
    void lostCompletionKeepsTheJob();

private:
    QString mQueue;      // a cups-pdf queue: jobs complete
    QString mAbortQueue; // its device cannot be opened, and CUPS aborts the job
};

void TestJobFollow::initTestCase()
{
    mQueue = qEnvironmentVariable("CORVIAL_CUPS_QUEUE", QStringLiteral("CorvialPDF"));
    mAbortQueue = qEnvironmentVariable("CORVIAL_CUPS_ABORT_QUEUE", QStringLiteral("CorvialAbort"));
    const QStringList offered = QPrinterInfo::availablePrinterNames();
    for (const QString &queue : {mQueue, mAbortQueue}) {
        if (offered.contains(queue))
            continue;
        const QByteArray why =
            QStringLiteral("CUPS offers no queue %1 (is cupsd running? .ci/cups-pdf-queue sets "
                           "it up)")
                .arg(queue)
                .toLocal8Bit();
        if (qEnvironmentVariableIntValue("CORVIAL_REQUIRE_CUPS") == 1)
            QFAIL(why.constData());
        QSKIP(why.constData());
    }
}

void TestJobFollow::jobEnd_data()
{
    QTest::addColumn<bool>("failing");     // the abort queue instead of the cups-pdf one
    QTest::addColumn<bool>("paused");      // the queue is paused while the job is sent
    QTest::addColumn<bool>("cancel");      // the test cancels the job while the program waits
    QTest::addColumn<QStringList>("wait"); // --wait, when given
    QTest::addColumn<bool>("printed");
    QTest::addColumn<QString>("said"); // in what the program says, beside the queue and job
    QTest::addColumn<int>("outcome");  // what the print history says of the job

    using corvial::JobOutcome;
    QTest::newRow("completed") << false << false << false << QStringList() << true << QString()
                               << int(JobOutcome::Printed);
    QTest::newRow("aborted") << true << false << false << QStringList() << false
                             << "中止しました（Unable to open serial port"
                             << int(JobOutcome::Aborted);
    QTest::newRow("cancelled while waiting") << false << true << true << QStringList() << false
                                             << "取り消されました" << int(JobOutcome::Cancelled);
    QTest::newRow("still waiting when the wait ends")
        << false << true << false << QStringList{"--wait", "1"} << true << "一時停止中"
        << int(JobOutcome::Waiting);
}

void TestJobFollow::jobEnd()
{
    QFETCH(bool, failing);
    QFETCH(bool, paused);
    QFETCH(bool, cancel);
    QFETCH(QStringList, wait);
    QFETCH(bool, printed);
    QFETCH(QString, said);
    QFETCH(int, outcome);

    const QString queue = failing ? mAbortQueue : mQueue;
    if (paused)
        tool(QStringLiteral("cupsdisable"), {queue});
    const auto back = qScopeGuard([&] {
        if (paused) {
            tool(QStringLiteral("cancel"), {QStringLiteral("-a"), queue});
            tool(QStringLiteral("cupsenable"), {queue});
        }
    });
    const int before = newestJob(queue, QStringLiteral("all"));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    {
        QFile f(settings);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kSettings) == kSettings.size());
    }
    QProcess batch;
    QElapsedTimer clock;
    clock.start();
    batch.start(QStringLiteral(CORVIAL_BATCH),
                kJob + wait + QStringList{"--printer", queue, "--settings", settings});
    if (cancel) {
        int sent = 0;
        QVERIFY(QTest::qWaitFor(
            [&] { return (sent = newestJob(queue, QStringLiteral("not-completed"))) > before; },
            20000));
        tool(QStringLiteral("cancel"), {QStringLiteral("%1-%2").arg(queue).arg(sent)});
    }
    QVERIFY(batch.waitForFinished(120000));
    const QString err = QString::fromUtf8(batch.readAllStandardError());
    const int job = newestJob(queue, QStringLiteral("all"));
    QVERIFY2(job > before, qPrintable(err));
    QVERIFY2(batch.exitCode() == (printed ? 0 : 1), qPrintable(err));
    if (said.isEmpty()) {
        // A printed job needs no word about it.
        QVERIFY2(!err.contains(queue), qPrintable(err));
    } else {
        // Whatever ended the job, the user learns which queue and which job it was.
        QVERIFY2(err.contains(said) && err.contains(queue) &&
                     err.contains(QStringLiteral("ジョブ %1 ").arg(job)),
                 qPrintable(err));
    }
    if (printed)
        QVERIFY(readAll(settings) != kSettings);
    else
        QCOMPARE(readAll(settings), kSettings);
    // The history beside start.txt knows how the job ended and which CUPS job it was.
    QProcess history;
    history.start(QStringLiteral(CORVIAL_BATCH),
                  {"--history", "--format", "json", "--settings", settings});
    QVERIFY(history.waitForFinished(60000));
    const QJsonArray entries = QJsonDocument::fromJson(history.readAllStandardOutput()).array();
    QCOMPARE(entries.size(), 1);
    const QJsonObject entry = entries.first().toObject();
    QCOMPARE(entry.value(QStringLiteral("outcome")).toString(),
             corvial::outcomeWord(corvial::JobOutcome(outcome)));
    QCOMPARE(entry.value(QStringLiteral("cups_job_id")).toInt(), job);
    QCOMPARE(entry.value(QStringLiteral("queue")).toString(), queue);
    // A job that is still waiting is not waited for beyond --wait.
    if (!wait.isEmpty())
        QVERIFY2(clock.elapsed() < 1000 * (wait.constLast().toInt() + 10), qPrintable(err));
}

void TestJobFollow::cancelledAfterSending()
{
    tool(QStringLiteral("cupsdisable"), {mQueue});
    const auto back = qScopeGuard([&] {
        tool(QStringLiteral("cancel"), {QStringLiteral("-a"), mQueue});
        tool(QStringLiteral("cupsenable"), {mQueue});
    });
    const int before = newestJob(mQueue, QStringLiteral("all"));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    {
        QFile f(settings);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kSettings) == kSettings.size());
    }
    QByteArray out;
    auto run = [&](const QStringList &args, QString *err) {
        QProcess batch;
        batch.start(QStringLiteral(CORVIAL_BATCH), args + QStringList{"--settings", settings});
        const bool ended = batch.waitForFinished(120000);
        out = batch.readAllStandardOutput();
        *err = QString::fromUtf8(batch.readAllStandardError());
        return ended && batch.exitStatus() == QProcess::NormalExit ? batch.exitCode() : -1;
    };
    QString err;
    QVERIFY2(run(kJob + QStringList{"--wait", "1", "--printer", mQueue}, &err) == 0,
             qPrintable(err));
    const int job = newestJob(mQueue, QStringLiteral("all"));
    QVERIFY2(job > before, qPrintable(err));
    tool(QStringLiteral("cancel"), {QStringLiteral("%1-%2").arg(mQueue).arg(job)});
    QVERIFY(QTest::qWaitFor(
        [&] { return newestJob(mQueue, QStringLiteral("not-completed")) < job; }, 20000));
    const QByteArray printed = readAll(settings);
    // The same job as another PC of a shared history recorded it, through its own print
    // server: this PC's look at CUPS says nothing about it.
    QProcess other;
    other.start(QStringLiteral("python3"),
                {QStringLiteral("-c"),
                 QStringLiteral(
                     "import sqlite3, sys\n"
                     "c = sqlite3.connect(sys.argv[1])\n"
                     "cols = [r[1] for r in c.execute('PRAGMA table_info(jobs)') if r[1] != 'id']\n"
                     "pick = ['\\'another-pc\\'' if x == 'host_name' else x for x in cols]\n"
                     "c.execute('INSERT INTO jobs (%s) SELECT %s FROM jobs WHERE id = 1'"
                     " % (','.join(cols), ','.join(pick)))\n"
                     "new = c.execute('SELECT last_insert_rowid()').fetchone()[0]\n"
                     "c.execute('INSERT INTO outcomes (job_id, recorded_utc, outcome, reason, "
                     "cups_job_id) SELECT ?, recorded_utc, outcome, reason, cups_job_id FROM "
                     "outcomes WHERE job_id = 1', (new,))\n"
                     "c.commit()\n"),
                 dir.filePath(QStringLiteral("history.sqlite"))});
    QVERIFY(other.waitForFinished(30000));
    QVERIFY2(other.exitCode() == 0, other.readAllStandardError().constData());

    // The next start says once which job did not print, and the history now says so too;
    // the start position stays where the job left it.
    const QStringList list{"--history", "--format", "json"};
    QVERIFY2(run(list, &err) == 0, qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("ジョブ %1").arg(job)) && err.contains(mQueue),
             qPrintable(err));
    QVERIFY2(run(list, &err) == 0 && !err.contains(QStringLiteral("ジョブ %1").arg(job)),
             qPrintable(err));
    const QJsonArray entries = QJsonDocument::fromJson(out).array();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).toObject().value(QStringLiteral("outcome")).toString(),
             corvial::outcomeWord(corvial::JobOutcome::Cancelled));
    QCOMPARE(entries.at(1).toObject().value(QStringLiteral("outcome")).toString(),
             corvial::outcomeWord(corvial::JobOutcome::Waiting));
    QCOMPARE(readAll(settings), printed);
}

// The look-up of waiting jobs answers for several jobs from one Get-Jobs request over all
// queues: each with its state and its queue, and nothing for an id CUPS does not know.
void TestJobFollow::looksAtJobsInOneRequest()
{
    tool(QStringLiteral("cupsdisable"), {mQueue});
    const auto back = qScopeGuard([&] {
        tool(QStringLiteral("cancel"), {QStringLiteral("-a"), mQueue});
        tool(QStringLiteral("cupsenable"), {mQueue});
    });
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString text = dir.filePath(QStringLiteral("job.txt"));
    {
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("AB\n") == 3);
    }
    QList<int> ids;
    for (int i = 0; i < 2; ++i) {
        const int before = newestJob(mQueue, QStringLiteral("all"));
        tool(QStringLiteral("lp"), {QStringLiteral("-d"), mQueue, text});
        QVERIFY(QTest::qWaitFor([&] { return newestJob(mQueue, QStringLiteral("all")) > before; },
                                10000));
        ids << newestJob(mQueue, QStringLiteral("all"));
    }
    tool(QStringLiteral("cancel"), {QStringLiteral("%1-%2").arg(mQueue).arg(ids.at(1))});
    QVERIFY(QTest::qWaitFor(
        [&] { return newestJob(mQueue, QStringLiteral("not-completed")) == ids.at(0); }, 10000));
    const int unknown = ids.at(1) + 100000;
    const QMap<int, corvial::QueuedJobLook> looks =
        corvial::cupsJobLooks({{mQueue, ids.at(0)}, {mQueue, ids.at(1)}, {mQueue, unknown}});
    QCOMPARE(looks.size(), 2);
    QCOMPARE(looks.value(ids.at(0)).state, corvial::QueuedJobState::NotEnded);
    QCOMPARE(looks.value(ids.at(1)).state, corvial::QueuedJobState::Cancelled);
    QCOMPARE(looks.value(ids.at(0)).queue, mQueue);
    QCOMPARE(looks.value(ids.at(1)).queue, mQueue);
}

// Two runs of one user sending to one queue at the same moment: the job CUPS cancels is the
// one whose run says so and whose record names it, and the other run's job is its own. The
// order in which CUPS numbers the two jobs is left to chance, so it is tried many times.
void TestJobFollow::twoJobsAtOnceAreEachFollowed()
{
    constexpr int Rounds = 10;
    tool(QStringLiteral("cupsdisable"), {mQueue});
    const auto back = qScopeGuard([&] {
        tool(QStringLiteral("cancel"), {QStringLiteral("-a"), mQueue});
        tool(QStringLiteral("cupsenable"), {mQueue});
    });
    for (int round = 0; round < Rounds; ++round) {
        tool(QStringLiteral("cupsdisable"), {mQueue});
        const int before = newestJob(mQueue, QStringLiteral("all"));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess runs[2];
        QString settings[2];
        for (int i = 0; i < 2; ++i) {
            QVERIFY(QDir(dir.path()).mkdir(QString::number(i)));
            settings[i] = dir.filePath(QStringLiteral("%1/start.txt").arg(i));
            QFile f(settings[i]);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kSettings) == kSettings.size());
        }
        for (int i = 0; i < 2; ++i)
            runs[i].start(
                QStringLiteral(CORVIAL_BATCH),
                kJob + QStringList{"--wait", "60", "--printer", mQueue, "--settings", settings[i]});
        // Both jobs are on the paused queue; the lower one is cancelled, the other prints.
        QVERIFY(QTest::qWaitFor(
            [&] { return newestJob(mQueue, QStringLiteral("not-completed")) > before + 1; },
            30000));
        const int cancelled = before + 1;
        tool(QStringLiteral("cancel"), {QStringLiteral("%1-%2").arg(mQueue).arg(cancelled)});
        tool(QStringLiteral("cupsenable"), {mQueue});
        int cancelledRuns = 0;
        for (int i = 0; i < 2; ++i) {
            QVERIFY(runs[i].waitForFinished(120000));
            const QString err = QString::fromUtf8(runs[i].readAllStandardError());
            QProcess history;
            history.start(QStringLiteral(CORVIAL_BATCH),
                          {"--history", "--format", "json", "--settings", settings[i]});
            QVERIFY(history.waitForFinished(60000));
            const QJsonArray entries =
                QJsonDocument::fromJson(history.readAllStandardOutput()).array();
            QCOMPARE(entries.size(), 1);
            const QJsonObject entry = entries.first().toObject();
            const int job = entry.value(QStringLiteral("cups_job_id")).toInt();
            const bool wasCancelled = job == cancelled;
            cancelledRuns += wasCancelled ? 1 : 0;
            QVERIFY2(wasCancelled || job == cancelled + 1, qPrintable(err));
            QVERIFY2(runs[i].exitCode() == (wasCancelled ? 1 : 0), qPrintable(err));
            QCOMPARE(entry.value(QStringLiteral("outcome")).toString(),
                     corvial::outcomeWord(wasCancelled ? corvial::JobOutcome::Cancelled
                                                       : corvial::JobOutcome::Printed));
            QCOMPARE(readAll(settings[i]) == kSettings, wasCancelled);
            if (wasCancelled)
                QVERIFY2(err.contains(QStringLiteral("ジョブ %1 ").arg(cancelled)),
                         qPrintable(err));
        }
        QCOMPARE(cancelledRuns, 1);
    }
}

// A job that went out but whose completion cannot be written (another program holds the
// history's write lock past its wait) ends with status 1 naming the record; the labels went
// out, so start.txt moves on, and the record already holds the job's id, so the next look at
// waiting jobs learns that CUPS cancelled it.
void TestJobFollow::lostCompletionKeepsTheJob()
{
    tool(QStringLiteral("cupsdisable"), {mQueue});
    const auto back = qScopeGuard([&] {
        tool(QStringLiteral("cancel"), {QStringLiteral("-a"), mQueue});
        tool(QStringLiteral("cupsenable"), {mQueue});
    });
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    {
        QFile f(settings);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kSettings) == kSettings.size());
    }
    const auto recorded = [&] {
        QProcess history;
        history.start(QStringLiteral(CORVIAL_BATCH),
                      {"--history", "--format", "json", "--settings", settings});
        history.waitForFinished(60000);
        const QJsonArray entries = QJsonDocument::fromJson(history.readAllStandardOutput()).array();
        return entries.size() == 1 ? entries.first().toObject() : QJsonObject();
    };
    const int before = newestJob(mQueue, QStringLiteral("all"));
    QProcess batch;
    batch.start(QStringLiteral(CORVIAL_BATCH),
                kJob + QStringList{"--wait", "4", "--printer", mQueue, "--settings", settings});
    int job = 0;
    QVERIFY(QTest::qWaitFor(
        [&] { return (job = newestJob(mQueue, QStringLiteral("not-completed"))) > before; },
        20000));
    QVERIFY(QTest::qWaitFor(
        [&] { return recorded().value(QStringLiteral("cups_job_id")).toInt() == job; }, 3000));

    QProcess holder;
    holder.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sqlite3, sys, time\n"
                                 "c = sqlite3.connect(sys.argv[1], isolation_level=None, "
                                 "timeout=10)\n"
                                 "c.execute('BEGIN EXCLUSIVE')\n"
                                 "print('held', flush=True)\n"
                                 "time.sleep(14)\n"
                                 "c.execute('ROLLBACK')\n"),
                  dir.filePath(QStringLiteral("history.sqlite"))});
    QVERIFY(holder.waitForReadyRead(10000));
    QVERIFY(batch.waitForFinished(60000));
    const QString err = QString::fromUtf8(batch.readAllStandardError());
    QVERIFY2(batch.exitCode() == 1, qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("ジョブ %1").arg(job)), qPrintable(err));
    QVERIFY(readAll(settings) != kSettings);
    QVERIFY(holder.waitForFinished(30000));

    QJsonObject entry = recorded();
    QCOMPARE(entry.value(QStringLiteral("cups_job_id")).toInt(), job);
    QCOMPARE(entry.value(QStringLiteral("outcome")).toString(),
             corvial::outcomeWord(corvial::JobOutcome::Unfinished));
    tool(QStringLiteral("cancel"), {QStringLiteral("%1-%2").arg(mQueue).arg(job)});
    QVERIFY(QTest::qWaitFor(
        [&] { return newestJob(mQueue, QStringLiteral("not-completed")) < job; }, 20000));
    entry = recorded();
    QCOMPARE(entry.value(QStringLiteral("outcome")).toString(),
             corvial::outcomeWord(corvial::JobOutcome::Cancelled));
}

QTEST_MAIN(TestJobFollow)
#include "tst_jobfollow.moc"
