// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryNumbers.h"
#include "history/HistoryStore.h"
#include "history/WaitingJobs.h"

#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvial;

class TestWaitingJobs : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

private slots:
    void sampleRangeByPrintedNumbers_data();
    void sampleRangeByPrintedNumbers();
    void endedJobsAreMarkedOnce();
};

void TestWaitingJobs::sampleRangeByPrintedNumbers_data()
{
    QTest::addColumn<int>("firstNumber");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("firstIndex"); // -1: refused
    QTest::addColumn<int>("lastIndex");
    QTest::newRow("whole job") << 100 << 5 << 100 << 104 << 0 << 4;
    QTest::newRow("inside") << 100 << 5 << 101 << 103 << 1 << 3;
    QTest::newRow("one sample") << 100 << 5 << 104 << 104 << 4 << 4;
    QTest::newRow("across the wrap") << 9998 << 4 << 9999 << 1 << 1 << 3;
    QTest::newRow("after the wrap") << 9998 << 4 << 0 << 1 << 2 << 3;
    QTest::newRow("wrapped backwards") << 9998 << 4 << 1 << 9999 << -1 << -1;
    QTest::newRow("last before first") << 100 << 5 << 103 << 101 << -1 << -1;
    QTest::newRow("past the job") << 100 << 5 << 101 << 105 << -1 << -1;
    QTest::newRow("before the job") << 100 << 5 << 99 << 101 << -1 << -1;
    QTest::newRow("no such number") << 9998 << 4 << 9999 << 10000 << -1 << -1;
    QTest::newRow("negative") << 0 << 4 << -1 << 2 << -1 << -1;
    QTest::newRow("every number") << 0 << HistoryNumberWrap << 0 << HistoryNumberWrap - 1 << 0
                                  << HistoryNumberWrap - 1;
}

void TestWaitingJobs::sampleRangeByPrintedNumbers()
{
    QFETCH(int, firstNumber);
    QFETCH(int, samples);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, firstIndex);
    QFETCH(int, lastIndex);
    HistoryRecord r;
    r.sheetType = 1;
    r.firstNumber = firstNumber;
    r.samples = samples;
    int a = -7;
    int b = -7;
    QString error;
    const bool ok = sampleRange(r, first, last, &a, &b, &error);
    QCOMPARE(ok, firstIndex >= 0);
    if (ok) {
        QCOMPARE(a, firstIndex);
        QCOMPARE(b, lastIndex);
        // The indices name the very numbers asked for.
        QCOMPARE(recordSampleNumber(r, a), first);
        QCOMPARE(recordSampleNumber(r, b), last);
    } else {
        QVERIFY(!error.isEmpty());
    }
}

