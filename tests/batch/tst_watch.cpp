// SPDX-License-Identifier: GPL-3.0-or-later
// The watched folder as a lab system meets it: real folders and inotify, the batch printer
// run as its service runs it, PDFs and result files read back, and the watcher killed at
// random while it works.
#include "history/HistoryLocation.h"
#include "history/HistoryStore.h"
#include "support/PdfProbe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvial;

namespace {

const QString kBatch = QStringLiteral(CORVIAL_BATCH);

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size(), qPrintable(path));
}

// A job of two numbered labels whose text names it.
QByteArray smallJob(int first, const QString &text)
{
    return QStringLiteral("{\"type\": 1, \"samples\": 2, \"first\": %1, \"text\": \"%2\"}")
        .arg(first)
        .arg(text)
        .toUtf8();
}

// Delivered as a writer should: written under a name the watcher leaves alone, then renamed.
void dropByRename(const QString &dir, const QString &name, const QByteArray &bytes)
{
    writeFile(dir + QStringLiteral("/.") + name + QStringLiteral(".tmp"), bytes);
    QVERIFY(QFile::rename(dir + QStringLiteral("/.") + name + QStringLiteral(".tmp"),
                          dir + QLatin1Char('/') + name));
}

QJsonObject resultOf(const QString &dir, const QString &folder, const QString &name)
{
    QFile f(QStringLiteral("%1/%2/%3.result.json").arg(dir, folder, name.chopped(5)));
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                       : QJsonObject();
}

// The job's result is written and the job moved beside it (the result comes first).
bool hasResult(const QString &dir, const QString &name)
{
    const QString result = name.chopped(5) + QStringLiteral(".result.json");
    struct stat st
    {
    };
    const bool moved =
        lstat(QFile::encodeName(dir + QLatin1Char('/') + name).constData(), &st) != 0;
    return moved && (QFile::exists(dir + QStringLiteral("/done/") + result) ||
                     QFile::exists(dir + QStringLiteral("/failed/") + result));
}

// The watcher as a process of its own, as its service unit runs it.
class Watcher
{
public:
    Watcher(const QString &dir, const QString &out, const QString &settings)
    {
        mProcess.setProcessChannelMode(QProcess::SeparateChannels);
        mProcess.start(kBatch, {QStringLiteral("--watch"), dir, QStringLiteral("--pdf-dir"), out,
                                QStringLiteral("--settings"), settings});
    }
    ~Watcher()
    {
        if (mProcess.state() != QProcess::NotRunning) {
            mProcess.kill();
            mProcess.waitForFinished(10000);
        }
    }
    // True once it watches the folder (it says so), so that a signal finds its handler.
    bool started()
    {
        return mProcess.waitForStarted(30000) && QTest::qWaitFor(
                                                     [this] {
                                                         mErr += mProcess.readAllStandardError();
                                                         return mErr.contains("を監視しています");
                                                     },
                                                     30000);
    }
    // True once every name has a result, within ms.
    bool waitForResults(const QString &dir, const QStringList &names, int ms = 60000)
    {
        return QTest::qWaitFor(
            [&] {
                for (const QString &name : names) {
                    if (!hasResult(dir, name))
                        return false;
                }
                return true;
            },
            ms);
    }
    // SIGTERM, then its exit status (-1 when it did not end on its own).
    int stop()
    {
        ::kill(pid_t(mProcess.processId()), SIGTERM);
        if (!mProcess.waitForFinished(30000) || mProcess.exitStatus() != QProcess::NormalExit)
            return -1;
        return mProcess.exitCode();
    }
    void killHard()
    {
        ::kill(pid_t(mProcess.processId()), SIGKILL);
        mProcess.waitForFinished(30000);
    }
    QString errorOutput() { return QString::fromUtf8(mErr + mProcess.readAllStandardError()); }
    QProcess &process() { return mProcess; }

private:
    QProcess mProcess;
    QByteArray mErr;
};

// Every record of the history beside settings, keyed by the job file it came from.
QMultiMap<QString, HistoryEntry> recordsByJobFile(const QString &settings)
{
    QMultiMap<QString, HistoryEntry> byFile;
    HistoryLocation location;
    QString error;
    HistoryStore store;
    if (!historyLocationForSettings(settings, &location, &error) ||
        !store.open(location, &error, HistoryOpenMode::ExistingOnly))
        return byFile;
    HistoryFilter all;
    all.limit = 100000;
    QList<HistoryEntry> entries;
    if (store.entries(all, &entries, &error))
        for (const HistoryEntry &e : entries)
            byFile.insert(QFileInfo(e.record.jobFile).fileName(), e);
    return byFile;
}

