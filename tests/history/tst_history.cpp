// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryExport.h"
#include "history/HistoryListing.h"
#include "history/HistoryLocation.h"
#include "history/HistoryStore.h"
#include "history/LastJob.h"
#include "history/WaitingJobs.h"

#include "files/SafeFile.h"
#include "job/SheetTypes.h"
#include "support/TextFiles.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvial;

namespace {

// The first sheet type of the table that prints numbers (or not).
int firstTypeNumbered(bool numbered)
{
    for (const SheetType type : SheetType::all()) {
        if (type.info().numbered == numbered)
            return type.code();
    }
    return 0;
}

const QStringList kBackends = {QStringLiteral("sqlite"), QStringLiteral("postgresql")};

// Turns a history into one written before records kept their print server and job file.
const char *const kToOlderSchema[] = {
    "DROP INDEX jobs_by_job_file", "ALTER TABLE jobs DROP COLUMN cups_server",
    "ALTER TABLE jobs DROP COLUMN job_file", "ALTER TABLE jobs DROP COLUMN job_sha256"};

// Every field away from its default, texts with the characters storage and quoting trip
// over, so a field that is not written or not read back shows.
HistoryRecord fullRecord(const QString &user, const QDateTime &started)
{
    HistoryRecord r;
    r.startedUtc = started;
    r.user = user;
    r.host = QStringLiteral("lab-pc-3");
    r.program = QStringLiteral("corvial-batch");
    r.sheetType = 7;
    r.samples = 3;
    r.repeat = 2;
    r.firstNumber = 9998;
    r.numberStyle = QStringLiteral("plain");
    r.startPosition = 4;
    r.labels = 6;
    r.sheets = 2;
    r.nextPosition = 10;
    r.nextNumber = 1;
    r.queue = QStringLiteral("Lab_Printer");
    r.cupsServer = QStringLiteral("127.0.0.1:631");
    r.pdfPath = QStringLiteral("/tmp/出力,\"a\".pdf");
    r.sampleTexts = {QStringLiteral("血液, \"A\""), QStringLiteral("1行目\r\n2行目"),
                     QStringLiteral("C:\\n\\x")};
    r.listFile = QStringLiteral("一覧.xlsx");
    r.listSha256 = QString(64, QLatin1Char('e'));
    r.jobFile = QStringLiteral("/srv/ジョブ/a,\"b\".job");
    r.jobSha256 = QString(64, QLatin1Char('f'));
    r.marker = QStringLiteral("★");
    r.textColour = 5;
    r.backColour = 3;
    r.frame = true;
    r.alignment = QStringLiteral("right");
    r.fontFamily = QStringLiteral("IPAGothic");
    r.fontPoints = 10.5;
    r.fontStyle = QStringLiteral("bold italic");
    r.code = true;
    r.codePrefix = QStringLiteral("LAB-");
    return r;
}

// The sample_texts cell as its documented form decodes: one line per sample, "\n", "\r", "\\".
QStringList decodeSampleCell(const QString &cell)
{
    QStringList texts;
    for (const QString &line : cell.split(QLatin1Char('\n'))) {
        QString text;
        for (int i = 0; i < line.size(); ++i) {
            if (line.at(i) == QLatin1Char('\\') && i + 1 < line.size())
                text += QString(line.at(++i)).replace('n', '\n').replace('r', '\r');
            else
                text += line.at(i);
        }
        texts << text;
    }
    return texts;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    int mPgPort = 0;
    int mCount = 0;

    // A new, empty history: an SQLite file in the temporary folder, or a new database on
    // the suite's server.
    HistoryLocation fresh(const QString &backend)
    {
        HistoryLocation loc;
        const QString name =
            QStringLiteral("h%1_%2").arg(QCoreApplication::applicationPid()).arg(++mCount);
        if (backend == QLatin1String("sqlite")) {
            loc.filePath = mDir.filePath(name + QStringLiteral(".sqlite"));
            return loc;
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(mPgPort);
            db.setUserName(QStringLiteral("postgres"));
            db.setDatabaseName(QStringLiteral("postgres"));
            QSqlQuery create(db);
            if (!db.open() || !create.exec(QStringLiteral("CREATE DATABASE ") + name))
                qFatal("cannot create a database: %s %s", qPrintable(db.lastError().text()),
                       qPrintable(create.lastError().text()));
        }
        QSqlDatabase::removeDatabase(name);
        loc.kind = HistoryLocation::Kind::PostgreSql;
        loc.user = QStringLiteral("postgres");
        loc.host = QStringLiteral("127.0.0.1");
        loc.port = mPgPort;
        loc.database = name;
        return loc;
    }

    // A connection of the test's own to loc, beside any store's; name it with connectionName.
    static QSqlDatabase rawConnection(const HistoryLocation &loc, const QString &connectionName)
    {
        const bool sqlite = loc.kind == HistoryLocation::Kind::SqliteFile;
        QSqlDatabase db = QSqlDatabase::addDatabase(
            sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), connectionName);
        if (sqlite) {
            db.setDatabaseName(loc.filePath);
        } else {
            db.setHostName(loc.host);
            db.setPort(loc.port);
            db.setUserName(loc.user);
            db.setDatabaseName(loc.database);
        }
        if (!db.open())
            qFatal("cannot connect: %s", qPrintable(db.lastError().text()));
        return db;
    }

    // The one number statement gives on loc, -1 when it fails.
    static qint64 number(const HistoryLocation &loc, const QString &statement)
    {
        qint64 n = -1;
        {
            QSqlDatabase db = rawConnection(loc, QStringLiteral("number"));
            QSqlQuery q(db);
            if (q.exec(statement) && q.next())
                n = q.value(0).toLongLong();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("number"));
        return n;
    }

    // Runs statement on loc; false when it fails.
    static bool run(const HistoryLocation &loc, const QString &statement)
    {
        bool ok = false;
        {
            QSqlDatabase db = rawConnection(loc, QStringLiteral("run"));
            ok = QSqlQuery(db).exec(statement);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("run"));
        return ok;
    }

    static QString locationValue(const HistoryLocation &loc)
    {
        if (loc.kind == HistoryLocation::Kind::SqliteFile)
            return loc.filePath;
        return QStringLiteral("postgresql://%1@%2:%3/%4")
            .arg(loc.user, loc.host)
            .arg(loc.port)
            .arg(loc.database);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        QFile portFile(qEnvironmentVariable("CORVIAL_PG_PORT_FILE"));
        QVERIFY2(portFile.open(QIODevice::ReadOnly), "the PostgreSQL fixture did not start");
        mPgPort = portFile.readAll().trimmed().toInt();
        QVERIFY(mPgPort > 0);
    }