// Jobs left waiting, and one whose completion was lost after it was sent, are asked about in
// one request per run; only those the queue ended without printing on their own queue get a
// later event, and nothing else changes.
void TestWaitingJobs::endedJobsAreMarkedOnce()
{
    QVERIFY(mDir.isValid());
    HistoryLocation where;
    where.filePath = mDir.filePath(QStringLiteral("waiting.sqlite"));
    HistoryStore store;
    QString error;
    QVERIFY2(store.open(where, &error), qPrintable(error));

    const QString host = QStringLiteral("lab-pc-1");
    const QString server = QStringLiteral("/run/cups/cups.sock");
    // cups id -> what the queue says; 0 stands for a job sent without a known id, 35 for one
    // CUPS no longer knows, 36 for one sent whose completion was never written, 37 for the
    // same id on another queue.
    const QMap<int, QueuedJobLook> queue = {
        {31, {QueuedJobState::Aborted, QStringLiteral("紙詰まり"), QStringLiteral("lab")}},
        {32, {QueuedJobState::Cancelled, QString(), QStringLiteral("Lab")}},
        {33, {QueuedJobState::Printed, QString(), QStringLiteral("Lab")}},
        {34, {QueuedJobState::NotEnded, QString(), QStringLiteral("Lab")}},
        {36, {QueuedJobState::Aborted, QStringLiteral("止まりました"), QStringLiteral("Lab")}},
        {37, {QueuedJobState::Aborted, QString(), QStringLiteral("Other")}},
    };
    QMap<int, qint64> ids;
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    int n = 0;
    for (int cups : {0, 31, 32, 33, 34, 35, 36, 37}) {
        HistoryRecord r;
        r.startedUtc = start.addSecs(60 * n++);
        r.user = QStringLiteral("u%1").arg(cups);
        r.host = host;
        r.queue = QStringLiteral("Lab");
        r.cupsServer = server;
        r.sheetType = 1;
        r.firstNumber = 9998;
        r.samples = 3;
        r.numberStyle = QStringLiteral("padded");
        ids[cups] = store.begin(r, &error);
        QVERIFY2(ids[cups] > 0, qPrintable(error));
        QVERIFY2(cups == 36 ? store.markSent(ids[cups], cups, &error)
                            : store.finish(ids[cups], JobOutcome::Waiting, QString(), cups, &error),
                 qPrintable(error));
    }

    QList<int> asked;
    int requests = 0;
    const auto lookup = [&](const QList<QueuedJob> &jobs) {
        ++requests;
        QMap<int, QueuedJobLook> looks;
        for (const QueuedJob &job : jobs) {
            asked << job.cupsJobId;
            if (queue.contains(job.cupsJobId))
                looks.insert(job.cupsJobId, queue.value(job.cupsJobId));
        }
        return looks;
    };
    const WaitingRecheck first = recheckWaitingJobs(store, host, server, lookup);
    QVERIFY2(first.errors.isEmpty(), qPrintable(first.errors.join('\n')));
    std::sort(asked.begin(), asked.end());
    QCOMPARE(requests, 1);
    QCOMPARE(asked, (QList<int>{31, 32, 33, 34, 35, 36, 37}));
    QCOMPARE(first.ended.size(), 3);

    const QMap<int, JobOutcome> expected = {
        {0, JobOutcome::Waiting},  {31, JobOutcome::Aborted}, {32, JobOutcome::Cancelled},
        {33, JobOutcome::Waiting}, {34, JobOutcome::Waiting}, {35, JobOutcome::Waiting},
        {36, JobOutcome::Aborted}, {37, JobOutcome::Waiting},
    };
    for (auto it = ids.cbegin(); it != ids.cend(); ++it) {
        HistoryEntry stored;
        QVERIFY2(store.entry(it.value(), &stored, &error), qPrintable(error));
        QCOMPARE(stored.outcome, expected.value(it.key()));
        if (it.key() == 31 || it.key() == 36)
            QCOMPARE(stored.reason, queue.value(it.key()).reason);
        if (it.key() == 32) // a cancellation without words still says something
            QVERIFY(!stored.reason.isEmpty());
    }

    // The notice names the ended jobs and their numbers across the wrap, and no other job.
    const QString notice = unprintedJobsNotice(first.ended);
    const QString numbers = recordNumbersText(first.ended.first().record);
    QVERIFY2(notice.contains(numbers) && numbers.contains(QStringLiteral("9998")) &&
                 numbers.contains(QStringLiteral("0000")),
             qPrintable(notice));
    for (int cups : {31, 32, 36})
        QVERIFY(notice.contains(QStringLiteral("ジョブ %1").arg(cups)));
    for (int cups : {33, 34, 35, 37})
        QVERIFY(!notice.contains(QStringLiteral("ジョブ %1").arg(cups)));
    QVERIFY(notice.contains(QStringLiteral("印刷履歴")));

    asked.clear();
    const WaitingRecheck second = recheckWaitingJobs(store, host, server, lookup);
    QVERIFY(second.errors.isEmpty());
    QVERIFY(second.ended.isEmpty());
    QVERIFY(!asked.contains(31) && !asked.contains(32) && !asked.contains(36));
    QVERIFY(unprintedJobsNotice(second.ended).isEmpty());

    // A server that does not answer is told once, not once per job.
    const WaitingRecheck silent =
        recheckWaitingJobs(store, host, server, [&](const QList<QueuedJob> &jobs) {
            QMap<int, QueuedJobLook> looks;
            for (const QueuedJob &job : jobs)
                looks.insert(job.cupsJobId, {QueuedJobState::NoAnswer,
                                             QStringLiteral("接続できません"), QString()});
            return looks;
        });
    QVERIFY(silent.ended.isEmpty());
    QCOMPARE(silent.errors.size(), 1);
    QVERIFY(silent.errors.first().contains(QStringLiteral("接続できません")));
}

QTEST_GUILESS_MAIN(TestWaitingJobs)
#include "tst_waitingjobs.moc"
