// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/JobFolder.h"
#include "watch/JobResult.h"
#include "watch/ReadyJobs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvial;

class TestWatchRules : public QObject
{
    Q_OBJECT
private slots:
    void readiness_data();
    void readiness();
    void hostileJobFiles_data();
    void hostileJobFiles();
    void earlierAttempts_data();
    void earlierAttempts();
};

// Two looks at one file, 600 ms apart by both clocks: written (ms before the first look,
// -1: not written since) and whether it was renamed in, then whether each look takes it.
void TestWatchRules::readiness_data()
{
    QTest::addColumn<qint64>("writtenAgo");
    QTest::addColumn<bool>("renamedIn");
    QTest::addColumn<bool>("changedBetween");
    QTest::addColumn<bool>("firstLook");
    QTest::addColumn<bool>("secondLook");
    QTest::newRow("renamed in, fresh") << qint64(0) << true << false << true << true;
    QTest::newRow("written long ago") << qint64(5000) << false << false << true << true;
    QTest::newRow("just written") << qint64(100) << false << false << false << false;
    QTest::newRow("quiet by the second look") << qint64(500) << false << false << false << true;
    QTest::newRow("still being written") << qint64(500) << false << true << false << false;
    // A writer that renames a file in and then goes on writing it is not done.
    QTest::newRow("renamed in, then written") << qint64(0) << true << true << true << false;
    // The file server's clock runs ahead: the watcher's own second decides.
    QTest::newRow("stamped in the future") << qint64(-60000) << false << false << false << false;
}

void TestWatchRules::readiness()
{
    QFETCH(qint64, writtenAgo);
    QFETCH(bool, renamedIn);
    QFETCH(bool, changedBetween);
    QFETCH(bool, firstLook);
    QFETCH(bool, secondLook);
    const qint64 wall = 1'700'000'000'000;
    const QString name = QStringLiteral("0001.json");
    ReadyJobs ready;
    if (renamedIn)
        ready.movedIn(name);
    QMap<QString, FileStamp> present{{name, FileStamp{10, wall - writtenAgo}}};
    qint64 retry = 0;
    QCOMPARE(ready.look(present, wall, 5000, &retry).contains(name), firstLook);
    QVERIFY(firstLook || (retry > 0 && retry <= SettleMs));
    if (changedBetween) {
        ready.changed(name);
        present[name] = FileStamp{20, wall + 550};
    }
    QCOMPARE(ready.look(present, wall + 600, 5600, &retry).contains(name), secondLook);
    // However the clocks disagree, a file left alone is taken within a second of the
    // watcher's own time.
    QVERIFY(ready.look(present, wall + 600, 5600 + SettleMs, &retry).contains(name));
}

// Every kind of file a folder may hold instead of a job, and each is refused without being
// read (a FIFO's open would block, a link would read a file elsewhere).
void TestWatchRules::hostileJobFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("problem");
    QTest::newRow("job") << "job" << int(JobFileRead::None);
    QTest::newRow("link to a job") << "link" << int(JobFileRead::NotRegular);
    QTest::newRow("dangling link") << "dangling" << int(JobFileRead::NotRegular);
    QTest::newRow("fifo") << "fifo" << int(JobFileRead::NotRegular);
    QTest::newRow("folder") << "folder" << int(JobFileRead::NotRegular);
    QTest::newRow("link to a device") << "device" << int(JobFileRead::NotRegular);
    QTest::newRow("over the bound") << "large" << int(JobFileRead::TooLarge);
    QTest::newRow("gone") << "gone" << int(JobFileRead::Unreadable);
}

void TestWatchRules::hostileJobFiles()
{
    QFETCH(QString, kind);
    QFETCH(int, problem);
    QTemporaryDir dir;
    const QString job = dir.filePath(QStringLiteral("real.json"));
    const QByteArray content = "{\"type\": 1}";
    QFile file(job);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    const QString path = dir.filePath(QStringLiteral("x.json"));
    const QByteArray p = QFile::encodeName(path);
    if (kind == QLatin1String("job") || kind == QLatin1String("large"))
        QVERIFY(QFile::copy(job, path));
    else if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(job, path));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("none")), path));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(mkfifo(p.constData(), 0600), 0);
    else if (kind == QLatin1String("folder"))
        QCOMPARE(mkdir(p.constData(), 0700), 0);
    else if (kind == QLatin1String("device"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path)); // a link to one: not followed
    const JobFileRead read = readJobFile(path, kind == QLatin1String("large") ? 4 : 1024);
    QCOMPARE(int(read.problem), problem);
    QCOMPARE(read.bytes, problem == JobFileRead::None ? content : QByteArray());
    QCOMPARE(read.reason.isEmpty(), problem == JobFileRead::None);
}

// The newest attempt first, as the history gives them: what each mix means for the job.
void TestWatchRules::earlierAttempts_data()
{
    QTest::addColumn<QList<int>>("outcomes");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("entry"); // index of the attempt that decides
    using O = JobOutcome;
    QTest::newRow("never begun") << QList<int>{} << int(EarlierAttempt::None) << -1;
    QTest::newRow("printed") << QList<int>{int(O::Printed)} << int(EarlierAttempt::Printed) << 0;
    QTest::newRow("waiting in the queue")
        << QList<int>{int(O::Waiting)} << int(EarlierAttempt::Printed) << 0;
    QTest::newRow("killed while printing")
        << QList<int>{int(O::Unfinished)} << int(EarlierAttempt::Interrupted) << 0;
    QTest::newRow("an outcome of a newer program")
        << QList<int>{int(O::Unknown)} << int(EarlierAttempt::Interrupted) << 0;
    QTest::newRow("failed") << QList<int>{int(O::Failed)} << int(EarlierAttempt::NotPrinted) << 0;
    QTest::newRow("cancelled after a failure")
        << QList<int>{int(O::Cancelled), int(O::Failed)} << int(EarlierAttempt::NotPrinted) << 0;
    // Once it went out, nothing after it may print it again.
    QTest::newRow("printed, then an attempt interrupted")
        << QList<int>{int(O::Unfinished), int(O::Printed)} << int(EarlierAttempt::Printed) << 1;
}

void TestWatchRules::earlierAttempts()
{
    QFETCH(QList<int>, outcomes);
    QFETCH(int, kind);
    QFETCH(int, entry);
    QList<HistoryEntry> attempts;
    for (int i = 0; i < outcomes.size(); ++i) {
        HistoryEntry e;
        e.id = 100 - i;
        e.outcome = JobOutcome(outcomes[i]);
        attempts << e;
    }
    const EarlierAttempt earlier = earlierAttempt(attempts);
    QCOMPARE(int(earlier.kind), kind);
    QCOMPARE(earlier.entry.id, entry < 0 ? qint64(0) : attempts[entry].id);
}

QTEST_GUILESS_MAIN(TestWatchRules)
#include "tst_watchrules.moc"