    void outcomeIsLatestEvent_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QStringList>("events"); // "finish|outcome|reason|cups id" or "later|..."
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("cupsJobId");
        const QString gone = QStringLiteral("キューから取り消されました");
        const QString down = QStringLiteral("プリンターが応答しません");
        for (const QString &b : kBackends) {
            auto row = [&](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(b + '/' + name));
            };
            row("killed before the end") << b << QStringList() << "unfinished"
                                         << "" << 0;
            row("printed") << b << QStringList{"finish|printed||17"} << "printed"
                           << "" << 17;
            row("waiting") << b << QStringList{"finish|waiting||18"} << "waiting"
                           << "" << 18;
            row("cancelled later")
                << b << QStringList{"finish|waiting||19", "later|cancelled|" + gone} << "cancelled"
                << gone << 19;
            row("failed") << b << QStringList{"finish|failed|" + down + "|0"} << "failed" << down
                          << 0;
            row("sent, completion lost") << b << QStringList{"sent|unfinished||23"} << "unfinished"
                                         << "" << 23;
            row("sent, then printed")
                << b << QStringList{"sent|unfinished||24", "finish|printed||24"} << "printed"
                << "" << 24;
            row("sent, cancelled later")
                << b << QStringList{"sent|unfinished||25", "later|cancelled|" + gone} << "cancelled"
                << gone << 25;
            // Only a job still followed is ended after the fact.
            row("later after printed")
                << b << QStringList{"finish|printed||26", "later|aborted|" + down} << "printed"
                << "" << 26;
        }
    }
    void outcomeIsLatestEvent()
    {
        QFETCH(QString, backend);
        QFETCH(QStringList, events);
        QFETCH(QString, outcome);
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(fresh(backend), &error), qPrintable(error));
        const QDateTime started =
            QDateTime::fromString("2026-03-01T08:15:30.125Z", Qt::ISODateWithMs);
        const qint64 original =
            store.begin(fullRecord(QStringLiteral("first"), started.addDays(-1)), &error);
        QVERIFY2(original > 0, qPrintable(error));
        HistoryRecord record = fullRecord(QStringLiteral("佐藤"), started);
        record.reprintOf = original;
        const qint64 id = store.begin(record, &error);
        QVERIFY2(id > 0, qPrintable(error));
        for (const QString &event : events) {
            const QStringList f = event.split(QLatin1Char('|'));
            JobOutcome o;
            QVERIFY(outcomeFromWord(f.at(1), &o));
            QVERIFY2(f.at(0) == QLatin1String("finish")
                         ? store.finish(id, o, f.at(2), f.value(3).toInt(), &error)
                     : f.at(0) == QLatin1String("sent")
                         ? store.markSent(id, f.value(3).toInt(), &error)
                         : store.markLater(id, o, f.at(2), &error),
                     qPrintable(error));
        }
        HistoryEntry e;
        QVERIFY2(store.entry(id, &e, &error), qPrintable(error));
        QCOMPARE(e.record, record);
        QCOMPARE(outcomeWord(e.outcome), outcome);
        QTEST(e.reason, "reason");
        QTEST(e.cupsJobId, "cupsJobId");
        QCOMPARE(e.outcomeUtc.isValid(), !events.isEmpty());
        // The attempts of its job file: it, as entry() gives it, then the original, begun and
        // never finished; not the same bytes in another file, nor the file with other bytes.
        HistoryRecord copy = record, edited = record;
        copy.jobFile += QStringLiteral(".copy");
        edited.jobSha256 = QString(64, QLatin1Char('0'));
        QVERIFY2(store.begin(copy, &error) > 0 && store.begin(edited, &error) > 0,
                 qPrintable(error));
        QList<HistoryEntry> tries;
        QVERIFY2(store.entriesOfJobFile(record.jobFile, record.jobSha256, &tries, &error),
                 qPrintable(error));
        QCOMPARE(tries.size(), 2);
        QVERIFY(tries.at(0).id == id && tries.at(0).outcome == e.outcome &&
                tries.at(0).cupsJobId == e.cupsJobId && tries.at(0).record == record);
        QVERIFY(tries.at(1).id == original && tries.at(1).outcome == JobOutcome::Unfinished);
        QList<HistoryEntry> waiting;
        QVERIFY2(store.waitingEntries(&waiting, &error), qPrintable(error));
        QCOMPARE(waiting.size(), outcome == QLatin1String("waiting") ? 1 : 0);
    }

    void filters_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<int>("sinceDay"); // -1: any time
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("found"); // users of the entries, newest first
        for (const QString &b : kBackends) {
            auto row = [&](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(b + '/' + name));
            };
            row("all, newest first") << b << -1 << -1 << "" << 100 << "CBA";
            row("limit") << b << -1 << -1 << "" << 2 << "CB";
            row("number after 9999 wraps to 0") << b << -1 << 0 << "" << 100 << "CA";
            row("last number of the wrap") << b << -1 << 9999 << "" << 100 << "A";
            row("number past the last sample") << b << -1 << 7 << "" << 100 << "";
            row("first number") << b << -1 << 5 << "" << 100 << "B";
            row("text in one sample") << b << -1 << -1 << "B-1" << 100 << "A";
            row("text in another case") << b << -1 << -1 << "AB-2" << 100 << "";
            row("percent is a character") << b << -1 << -1 << "%" << 100 << "A";
            row("underscore is a character") << b << -1 << -1 << "_" << 100 << "C";
            row("second line of a sample") << b << -1 << -1 << "第2行" << 100 << "C";
            row("since") << b << 1 << -1 << "" << 100 << "CB";
            row("since and number") << b << 1 << 0 << "" << 100 << "C";
        }
    }
    void filters()
    {
        QFETCH(QString, backend);
        QFETCH(int, sinceDay);
        QFETCH(int, limit);
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(fresh(backend), &error), qPrintable(error));
        const QDateTime day0 = QDateTime(QDate(2026, 1, 10), QTime(9, 0), Qt::UTC);
        struct Job
        {
            const char *user;
            int first, samples;
            QStringList texts;
        };
        const Job jobs[] = {{"A", 9998, 3, {"AB-1", "ab-2", "x%y"}},
                            {"B", 5, 2, {"血液 A", "血液 B"}},
                            {"C", 0, 1, {"C_1\n第2行"}}};
        for (int day = 0; day < 3; ++day) {
            HistoryRecord r = fullRecord(QString::fromLatin1(jobs[day].user), day0.addDays(day));
            r.sheetType = firstTypeNumbered(true);
            r.firstNumber = jobs[day].first;
            r.samples = jobs[day].samples;
            r.sampleTexts = jobs[day].texts;
            QVERIFY2(store.begin(r, &error) > 0, qPrintable(error));
        }
        HistoryFilter filter;
        if (sinceDay >= 0)
            filter.since = day0.addDays(sinceDay);
        QFETCH(int, number);
        filter.sampleNumber = number;
        QFETCH(QString, text);
        filter.text = text;
        filter.limit = limit;
        QList<HistoryEntry> found;
        bool more = false;
        QVERIFY2(store.entries(filter, &found, &error, &more), qPrintable(error));
        QString users;
        for (const HistoryEntry &e : found)
            users += e.record.user;
        QTEST(users, "found");
        QCOMPARE(more, limit < 3);
    }

    void lastJobOfAType_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("newer"); // outcome word of the newer job; "" none written
        QTest::addColumn<bool>("reprint");  // the newer job prints the older one again
        QTest::addColumn<int>("newerType"); // 0: the type asked for
        QTest::addColumn<QString>("shown"); // "" when no job is found
        QTest::addColumn<int>("next");
        const int other = firstTypeNumbered(false);
        for (const QString &b : kBackends) {
            auto row = [&](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(b + '/' + name));
            };
            row("printed, numbers past 9999") << b << "printed" << false << 0 << "前回 9995–4" << 5;
            row("left waiting") << b << "waiting" << false << 0 << "前回 9995–4" << 5;
            row("failed is passed over") << b << "failed" << false << 0 << "前回 0562–0573" << 574;
            row("cancelled is passed over")
                << b << "cancelled" << false << 0 << "前回 0562–0573" << 574;
            row("never finished is passed over")
                << b << "" << false << 0 << "前回 0562–0573" << 574;
            row("a reprint is passed over")
                << b << "printed" << true << 0 << "前回 0562–0573" << 574;
            row("another type's job")
                << b << "printed" << false << other << "前回 0562–0573" << 574;
        }
    }
    // The newest job of the type that went out gives the numbers it printed and the next one,
    // read back from a real history; an older printed job stands when the newer one does not.
    void lastJobOfAType()
    {
        QFETCH(QString, backend);
        QFETCH(QString, newer);
        QFETCH(bool, reprint);
        QFETCH(int, newerType);
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(fresh(backend), &error), qPrintable(error));
        const SheetType type = *SheetType::fromCode(firstTypeNumbered(true));
        const QDateTime t0 = QDateTime(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC);
        HistoryRecord older = fullRecord(QStringLiteral("older"), t0);
        older.sheetType = type.code();
        older.firstNumber = 562;
        older.samples = 12;
        older.nextNumber = 574;
        older.numberStyle = QStringLiteral("padded");
        older.sampleTexts = QStringList(older.samples, QStringLiteral("x"));
        const qint64 olderId = store.begin(older, &error);
        QVERIFY2(olderId > 0 && store.finish(olderId, JobOutcome::Printed, {}, 0, &error),
                 qPrintable(error));
        HistoryRecord later = fullRecord(QStringLiteral("newer"), t0.addSecs(60));
        later.sheetType = newerType > 0 ? newerType : type.code();
        later.firstNumber = 9995;
        later.samples = 10;
        later.nextNumber = 5;
        later.numberStyle = QStringLiteral("plain");
        later.sampleTexts = QStringList(later.samples, QStringLiteral("y"));
        later.reprintOf = reprint ? olderId : 0;
        const qint64 laterId = store.begin(later, &error);
        QVERIFY2(laterId > 0, qPrintable(error));
        JobOutcome outcome = JobOutcome::Unfinished;
        if (!newer.isEmpty()) {
            QVERIFY(outcomeFromWord(newer, &outcome));
            QVERIFY2(store.finish(laterId, outcome, {}, 0, &error), qPrintable(error));
        }

        LastJob last;
        QVERIFY2(lastJobOfType(store, type, &last, &error), qPrintable(error));
        QVERIFY(last.found);
        QTEST(lastJobText(last), "shown");
        QTEST(last.nextNumber, "next");
        QCOMPARE(last.id, lastJobText(last).contains(QStringLiteral("9995")) ? laterId : olderId);
        QVERIFY2(
            lastJobOfType(store, *SheetType::fromCode(firstTypeNumbered(false)), &last, &error),
            qPrintable(error));
        QCOMPARE(last.found, newerType > 0 && !reprint && !newer.isEmpty());
    }

    void numberSearchSkipsUnnumberedTypes_data()
    {
        QTest::addColumn<QString>("backend");
        for (const QString &b : kBackends)
            QTest::newRow(qPrintable(b)) << b;
    }
    void numberSearchSkipsUnnumberedTypes()
    {
        // A memo job keeps the first number the list showed, but printed no number: a search
        // for a sample number must not offer it.
        QFETCH(QString, backend);
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(fresh(backend), &error), qPrintable(error));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const bool numbered : {true, false}) {
            HistoryRecord r = fullRecord(QString::number(numbered), now);
            r.sheetType = firstTypeNumbered(numbered);
            QVERIFY2(store.begin(r, &error) > 0, qPrintable(error));
        }
        HistoryFilter filter;
        filter.sampleNumber = fullRecord(QString(), now).firstNumber;
        QList<HistoryEntry> found;
        QVERIFY2(store.entries(filter, &found, &error), qPrintable(error));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().record.user, QStringLiteral("1"));
    }

    void pagedListingReadBack_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("whole");
        for (const QString &b : kBackends) {
            QTest::newRow(qPrintable(b + QStringLiteral("/whole history"))) << b << true;
            QTest::newRow(qPrintable(b + QStringLiteral("/newest few"))) << b << false;
        }
    }
    void pagedListingReadBack()
    {
        // The listing read a page at a time, oldest first, gives the entries the newest-first
        // read gives, every job's texts as written (also texts holding the character the
        // joined read separates them with, none, and a full job's), and writes the same bytes
        // as the whole list written at once. Three jobs share each start time, so the order
        // within a time carries across the ends of pages.
        QFETCH(QString, backend);
        QFETCH(bool, whole);
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(fresh(backend), &error), qPrintable(error));
        const QStringList texts = {QStringLiteral("血液, \"A\""),
                                   QStringLiteral("1行目\r\n2行目"),
                                   QStringLiteral("C:\\n\\x"),
                                   QString(),
                                   QStringLiteral("😀 顔"),
                                   QStringLiteral("a") + QChar(0x1f) + QStringLiteral("b"),
                                   QString(QChar(0x1f)),
                                   QStringLiteral("x,y\n\"z\""),
                                   QChar(0xd800) + QStringLiteral("x"),
                                   QStringLiteral("=1+1"),
                                   QStringLiteral("\t-5"),
                                   QStringLiteral("'q\\")};
        const QDateTime base = QDateTime::currentDateTimeUtc();
        QHash<QString, QStringList> written;
        const int jobs = 1003;
        for (int k = 0; k < jobs; ++k) {
            HistoryRecord r = fullRecord(QString::number(k), base.addSecs(-k / 3));
            const int samples = k == 500 ? MaxJobLabels : k % 7;
            r.sampleTexts.clear();
            for (int i = 0; i < samples; ++i)
                r.sampleTexts << texts.at((k + i) % texts.size());
            r.samples = samples;
            // A lone surrogate reads back as each database and driver make it; only the
            // listing's bytes are compared for it.
            if (std::none_of(r.sampleTexts.cbegin(), r.sampleTexts.cend(),
                             [](const QString &t) { return t.startsWith(QChar(0xd800)); }))
                written.insert(r.user, r.sampleTexts);
            QVERIFY2(store.begin(r, &error) > 0, qPrintable(error));
        }
        HistoryFilter filter;
        filter.limit = whole ? 2 * jobs : 5;
        if (!whole)
            filter.since = base.addSecs(-10);
        QList<HistoryEntry> newest;
        bool newestMore = !whole;
        QVERIFY2(store.entries(filter, &newest, &error, &newestMore), qPrintable(error));
        std::reverse(newest.begin(), newest.end());

        QList<HistoryEntry> listed;
        QByteArray csv, json;
        HistoryListingWriter csvWriter(false, true), jsonWriter(true, false);
        bool more = whole;
        QVERIFY2(store.entriesOldestFirst(
                     filter,
                     [&](const QList<HistoryEntry> &page, QString *) {
                         listed += page;
                         csvWriter.add(page, &csv);
                         jsonWriter.add(page, &json);
                         return true;
                     },
                     &error, &more),
                 qPrintable(error));
        csvWriter.finish(&csv);
        jsonWriter.finish(&json);
        QCOMPARE(more, !whole);
        QCOMPARE(newestMore, more);
        QCOMPARE(listed.size(), whole ? jobs : filter.limit);
        QCOMPARE(listed.size(), newest.size());
        for (qsizetype i = 0; i < listed.size(); ++i) {
            QCOMPARE(listed.at(i).id, newest.at(i).id);
            QCOMPARE(listed.at(i).record.sampleTexts, newest.at(i).record.sampleTexts);
            if (written.contains(listed.at(i).record.user))
                QCOMPARE(listed.at(i).record.sampleTexts, written.value(listed.at(i).record.user));
            if (i > 0) {
                const HistoryRecord &before = listed.at(i - 1).record;
                QVERIFY(before.startedUtc < listed.at(i).record.startedUtc ||
                        (before.startedUtc == listed.at(i).record.startedUtc &&
                         listed.at(i - 1).id < listed.at(i).id));
            }
        }
        QCOMPARE(csv, historyCsv(newest, true));
        QCOMPARE(json, historyJson(newest));

        // --history reads the same rows through the database's own library: the same bytes.
        for (const bool asJson : {false, true}) {
            QByteArray listing;
            bool listingMore = whole;
            QVERIFY2(writeHistoryListing(
                         store, filter.since, filter.limit, asJson,
                         [&](const QByteArray &text, QString *) {
                             listing += text;
                             return true;
                         },
                         &listingMore, &error),
                     qPrintable(error));
            QCOMPARE(listingMore, more);
            QCOMPARE(listing, asJson ? historyJson(newest) : historyCsv(newest, false));
        }

        // A page that cannot be written ends the listing with its own message.
        const QString refused = QStringLiteral("書けません");
        int pages = 0;
        QVERIFY(!store.entriesOldestFirst(
            filter,
            [&](const QList<HistoryEntry> &, QString *pageError) {
                ++pages;
                *pageError = refused;
                return false;
            },
            &error));
        QCOMPARE(error, refused);
        QCOMPARE(pages, 1);
        pages = 0;
        QVERIFY(!writeHistoryListing(
            store, filter.since, filter.limit, false,
            [&](const QByteArray &, QString *pageError) {
                ++pages;
                *pageError = refused;
                return false;
            },
            nullptr, &error));
        QCOMPARE(error, refused);
        QCOMPARE(pages, 1);
    }

    void unknownOutcomeListed_data()
    {
        QTest::addColumn<QString>("backend");
        for (const QString &b : kBackends)
            QTest::newRow(qPrintable(b)) << b;
    }
    void unknownOutcomeListed()
    {
        // An outcome word this version does not know (a newer version's, or a hand edit) is
        // listed as it stands, and the jobs around it still are.
        QFETCH(QString, backend);
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(fresh(backend), &error), qPrintable(error));
        const QDateTime base = QDateTime::currentDateTimeUtc();
        QList<qint64> ids;
        for (int k = 0; k < 3; ++k) {
            ids << store.begin(fullRecord(QString::number(k), base.addSecs(k)), &error);
            QVERIFY2(ids.last() > 0 && store.finish(ids.last(), JobOutcome::Printed, {}, 0, &error),
                     qPrintable(error));
        }
        const QString word = QStringLiteral("archived");
        QSqlQuery q(store.connection());
        QVERIFY(q.prepare("INSERT INTO outcomes (job_id, recorded_utc, outcome, reason) "
                          "VALUES (?, '2026-01-01T00:00:00.000Z', ?, '')"));
        q.addBindValue(ids.at(1));
        q.addBindValue(word);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QList<HistoryEntry> entries;
        QVERIFY2(store.entries(HistoryFilter(), &entries, &error), qPrintable(error));
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.at(1).outcome, JobOutcome::Unknown);
        QCOMPARE(outcomeWordOf(entries.at(1)), word);
        std::reverse(entries.begin(), entries.end());
        for (const bool asJson : {false, true}) {
            QByteArray listing;
            QVERIFY2(writeHistoryListing(
                         store, {}, 10, asJson,
                         [&](const QByteArray &text, QString *) {
                             listing += text;
                             return true;
                         },
                         nullptr, &error),
                     qPrintable(error));
            QCOMPARE(listing, asJson ? historyJson(entries) : historyCsv(entries, false));
            if (asJson) {
                const QJsonArray rows = QJsonDocument::fromJson(listing).array();
                QCOMPARE(rows.at(1).toObject().value("outcome").toString(), word);
            }
        }
    }

    void csvFormulaCells_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");       // a text column's cell as a CSV reader reads it
        QTest::addColumn<QString>("sampleCell"); // sample_texts of {text, "=z"}
        QTest::newRow("formula") << "=1+1"
                                 << "'=1+1"
                                 << "'=1+1\n=z";
        QTest::newRow("command formula") << "=cmd|' /C calc'!A0"
                                         << "'=cmd|' /C calc'!A0"
                                         << "'=cmd|' /C calc'!A0\n=z";
        QTest::newRow("plus") << "+1"
                              << "'+1"
                              << "'+1\n=z";
        QTest::newRow("minus") << "-1"
                               << "'-1"
                               << "'-1\n=z";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)"
                            << "'@SUM(A1)\n=z";
        QTest::newRow("tab") << "\tx"
                             << "'\tx"
                             << "'\tx\n=z";
        QTest::newRow("carriage return") << "\rx"
                                         << "'\rx"
                                         << "\\rx\n=z";
        QTest::newRow("our own quote") << "'q"
                                       << "''q"
                                       << "''q\n=z";
        QTest::newRow("formula with comma and quote") << "=\"a\",b"
                                                      << "'=\"a\",b"
                                                      << "'=\"a\",b\n=z";
        QTest::newRow("sign inside") << "1-2"
                                     << "1-2"
                                     << "1-2\n=z";
        QTest::newRow("space first") << " =1"
                                     << " =1"
                                     << " =1\n=z";
        QTest::newRow("empty") << ""
                               << ""
                               << "\n=z";
    }
    void csvFormulaCells()
    {
        // Both CSV writers, the window's export and --history, read back by Python's csv
        // reader: a text cell that a spreadsheet would take for a formula starts with a quote,
        // nothing else does (a later line of the sample cell, a negative number the program
        // wrote, the id), and JSON keeps the texts as they are.
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QFETCH(QString, sampleCell);
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(fresh(QStringLiteral("sqlite")), &error), qPrintable(error));
        HistoryRecord r = fullRecord(text, QDateTime::currentDateTimeUtc());
        r.queue = text;
        r.sampleTexts = {text, QStringLiteral("=z")};
        r.samples = 2;
        r.textColour = -1;
        const qint64 id = store.begin(r, &error);
        QVERIFY2(id > 0 && store.finish(id, JobOutcome::Failed, text, 0, &error),
                 qPrintable(error));
        QList<HistoryEntry> entries;
        QVERIFY2(store.entries(HistoryFilter(), &entries, &error), qPrintable(error));
        QByteArray listed[2];
        for (const bool asJson : {false, true})
            QVERIFY2(writeHistoryListing(
                         store, {}, 10, asJson,
                         [&](const QByteArray &t, QString *) {
                             listed[asJson] += t;
                             return true;
                         },
                         nullptr, &error),
                     qPrintable(error));
        const QString window = mDir.filePath(QStringLiteral("window.csv"));
        const QString batch = mDir.filePath(QStringLiteral("batch.csv"));
        QVERIFY(writeFile(window, historyCsv(entries, true)) && writeFile(batch, listed[0]));
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {"-c",
                      "import csv, json, sys\n"
                      "out = []\n"
                      "for name in sys.argv[1:]:\n"
                      "    with open(name, encoding='utf-8-sig', newline='') as f:\n"
                      "        out.append(list(csv.reader(f)))\n"
                      "print(json.dumps(out))",
                      window, batch});
        QVERIFY(python.waitForFinished(60000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QJsonArray files = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        QCOMPARE(files.size(), 2);
        for (const QJsonValue &file : files) {
            const QJsonArray rows = file.toArray();
            QCOMPARE(rows.size(), 2);
            const QStringList heading = rows.at(0).toVariant().toStringList();
            const QStringList cells = rows.at(1).toVariant().toStringList();
            auto at = [&](const char *key) { return cells.value(heading.indexOf(key)); };
            for (const char *key : {"user", "queue", "reason"})
                QCOMPARE(at(key), cell);
            QCOMPARE(at("sample_texts"), sampleCell);
            QCOMPARE(at("text_colour"), QStringLiteral("-1"));
            QCOMPARE(at("id"), QString::number(id));
        }
        const QJsonObject object = QJsonDocument::fromJson(listed[1]).array().at(0).toObject();
        QCOMPARE(object.value("user").toString(), text);
        QCOMPARE(object.value("reason").toString(), text);
        QCOMPARE(object.value("sample_texts").toVariant().toStringList(), r.sampleTexts);
    }

    void concurrentWriters_data()
    {
        QTest::addColumn<QString>("backend");
        for (const QString &b : kBackends)
            QTest::newRow(qPrintable(b)) << b;
    }
    void concurrentWriters()
    {
        QFETCH(QString, backend);
        const HistoryLocation loc = fresh(backend);
        const int each = 200;
        QProcess writers[2];
        for (int i = 0; i < 2; ++i)
            writers[i].start(HISTORY_WRITER, {locationValue(loc), QString::number(each),
                                              QStringLiteral("w%1").arg(i)});
        for (QProcess &w : writers) {
            QVERIFY(w.waitForFinished(120000));
            QVERIFY2(w.exitCode() == 0, w.readAllStandardError().constData());
        }
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(loc, &error), qPrintable(error));
        QList<HistoryEntry> all;
        HistoryFilter filter;
        filter.limit = 4 * each;
        QVERIFY2(store.entries(filter, &all, &error), qPrintable(error));
        QCOMPARE(all.size(), 2 * each);
        int byFirst = 0;
        for (const HistoryEntry &e : all) {
            QCOMPARE(e.outcome, JobOutcome::Printed);
            byFirst += e.record.user == QLatin1String("w0");
        }
        QCOMPARE(byFirst, each);
    }

    void unwritable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("said"); // part of the reason; empty: any
        // The driver's words and the database's stay apart.
        QTest::newRow("corrupt file") << "corrupt"
                                      << "statement: file is not a database";
        QTest::newRow("read-only file and folder") << "read-only"
                                                   << "";
        QTest::newRow("server down") << "down"
                                     << "";
        QTest::newRow("made by a newer version") << "newer"
                                                 << "(版 1000)";
        // Versions are numbers read as such: none wraps, and nothing else is one.
        QTest::newRow("version past 32 bits") << "version:99999999999"
                                              << "(版 99999999999)";
        QTest::newRow("version not a number") << "version:'abc'"
                                              << "「abc」";
        QTest::newRow("negative version") << "version:-5"
                                          << "「-5」";
        QTest::newRow("fractional version") << "version:1.5"
                                            << "「1.5」";
    }
    void unwritable()
    {
        QFETCH(QString, kind);
        HistoryLocation loc;
        QString error;
        bool ok = true;
        if (kind == QLatin1String("down")) {
            loc = fresh(QStringLiteral("postgresql"));
            loc.port = 1; // nothing listens there
            HistoryStore store;
            ok = store.open(loc, &error);
        } else if (kind == QLatin1String("newer") || kind.startsWith(QLatin1String("version:"))) {
            loc = fresh(QStringLiteral("sqlite"));
            QVERIFY(HistoryStore().open(loc, &error));
            const QString value =
                kind == QLatin1String("newer") ? QStringLiteral("1000") : kind.mid(8);
            QVERIFY(run(loc, "INSERT INTO history_schema VALUES (" + value + ")"));
            QCOMPARE(number(loc, "SELECT COUNT(*) FROM history_schema"), 2);
            HistoryStore store;
            ok = store.open(loc, &error);
        } else if (kind == QLatin1String("corrupt")) {
            loc = fresh(QStringLiteral("sqlite"));
            QVERIFY(writeFile(loc.filePath, QByteArray(8192, 'x')));
            HistoryStore store;
            ok = store.open(loc, &error);
        } else {
            // root may write anything, so the writer runs as a user without the rights.
            const QString folder = mDir.filePath(QStringLiteral("locked"));
            QVERIFY(QDir().mkpath(folder));
            loc.filePath = folder + QStringLiteral("/history.sqlite");
            QVERIFY(HistoryStore().open(loc, &error));
            QVERIFY(::chmod(QFile::encodeName(loc.filePath), 0444) == 0);
            QVERIFY(::chmod(QFile::encodeName(folder), 0555) == 0);
            QVERIFY(::chmod(QFile::encodeName(mDir.path()), 0755) == 0);
            QProcess writer;
            QStringList args = {locationValue(loc), QStringLiteral("1"), QStringLiteral("x")};
            if (::geteuid() == 0)
                writer.start(QStringLiteral("runuser"),
                             QStringList{"-u", "nobody", "--", HISTORY_WRITER} + args);
            else
                writer.start(HISTORY_WRITER, args);
            QVERIFY(writer.waitForFinished(60000));
            ok = writer.exitCode() == 0;
            error = QString::fromUtf8(writer.readAllStandardError());
        }
        QVERIFY(!ok);
        const int cut = error.indexOf(QLatin1Char('\n'));
        QVERIFY2(cut > 0 && error.left(cut).endsWith(loc.displayName()), qPrintable(error));
        QVERIFY2(error.size() > cut + 1, "no reason given");
        QFETCH(QString, said);
        QVERIFY2(error.mid(cut + 1).contains(said), qPrintable(error));
    }

    // A re-check judges only the jobs this PC sent through this print server: not another
    // PC's with the same CUPS id, not another server's, and not those of a history written
    // before the server was kept, which is upgraded in place as it opens.
    void recheckJudgesOnlyOwnJobs_data()
    {
        QTest::addColumn<QString>("backend");
        for (const QString &b : kBackends)
            QTest::newRow(qPrintable(b)) << b;
    }
    void recheckJudgesOnlyOwnJobs()
    {
        QFETCH(QString, backend);
        const HistoryLocation loc = fresh(backend);
        const QString mine = QStringLiteral("pc-a");
        const QString server = QStringLiteral("127.0.0.1:631");
        QString error;
        struct Job
        {
            const char *host;
            const char *server;
            bool sentOnly; // its completion was lost after markSent
            JobOutcome after;
        };
        // The first is written before the upgrade: what it kept later is lost with the columns.
        const QList<Job> jobs = {
            {"pc-a", "127.0.0.1:631", false, JobOutcome::Waiting},
            {"pc-a", "127.0.0.1:631", false, JobOutcome::Aborted},
            {"pc-b", "127.0.0.1:631", false, JobOutcome::Waiting},
            {"pc-a", "127.0.0.1:632", false, JobOutcome::Waiting},
            {"pc-a", "", false, JobOutcome::Waiting},
            {"pc-a", "127.0.0.1:631", true, JobOutcome::Aborted},
        };
        QList<qint64> ids;
        for (int i = 0; i < jobs.size(); ++i) {
            HistoryStore store;
            QVERIFY2(store.open(loc, &error), qPrintable(error));
            HistoryRecord r = fullRecord(QStringLiteral("u%1").arg(i), QDateTime());
            r.host = QLatin1String(jobs.at(i).host);
            r.cupsServer = QLatin1String(jobs.at(i).server);
            const qint64 id = store.begin(r, &error);
            QVERIFY2(id > 0, qPrintable(error));
            QVERIFY2(jobs.at(i).sentOnly
                         ? store.markSent(id, 2, &error)
                         : store.finish(id, JobOutcome::Waiting, QString(), 2, &error),
                     qPrintable(error));
            ids << id;
            if (i == 0) {
                store.close();
                for (const char *older : kToOlderSchema)
                    QVERIFY(run(loc, older));
            }
        }
        HistoryStore store;
        QVERIFY2(store.open(loc, &error), qPrintable(error));
        HistoryEntry upgraded;
        QVERIFY2(store.entry(ids.first(), &upgraded, &error), qPrintable(error));
        QVERIFY(upgraded.record.cupsServer.isEmpty() && upgraded.record.jobFile.isEmpty());

        QList<QList<QueuedJob>> requests;
        const WaitingRecheck recheck =
            recheckWaitingJobs(store, mine, server, [&](const QList<QueuedJob> &asked) {
                requests << asked;
                QMap<int, QueuedJobLook> looks;
                looks.insert(
                    2, {QueuedJobState::Aborted, QStringLiteral("jam"), fullRecord({}, {}).queue});
                return looks;
            });
        QVERIFY2(recheck.errors.isEmpty(), qPrintable(recheck.errors.join('\n')));
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().size(), 2);
        QCOMPARE(recheck.ended.size(), 2);
        for (int i = 0; i < jobs.size(); ++i) {
            HistoryEntry e;
            QVERIFY2(store.entry(ids.at(i), &e, &error), qPrintable(error));
            const JobOutcome expected =
                jobs.at(i).sentOnly && jobs.at(i).after == JobOutcome::Waiting
                    ? JobOutcome::Unfinished
                    : jobs.at(i).after;
            QVERIFY2(e.outcome == expected, qPrintable(QString::number(i)));
        }
    }

    // A listing of an older history that this user may only read (a read-only file, a role
    // that does not own the tables) lists its records, with no job file.
    void readOnlyOlderHistoryLists_data()
    {
        QTest::addColumn<QString>("backend");
        for (const QString &b : kBackends)
            QTest::newRow(qPrintable(b)) << b;
    }
    void readOnlyOlderHistoryLists()
    {
        QFETCH(QString, backend);
        HistoryLocation loc = fresh(backend);
        const QString folder = mDir.filePath(QStringLiteral("older%1").arg(++mCount));
        if (backend == QLatin1String("sqlite") && QDir().mkpath(folder))
            loc.filePath = folder + QStringLiteral("/history.sqlite");
        QString error;
        HistoryStore store;
        QVERIFY2(store.open(loc, &error) && store.begin(fullRecord("older", {}), &error) > 0,
                 qPrintable(error));
        // Taken away while the store is open, so that SQLite keeps the log files a reader needs.
        for (const char *older : kToOlderSchema)
            QVERIFY(run(loc, older));
        store.close();
        QStringList command = {HISTORY_WRITER, "--list", locationValue(loc)};
        if (backend == QLatin1String("sqlite")) {
            for (const QString suffix : {"", "-wal", "-shm"})
                QVERIFY(::chmod(QFile::encodeName(loc.filePath + suffix), 0444) == 0);
            QVERIFY(::chmod(QFile::encodeName(folder), 0555) == 0);
            QVERIFY(::chmod(QFile::encodeName(mDir.path()), 0755) == 0);
            if (::geteuid() == 0) // root reads and writes anything
                command = QStringList{"runuser", "-u", "nobody", "--"} + command;
        } else {
            const QString reader = QStringLiteral("reader_") + loc.database;
            QVERIFY(run(loc, "CREATE ROLE " + reader + " LOGIN") &&
                    run(loc, "GRANT SELECT ON ALL TABLES IN SCHEMA public TO " + reader));
            loc.user = reader;
            command.last() = locationValue(loc);
        }
        QProcess lister;
        lister.start(command.takeFirst(), command);
        QVERIFY(lister.waitForFinished(60000));
        QVERIFY2(lister.exitCode() == 0, lister.readAllStandardError().constData());
        const QJsonArray listed = QJsonDocument::fromJson(lister.readAllStandardOutput()).array();
        QVERIFY(listed.size() == 1 && listed.at(0).toObject().value("user") == "older" &&
                listed.at(0).toObject().value("job_file") == "");
    }

    // Two programs re-checking the same jobs at once write each job's end once, and only
    // one of them tells of it.
    void doubleRecheckWritesOnce_data()
    {
        QTest::addColumn<QString>("backend");
        for (const QString &b : kBackends)
            QTest::newRow(qPrintable(b)) << b;
    }
    void doubleRecheckWritesOnce()
    {
        QFETCH(QString, backend);
        const HistoryLocation loc = fresh(backend);
        const int count = 30;
        {
            HistoryStore store;
            QString error;
            QVERIFY2(store.open(loc, &error), qPrintable(error));
            for (int i = 0; i < count; ++i) {
                HistoryRecord r = fullRecord(QStringLiteral("w"), QDateTime());
                const qint64 id = store.begin(r, &error);
                QVERIFY2(id > 0 && store.finish(id, JobOutcome::Waiting, {}, 100 + i, &error),
                         qPrintable(error));
            }
        }
        const HistoryRecord r = fullRecord({}, {});
        QProcess checkers[2];
        for (QProcess &c : checkers)
            c.start(HISTORY_WRITER, {"--recheck", locationValue(loc), r.host, r.cupsServer});
        int told = 0;
        for (QProcess &c : checkers) {
            QVERIFY(c.waitForFinished(60000));
            QVERIFY2(c.exitCode() == 0, c.readAllStandardError().constData());
            told += c.readAllStandardOutput().trimmed().toInt();
        }
        QCOMPARE(told, count);
        QCOMPARE(number(loc, "SELECT COUNT(*) FROM outcomes WHERE outcome = 'aborted'"), count);
    }

    // A lock another connection holds ends the wait after the location's lock timeout, with
    // a message naming the database and why.
    void lockTimeoutEndsWait_data()
    {
        QTest::addColumn<QString>("held"); // what the other connection holds
        QTest::newRow("advisory lock, at open") << "SELECT pg_advisory_lock(7305119)";
        QTest::newRow("table lock, at begin") << "LOCK TABLE jobs IN ACCESS EXCLUSIVE MODE";
    }
    void lockTimeoutEndsWait()
    {
        QFETCH(QString, held);
        HistoryLocation loc = fresh(QStringLiteral("postgresql"));
        loc.lockTimeoutSeconds = 1;
        QString error;
        HistoryStore store;
        QVERIFY2(store.open(loc, &error), qPrintable(error));
        const bool atOpen = held.contains(QLatin1String("advisory"));
        if (atOpen)
            store.close();
        {
            QSqlDatabase other = rawConnection(loc, QStringLiteral("holder"));
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("BEGIN")) && q.exec(held));
            QElapsedTimer timer;
            timer.start();
            const bool ok = atOpen ? store.open(loc, &error)
                                   : store.begin(fullRecord(QStringLiteral("x"), {}), &error) > 0;
            const qint64 waited = timer.elapsed();
            QVERIFY(!ok);
            QVERIFY2(waited >= 900 && waited < 4000, qPrintable(QString::number(waited)));
            QVERIFY2(error.section(QLatin1Char('\n'), 0, 0).endsWith(loc.displayName()),
                     qPrintable(error));
            QVERIFY2(error.contains(QStringLiteral("ロック")), qPrintable(error));
            QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    }

    // A listing or a reprint opens only a history that is there, and makes nothing.
    void existingOnlyMakesNothing_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("kind"); // missing, empty, foreign (other tables), history
        for (const QString &b : kBackends) {
            if (b == QLatin1String("sqlite")) {
                QTest::newRow("sqlite/missing file") << b << "missing";
                QTest::newRow("sqlite/empty file") << b << "empty";
            }
            QTest::newRow(qPrintable(b + "/other tables")) << b << "foreign";
            QTest::newRow(qPrintable(b + "/a history")) << b << "history";
        }
    }
    void existingOnlyMakesNothing()
    {
        QFETCH(QString, backend);
        QFETCH(QString, kind);
        const HistoryLocation loc = fresh(backend);
        QString error;
        if (kind == QLatin1String("empty"))
            QVERIFY(writeFile(loc.filePath, QByteArray()));
        if (kind == QLatin1String("foreign"))
            QVERIFY(run(loc, "CREATE TABLE notes (x INTEGER)"));
        if (kind == QLatin1String("history"))
            QVERIFY2(HistoryStore().open(loc, &error), qPrintable(error));
        const bool sqlite = backend == QLatin1String("sqlite");
        const QString tables =
            sqlite ? QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'")
                   : QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE "
                                    "table_schema = 'public'");
        const qint64 before = kind == QLatin1String("missing") ? 0 : number(loc, tables);
        HistoryStore store;
        const bool ok = store.open(loc, &error, HistoryOpenMode::ExistingOnly);
        QCOMPARE(ok, kind == QLatin1String("history"));
        if (ok)
            return;
        QVERIFY2(error.section(QLatin1Char('\n'), 0, 0).endsWith(loc.displayName()),
                 qPrintable(error));
        QVERIFY2(!error.section(QLatin1Char('\n'), 1).isEmpty(), qPrintable(error));
        if (kind == QLatin1String("missing")) {
            QVERIFY(!QFileInfo::exists(loc.filePath));
        } else {
            QCOMPARE(number(loc, tables), before);
            if (sqlite) // not even turned into a WAL database
                QVERIFY(!QFileInfo::exists(loc.filePath + QStringLiteral("-wal")));
        }
    }

    void settingsLocation_data()
    {
        QTest::addColumn<QString>("ini");      // "-": none, "FIFO": a named pipe
        QTest::addColumn<QString>("database"); // display name; "beside": history.sqlite
        QTest::addColumn<int>("errorLine");
        QTest::addColumn<QString>("timeouts"); // connect/lock/statement, in seconds
        QTest::newRow("no settings file") << "-"
                                          << "beside" << 0 << "5/5/5";
        QTest::newRow("no history section") << "[print]\ndatabase=x\n"
                                            << "beside" << 0 << "5/5/5";
        QTest::newRow("server")
            << "# lab\n[history]\n database = postgresql://lab@db.example:6543/labels\n"
            << "lab@db.example:6543/labels" << 0 << "5/5/5";
        QTest::newRow("default port, encoded name")
            << "[history]\ndatabase=postgresql://lab%20a@db/l%C3%A4b\n"
            << "lab a@db:5432/läb" << 0 << "5/5/5";
        QTest::newRow("IPv6") << "[history]\ndatabase=postgresql://lab@[::1]:5433/x\n"
                              << "lab@[::1]:5433/x" << 0 << "5/5/5";
        QTest::newRow("password") << "[history]\ndatabase=postgresql://lab:secret@db/x\n"
                                  << "" << 2 << "";
        QTest::newRow("port out of range") << "[history]\ndatabase=postgresql://lab@db:65536/x\n"
                                           << "" << 2 << "";
        QTest::newRow("no database") << "[history]\n\ndatabase=postgresql://lab@db:5432\n"
                                     << "" << 3 << "";
        QTest::newRow("no user") << "[history]\ndatabase=postgresql://db:5432/x\n"
                                 << "" << 2 << "";
        QTest::newRow("misspelt name") << "[history]\ndatabse=postgresql://lab@db/x\n"
                                       << "" << 2 << "";
        QTest::newRow("byte order mark, CR line ends, timeouts")
            << "\xEF\xBB\xBF[history]\rdatabase=postgresql://lab@db/x\rconnectTimeout=12\r"
               "statementTimeout=0\r"
            << "lab@db:5432/x" << 0 << "12/5/0";
        QTest::newRow("named pipe") << "FIFO"
                                    << "" << 0 << "";
    }
    void settingsLocation()
    {
        QFETCH(QString, ini);
        QFETCH(QString, database);
        QFETCH(int, errorLine);
        QFETCH(QString, timeouts);
        // start.txt is reached through a link; the history belongs beside the real file.
        const QString real = mDir.filePath(QStringLiteral("real%1").arg(++mCount));
        const QString linked = mDir.filePath(QStringLiteral("link%1").arg(mCount));
        QVERIFY(QDir().mkpath(real) && QDir().mkpath(linked));
        QVERIFY(writeFile(real + "/start.txt", "x"));
        QVERIFY(QFile::link(real + "/start.txt", linked + "/start.txt"));
        const QString iniPath = real + '/' + historySettingsFileName();
        if (ini == QLatin1String("FIFO"))
            QCOMPARE(::mkfifo(QFile::encodeName(iniPath), 0644), 0);
        else if (ini != QLatin1String("-"))
            QVERIFY(writeFile(iniPath, ini.toUtf8()));
        HistoryLocation loc;
        QString error;
        const bool ok = historyLocationForSettings(linked + "/start.txt", &loc, &error);
        QCOMPARE(ok, !database.isEmpty());
        if (ok) {
            QCOMPARE(loc.displayName(), database == QLatin1String("beside")
                                            ? displayPath(real + "/history.sqlite")
                                            : database);
            QCOMPARE(QStringLiteral("%1/%2/%3")
                         .arg(loc.connectTimeoutSeconds)
                         .arg(loc.lockTimeoutSeconds)
                         .arg(loc.statementTimeoutSeconds),
                     timeouts);
            return;
        }
        QVERIFY2(error.contains(displayPath(iniPath)), qPrintable(error));
        QVERIFY2(!error.contains(QLatin1String("secret")), qPrintable(error));
        if (errorLine)
            QVERIFY2(error.contains(QStringLiteral("%1 行目").arg(errorLine)), qPrintable(error));
    }

    void historyDbValue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("database"); // display name; empty: refused
        QTest::newRow("relative file")
            << "h.sqlite" << displayPath(QDir::current().filePath("h.sqlite"));
        QTest::newRow("server") << "postgresql://lab@db:5/x"
                                << "lab@db:5/x";
        QTest::newRow("password") << "postgresql://lab:secret@db:5/x"
                                  << "";
        QTest::newRow("other scheme") << "mysql://lab@db:5/x"
                                      << "";
        // However the password is written, no part of it reaches the message.
        QTest::newRow("password holding @") << "postgresql://probe_w:pw@secret@db:5/x"
                                            << "";
        QTest::newRow("password holding / and :") << "postgresql://lab:a/b:secret@db:5/x"
                                                  << "";
        QTest::newRow("password without a user") << "postgresql://:secret@db:5/x"
                                                 << "";
        QTest::newRow("password as a parameter") << "postgresql://lab@db:5/x?password=secret"
                                                 << "";
    }
    void historyDbValue()
    {
        QFETCH(QString, value);
        QFETCH(QString, database);
        HistoryLocation loc;
        QString error;
        QCOMPARE(historyLocationFromValue(value, &loc, &error), !database.isEmpty());
        if (!database.isEmpty())
            QCOMPARE(loc.displayName(), database);
        QVERIFY2(!error.contains(QLatin1String("secret")), qPrintable(error));
    }

    // Everyone of the group appends to one file: it and the files SQLite adds beside it
    // get start.txt's bits whatever the umask of whoever made them.
    void sharedFileMode()
    {
        const QString folder = mDir.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(folder + "/start.txt", "x"));
        QVERIFY(::chmod(QFile::encodeName(folder + "/start.txt"), 0664) == 0);
        const mode_t old = ::umask(022);
        HistoryLocation loc;
        QString error;
        QVERIFY(historyLocationForSettings(folder + "/start.txt", &loc, &error));
        HistoryStore store;
        const bool opened = store.open(loc, &error);
        const bool written = opened && store.begin(HistoryRecord(), &error) > 0;
        ::umask(old);
        QVERIFY2(written, qPrintable(error));
        for (const QString suffix : {"", "-wal", "-shm"}) {
            struct stat st;
            QVERIFY(::stat(QFile::encodeName(loc.filePath + suffix), &st) == 0);
            QCOMPARE(st.st_mode & 0777, mode_t(0664));
        }
    }

    void exportsReadBack()
    {
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(fresh(QStringLiteral("sqlite")), &error), qPrintable(error));
        const qint64 first = store.begin(fullRecord(QStringLiteral("a,\"b\""), {}), &error);
        HistoryRecord reprint = fullRecord(QStringLiteral("c"), {});
        reprint.reprintOf = first;
        const qint64 second = store.begin(reprint, &error);
        QVERIFY2(second > 0 && store.finish(second, JobOutcome::Printed, {}, 42, &error),
                 qPrintable(error));
        QList<HistoryEntry> entries;
        QVERIFY2(store.entries(HistoryFilter(), &entries, &error), qPrintable(error));

        const QByteArray csv = historyCsv(entries, true);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        const QString csvPath = mDir.filePath(QStringLiteral("history.csv"));
        QVERIFY(writeFile(csvPath, csv));
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {"-c",
                      "import csv, json, sys\n"
                      "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                      "    print(json.dumps(list(csv.reader(f))))",
                      csvPath});
        QVERIFY(python.waitForFinished(60000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        const QJsonArray json = QJsonDocument::fromJson(historyJson(entries)).array();
        QCOMPARE(rows.size(), entries.size() + 1);
        QCOMPARE(json.size(), entries.size());
        const QStringList heading = rows.at(0).toVariant().toStringList();
        QCOMPARE(heading.value(0), QStringLiteral("id"));
        for (int i = 0; i < entries.size(); ++i) {
            const HistoryEntry &e = entries.at(i);
            const QStringList cells = rows.at(i + 1).toVariant().toStringList();
            const QJsonObject object = json.at(i).toObject();
            const QStringList keys = object.keys();
            QCOMPARE(QSet<QString>(heading.begin(), heading.end()),
                     QSet<QString>(keys.begin(), keys.end()));
            auto cell = [&](const char *key) { return cells.value(heading.indexOf(key)); };
            QCOMPARE(cell("id").toLongLong(), e.id);
            QCOMPARE(cell("user"), e.record.user);
            QCOMPARE(cell("pdf_path"), e.record.pdfPath);
            QCOMPARE(cell("job_file"), e.record.jobFile);
            QCOMPARE(decodeSampleCell(cell("sample_texts")), e.record.sampleTexts);
            QCOMPARE(cell("outcome"), outcomeWord(e.outcome));
            QCOMPARE(cell("reprint_of").toLongLong(), e.record.reprintOf);
            QCOMPARE(cell("cups_job_id").toInt(), e.cupsJobId);
            QCOMPARE(object.value("id").toInteger(), e.id);
            QCOMPARE(object.value("sample_texts").toVariant().toStringList(), e.record.sampleTexts);
            QCOMPARE(object.value("reprint_of").isNull(), e.record.reprintOf == 0);
            QCOMPARE(object.value("job_sha256").toString(), e.record.jobSha256);
            QCOMPARE(object.value("font_points").toDouble(), e.record.fontPoints);
        }
    }

    void exportCellsAsGeneralForms_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<qint64>("id");
        QTest::addColumn<double>("points");
        QTest::addColumn<QString>("user");
        const QDateTime t(QDate(2026, 1, 31), QTime(9, 5, 0, 7), Qt::UTC);
        QTest::newRow("time to the millisecond") << "started_utc" << t << 1LL << 1.0 << "u";
        QTest::newRow("time given in another zone")
            << "started_utc" << QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::OffsetFromUTC, 32400)
            << 1LL << 1.0 << "u";
        QTest::newRow("year before 1000")
            << "started_utc" << QDateTime(QDate(999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC)
            << 1LL << 1.0 << "u";
        QTest::newRow("year after 9999")
            << "started_utc" << QDateTime(QDate(12345, 1, 1), QTime(0, 0), Qt::UTC) << 1LL << 1.0
            << "u";
        QTest::newRow("id of 15 digits") << "id" << t << 100000000000000LL << 1.0 << "u";
        QTest::newRow("id of 19 digits") << "id" << t << 1234567890123456789LL << 1.0 << "u";
        QTest::newRow("fraction of a point") << "font_points" << t << 1LL << 10.25 << "u";
        QTest::newRow("whole points") << "font_points" << t << 1LL << 12.0 << "u";
        QTest::newRow("lone surrogate")
            << "user" << t << 1LL << 1.0
            << QString(QChar(0xd800)) + QStringLiteral("x") + QChar(0xd800);
    }
    void exportCellsAsGeneralForms()
    {
        // Cells are written by hand for speed; each must read as Qt's general form of the
        // value: ISO 8601 UTC with milliseconds, numbers as 15 significant digits in CSV and
        // as JSON numbers, texts as their UTF-8.
        QFETCH(QString, key);
        QFETCH(QDateTime, time);
        QFETCH(qint64, id);
        QFETCH(double, points);
        QFETCH(QString, user);
        HistoryEntry e;
        e.id = id;
        e.record.startedUtc = time;
        e.record.fontPoints = points;
        e.record.user = user;
        QJsonValue expected;
        QString expectedCell;
        if (key == QLatin1String("started_utc")) {
            expected = time.toUTC().toString(Qt::ISODateWithMs);
            expectedCell = expected.toString();
        } else if (key == QLatin1String("id")) {
            expected = id;
            expectedCell = QString::number(double(id), 'g', 15);
        } else if (key == QLatin1String("font_points")) {
            expected = points;
            expectedCell = QString::number(points, 'g', 15);
        } else {
            expected = QString::fromUtf8(user.toUtf8());
            expectedCell = expected.toString();
        }
        const QStringList rows = QString::fromUtf8(historyCsv({e}, false)).split("\r\n");
        const QStringList heading = rows.value(0).split(',');
        QVERIFY(heading.contains(key));
        QCOMPARE(rows.value(1).split(',').value(heading.indexOf(key)), expectedCell);
        const QJsonObject object =
            QJsonDocument::fromJson(historyJson({e})).array().first().toObject();
        QCOMPARE(object.value(key), expected);
    }

    // The history is never changed after the fact: no statement that could.
    void noChangeStatements()
    {
        // Adding a column changes no row: it is how an older history is upgraded in place.
        const QRegularExpression change(QStringLiteral("\\b(UPDATE|DELETE|REPLACE|TRUNCATE|"
                                                       "DROP|ALTER(?! TABLE \\w+ ADD COLUMN))\\b"));
        int inserts = 0;
        QDirIterator it(QStringLiteral(HISTORY_SOURCE_DIR), {"*.cpp", "*.h"}, QDir::Files);
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            QVERIFY2(!change.match(text).hasMatch(), qPrintable(f.fileName()));
            inserts += text.count(QLatin1String("INSERT INTO"));
        }
        QVERIFY(inserts > 0);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