int printedCount(const QList<HistoryEntry> &entries)
{
    int n = 0;
    for (const HistoryEntry &e : entries)
        n += e.outcome == JobOutcome::Printed ? 1 : 0;
    return n;
}

} // namespace

class TestWatch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printsEachJobOnceInNameOrder();
    void refusals_data();
    void refusals();
    void refusedAtStart_data();
    void refusedAtStart();
    void killedAtRandomPrintsEachJobOnce();
    void cleanupTestCase();

private:
    // A folder, its output and a start.txt of their own.
    struct Place
    {
        QString in, out, settings;
    };
    Place makePlace(const QString &name);

    QTemporaryDir mRoot;
    Place mShared;
    std::unique_ptr<Watcher> mSharedWatcher;
};

TestWatch::Place TestWatch::makePlace(const QString &name)
{
    Place p{mRoot.filePath(name + QStringLiteral("/in")),
            mRoot.filePath(name + QStringLiteral("/out")),
            mRoot.filePath(name + QStringLiteral("/start.txt"))};
    QDir().mkpath(p.in);
    QDir().mkpath(p.out);
    QFile::copy(QStringLiteral(CORVIAL_DEFAULT_START), p.settings);
    QFile::setPermissions(p.settings, QFile::ReadOwner | QFile::WriteOwner);
    return p;
}

void TestWatch::initTestCase()
{
    QVERIFY(mRoot.isValid());
    mShared = makePlace(QStringLiteral("shared"));
    mSharedWatcher = std::make_unique<Watcher>(mShared.in, mShared.out, mShared.settings);
    QVERIFY(mSharedWatcher->started());
}

void TestWatch::cleanupTestCase()
{
    if (mSharedWatcher)
        QCOMPARE(mSharedWatcher->stop(), 0);
}

void TestWatch::printsEachJobOnceInNameOrder()
{
    const Place p = makePlace(QStringLiteral("order"));
    // Jobs that arrived together while no watcher ran: they print in name order.
    const QStringList waiting = {QStringLiteral("b.json"), QStringLiteral("a.json"),
                                 QStringLiteral("c.json")};
    for (int i = 0; i < waiting.size(); ++i)
        writeFile(p.in + QLatin1Char('/') + waiting[i],
                  smallJob(10 * (i + 1), waiting[i].left(1).toUpper()));
    Watcher watcher(p.in, p.out, p.settings);
    QVERIFY(watcher.started());
    // One renamed in, one written slowly in pieces: each is taken once whole.
    dropByRename(p.in, QStringLiteral("d.json"), smallJob(40, QStringLiteral("D")));
    const QByteArray slow = smallJob(50, QStringLiteral("E"));
    QFile e(p.in + QStringLiteral("/e.json"));
    QVERIFY(e.open(QIODevice::WriteOnly));
    for (int at = 0; at < slow.size(); at += 8) {
        e.write(slow.mid(at, 8));
        e.flush();
        QTest::qWait(150);
    }
    e.close();
    const QStringList all =
        waiting + QStringList{QStringLiteral("d.json"), QStringLiteral("e.json")};
    QVERIFY2(watcher.waitForResults(p.in, all), qPrintable(watcher.errorOutput()));

    // Read back: each PDF holds its own labels, the history ids follow the names, and each
    // job moved into done/ beside its result.
    qint64 lastId = 0;
    int nextPosition = 1;
    for (const QString &name : QStringList{"a.json", "b.json", "c.json"}) {
        const QJsonObject r = resultOf(p.in, QStringLiteral("done"), name);
        QCOMPARE(r.value("status").toString(), QStringLiteral("printed"));
        QVERIFY2(r.value("history_id").toInteger() > lastId, qPrintable(name));
        lastId = r.value("history_id").toInteger();
        QVERIFY(r.value("next_position").toInt() > nextPosition);
        nextPosition = r.value("next_position").toInt();
        QVERIFY(QFile::exists(p.in + QStringLiteral("/done/") + name));
    }
    for (const QString &name : all) {
        const QJsonObject r = resultOf(p.in, QStringLiteral("done"), name);
        const QString pdf = r.value("pdf").toString();
        QCOMPARE(pdf, p.out + QLatin1Char('/') + name.chopped(5) + QStringLiteral(".pdf"));
        const QString text = runTool(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-raw"), pdf, QStringLiteral("-")});
        QCOMPARE(text.count(name.left(1).toUpper()), 2);
        QVERIFY2(text.contains(r.value("first_number").toString()) &&
                     text.contains(r.value("last_number").toString()),
                 qPrintable(name + QLatin1Char(' ') + text));
    }
    QCOMPARE(QDir(p.in).entryList({QStringLiteral("*.json")}, QDir::Files), QStringList());

    // The same job handed in again is not printed again: its result comes from the record.
    const QFileInfo dPdf(p.out + QStringLiteral("/d.pdf"));
    const QDateTime printedAt = dPdf.lastModified();
    QVERIFY(QFile::remove(p.in + QStringLiteral("/done/d.result.json")));
    dropByRename(p.in, QStringLiteral("d.json"), smallJob(40, QStringLiteral("D")));
    QVERIFY(watcher.waitForResults(p.in, {QStringLiteral("d.json")}));
    const QJsonObject again = resultOf(p.in, QStringLiteral("done"), QStringLiteral("d.json"));
    QVERIFY(again.value("recovered").toBool());
    QCOMPARE(QFileInfo(p.out + QStringLiteral("/d.pdf")).lastModified(), printedAt);
    QCOMPARE(printedCount(recordsByJobFile(p.settings).values(QStringLiteral("d.json"))), 1);
    QCOMPARE(watcher.stop(), 0);
}

// Each way a job in the folder is refused: its result in failed/ with the reason a program
// reads, a message naming what was wrong, and nothing written in the output folder or
// anywhere else.
void TestWatch::refusals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("named");
    const QString escape = mRoot.filePath(QStringLiteral("escaped.pdf"));
    QTest::newRow("unknown key") << "file" << QByteArray(R"({"type": 1, "sampels": 2})") << "key"
                                 << "sampels";
    QTest::newRow("own pdf") << "file"
                             << QStringLiteral(
                                    R"({"type": 1, "samples": 1, "text": "A", "pdf": "%1"})")
                                    .arg(escape)
                                    .toUtf8()
                             << "key"
                             << "pdf";
    for (const char *key : {"printer", "settings", "history-db", "list", "text-file"})
        QTest::newRow(key) << "file"
                           << QStringLiteral(R"({"type": 1, "samples": 1, "%1": "%2"})")
                                  .arg(QLatin1String(key), escape)
                                  .toUtf8()
                           << "key" << QString::fromLatin1(key);
    QTest::newRow("no-history") << "file"
                                << QByteArray(R"({"type": 1, "samples": 1, "no-history": true})")
                                << "key"
                                << "no-history";
    QTest::newRow("xls path")
        << "file"
        << QStringLiteral(R"({"type": 1, "samples": 1, "xls": "%1.xls"})").arg(escape).toUtf8()
        << "key"
        << "xls";
    QTest::newRow("a string for a number")
        << "file" << QByteArray(R"({"type": 1, "samples": "2"})") << "value"
        << "samples";
    QTest::newRow("value out of range")
        << "file" << QByteArray(R"({"type": 1, "samples": 0})") << "value"
        << "samples";
    QTest::newRow("not json") << "file" << QByteArray("{\"type\": 1,") << "json"
                              << "";
    QTest::newRow("link to a job") << "link" << smallJob(1, QStringLiteral("L")) << "not-regular"
                                   << "";
    QTest::newRow("fifo") << "fifo" << QByteArray() << "not-regular"
                          << "";
    // A link planted at the result's name: the result replaces the link, not its target.
    QTest::newRow("result name planted as a link")
        << "planted" << QByteArray(R"({"type": 1, "sampels": 2})") << "key"
        << "sampels";
    QTest::newRow("over a MiB") << "file" << QByteArray(1024 * 1024 + 1, ' ') << "too-large"
                                << "";
    // A file owned by a user outside the watcher's user and group is not read; only root
    // can hand a file to another user.
    if (geteuid() == 0)
        QTest::newRow("foreign owner") << "foreign" << smallJob(1, QStringLiteral("F")) << "owner"
                                       << "";
}

void TestWatch::refusals()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QFETCH(QString, named);
    const QString name =
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')) +
        QStringLiteral(".json");
    const QString path = mShared.in + QLatin1Char('/') + name;
    if (kind == QLatin1String("link")) {
        writeFile(mRoot.filePath(QStringLiteral("elsewhere.json")), content);
        QVERIFY(QFile::link(mRoot.filePath(QStringLiteral("elsewhere.json")), path));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("foreign")) {
        writeFile(mRoot.filePath(QStringLiteral("foreign.tmp")), content);
        QCOMPARE(
            ::chown(QFile::encodeName(mRoot.filePath(QStringLiteral("foreign.tmp"))).constData(),
                    65534, 65534),
            0);
        QVERIFY(QFile::rename(mRoot.filePath(QStringLiteral("foreign.tmp")), path));
    } else {
        if (kind == QLatin1String("planted")) {
            writeFile(mRoot.filePath(QStringLiteral("victim")), "kept");
            QVERIFY(QFile::link(mRoot.filePath(QStringLiteral("victim")),
                                mShared.in + QStringLiteral("/failed/") + name.chopped(5) +
                                    QStringLiteral(".result.json")));
        }
        dropByRename(mShared.in, name, content);
    }
    QVERIFY2(mSharedWatcher->waitForResults(mShared.in, {name}),
             qPrintable(mSharedWatcher->errorOutput()));
    const QJsonObject r = resultOf(mShared.in, QStringLiteral("failed"), name);
    QCOMPARE(r.value("status").toString(), QStringLiteral("refused"));
    QCOMPARE(r.value("reason").toString(), reason);
    QVERIFY2(r.value("message").toString().contains(named),
             qPrintable(r.value("message").toString()));
    struct stat st
    {
    };
    QCOMPARE(
        lstat(QFile::encodeName(mShared.in + QStringLiteral("/failed/") + name).constData(), &st),
        0);
    QCOMPARE(QDir(mShared.out).entryList(QDir::Files | QDir::System | QDir::Hidden), QStringList());
    QVERIFY(!QFile::exists(mRoot.filePath(QStringLiteral("escaped.pdf"))));
    QVERIFY(!QFile::exists(mRoot.filePath(QStringLiteral("escaped.pdf.xls"))));
    if (kind == QLatin1String("planted")) {
        QFile victim(mRoot.filePath(QStringLiteral("victim")));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("kept"));
    }
}

// What a watcher refuses before it takes any job, exit 2 and printing nothing: the folder
// or the start.txt another one holds, and an option every job would be refused for.
void TestWatch::refusedAtStart_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    const Place other = makePlace(QStringLiteral("second"));
    QTest::newRow("the folder of another")
        << QStringList{"--watch", mShared.in, "--pdf-dir", other.out, "--settings", other.settings}
        << "別の監視が使っています";
    // Whoever holds it is named: a user looking for a second window would find none.
    QTest::newRow("the start.txt of another")
        << QStringList{"--watch", other.in, "--pdf-dir", other.out, "--settings", mShared.settings}
        << "corvial-batch が使用中";
    QTest::newRow("a resolution no job may have")
        << QStringList{"--watch",    other.in,       "--pdf-dir",    other.out,
                       "--settings", other.settings, "--resolution", "5"}
        << "--resolution";
}

void TestWatch::refusedAtStart()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    QProcess second;
    second.start(kBatch, args);
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 2);
    const QString told = QString::fromUtf8(second.readAllStandardError());
    QVERIFY2(told.contains(said), qPrintable(told));
}

// Jobs waiting, the watcher killed at random moments and started again: in the end every
// job has exactly one result, and the history holds one printed record for each job in
// done/ and none for any other.
void TestWatch::killedAtRandomPrintsEachJobOnce()
{
    const Place p = makePlace(QStringLiteral("kills"));
    constexpr int Jobs = 200;
    QStringList names;
    for (int i = 0; i < Jobs; ++i) {
        names << QStringLiteral("job%1.json").arg(i, 3, 10, QLatin1Char('0'));
        dropByRename(p.in, names.last(), smallJob(i, QStringLiteral("K")));
    }
    QRandomGenerator random(20261209);
    for (int kill = 0; kill < 50; ++kill) {
        Watcher watcher(p.in, p.out, p.settings);
        // Now and then while it starts (the locks, the history), mostly while it prints.
        if (random.bounded(4) == 0)
            QVERIFY(watcher.process().waitForStarted(30000));
        else
            QVERIFY(watcher.started());
        QTest::qWait(int(random.bounded(0, 300)));
        watcher.killHard();
    }
    Watcher last(p.in, p.out, p.settings);
    QVERIFY(last.started());
    QVERIFY2(last.waitForResults(p.in, names, 180000), qPrintable(last.errorOutput()));
    QCOMPARE(last.stop(), 0);

    const QMultiMap<QString, HistoryEntry> records = recordsByJobFile(p.settings);
    int done = 0;
    for (const QString &name : names) {
        const bool printed = QFile::exists(p.in + QStringLiteral("/done/") + name);
        const bool failed = QFile::exists(p.in + QStringLiteral("/failed/") + name);
        QVERIFY2(printed != failed, qPrintable(name));
        QCOMPARE(printedCount(records.values(name)), printed ? 1 : 0);
        if (failed)
            QCOMPARE(resultOf(p.in, QStringLiteral("failed"), name).value("status").toString(),
                     QStringLiteral("interrupted"));
        done += printed ? 1 : 0;
    }
    qInfo("%d printed, %d interrupted by the kills", done, Jobs - done);
    QVERIFY(done > 0);
    QCOMPARE(QDir(p.in).entryList({QStringLiteral("*.json")}, QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"
