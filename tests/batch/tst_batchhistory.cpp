// SPDX-License-Identifier: GPL-3.0-or-later
// The batch printer's print history as a script uses it: every job recorded, the history
// written out as CSV and JSON, a recorded job printed again from its record, and a history
// that cannot be written stopping the job unless the script says to print without it.
#include "history/HistoryLocation.h"
#include "history/HistoryRecord.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "job/JobRules.h"
#include "job/SheetTypes.h"
#include "settings/SettingsFile.h"
#include "support/PdfProbe.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace corvial;

namespace {

const QString kBatch = QStringLiteral(CORVIAL_BATCH);
const QString kDefaultStart = QStringLiteral(CORVIAL_DEFAULT_START);
const QStringList kSamples = {QStringLiteral("ALPHA"), QStringLiteral("BRAVO"),
                              QStringLiteral("CHARLIE"), QStringLiteral("DELTA")};
// The numbering runs over 9999 into 0, so a range of a reprint crosses it.
constexpr int kFirst = 9998;

struct Run
{
    int status = -1;
    QByteArray out;
    QString err;
};

Run batch(const QStringList &args, const QString &program = kBatch,
          const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(30000) || !p.waitForFinished(120000))
        return r;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    if (p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    return r;
}

// A numbered type whose labels print their lines as text.
SheetType numberedTextType()
{
    for (SheetType t : SheetType::all()) {
        if (t.info().numbered && t.info().textBox.kind == TextBoxKind::Lines)
            return t;
    }
    qFatal("no numbered sheet type with lines");
}

QString numberWord(int n)
{
    return QStringLiteral("%1").arg(n % HistoryNumberWrap, 4, 10, QLatin1Char('0'));
}

QStringList pdfWords(const QString &pdf)
{
    bool ok = false;
    const QString text = runTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-raw"), pdf, QStringLiteral("-")}, &ok);
    return ok ? text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)
              : QStringList{text};
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The entries of the history that belongs to the start.txt at settings, as the window finds
// and lists it; false when it cannot be opened.
bool windowEntries(const QString &settings, QList<HistoryEntry> *out)
{
    HistoryLocation where;
    HistoryStore store;
    QString error;
    return historyLocationForSettings(settings, &where, &error) && store.open(where, &error) &&
           store.entries(HistoryFilter(), out, &error);
}

int startOf(const QString &settings, SheetType type)
{
    SettingsLoad load;
    QString error;
    return readSettingsFile(settings, &load, &error)
               ? load.settings.family[type.info().family].startPos
               : -1;
}

} // namespace

class TestBatchHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void options_data();
    void options();
    void reprintRange();
    void ownStartTxt_data();
    void ownStartTxt();
    void waitingCheckedOnOpen_data();
    void waitingCheckedOnOpen();

private:
    // A start.txt in a folder of its own with one job printed from a list, recorded beside it.
    std::unique_ptr<QTemporaryDir> mDir;
    QString mSettings;
    QString mList;
    QStringList printArgs(const QString &pdf) const;
};

QStringList TestBatchHistory::printArgs(const QString &pdf) const
{
    return {QStringLiteral("--type"),     QString::number(numberedTextType().code()),
            QStringLiteral("--first"),    QString::number(kFirst),
            QStringLiteral("--list"),     mList,
            QStringLiteral("--settings"), mSettings,
            QStringLiteral("--pdf"),      pdf};
}

void TestBatchHistory::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mSettings = mDir->filePath(QStringLiteral("start.txt"));
    QVERIFY(QFile::copy(kDefaultStart, mSettings));
    QFile::setPermissions(mSettings, QFile::ReadOwner | QFile::WriteOwner);
    mList = mDir->filePath(QStringLiteral("samples.csv"));
    QFile list(mList);
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(kSamples.join(QLatin1Char('\n')).toUtf8() + '\n');
    list.close();
    const Run r = batch(printArgs(mDir->filePath(QStringLiteral("first.pdf"))));
    QVERIFY2(r.status == 0, qPrintable(r.err));
}

void TestBatchHistory::options_data()
{
    QTest::addColumn<QStringList>("args"); // {settings} stands for the start.txt
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");    // part of the message; empty: none expected
    QTest::addColumn<QString>("format"); // how stdout is read back: csv, json or nothing
    QTest::addColumn<bool>("blocked");   // the history beside start.txt cannot be opened

    const QString s = QStringLiteral("{settings}");
    QTest::newRow("csv") << QStringList{"--history", "--settings", s} << 0 << QString() << "csv"
                         << false;
    QTest::newRow("json since")
        << QStringList{"--history", "--since", "2000-01-01", "--format", "json", "--settings", s}
        << 0 << QString() << "json" << false;
    QTest::newRow("since malformed")
        << QStringList{"--history", "--since", "2026-1-5", "--settings", s} << 2 << "--since"
        << QString() << false;
    QTest::newRow("format unknown") << QStringList{"--history", "--format", "xml", "--settings", s}
                                    << 2 << "--format" << QString() << false;
    QTest::newRow("only without reprint")
        << QStringList{"--type", "1", "--samples", "1", "--pdf", "x.pdf", "--only", "1-2"} << 2
        << "--only" << QString() << false;
    QTest::newRow("reprint with job option")
        << QStringList{"--reprint", "1", "--samples", "2", "--pdf", "x.pdf", "--settings", s} << 2
        << "--samples" << QString() << false;
    QTest::newRow("reprint unknown id")
        << QStringList{"--reprint", "99", "--pdf", "{dir}/x.pdf", "--settings", s} << 2 << "99"
        << QString() << false;
    QTest::newRow("reprint outside the job")
        << QStringList{"--reprint", "1", "--only", "2-3", "--pdf", "{dir}/x.pdf", "--settings", s}
        << 2 << "--only" << QString() << false;
    // {print}: the job of init() again, into x.pdf.
    QTest::newRow("history unwritable")
        << QStringList{"{print}"} << 1 << "history.sqlite" << QString() << true;
    QTest::newRow("no history") << QStringList{"{print}", "--no-history"} << 0 << QString()
                                << QString() << true;
}

void TestBatchHistory::options()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, err);
    QFETCH(QString, format);
    QFETCH(bool, blocked);
    const QString pdf = mDir->filePath(QStringLiteral("x.pdf"));
    if (blocked) {
        const QString history = mDir->filePath(QStringLiteral("history.sqlite"));
        QVERIFY(QFile::remove(history));
        QVERIFY(QDir().mkdir(history));
    }
    QStringList expanded;
    for (QString a : args) {
        if (a == QLatin1String("{print}")) {
            expanded << printArgs(pdf);
            continue;
        }
        a.replace(QStringLiteral("{settings}"), mSettings);
        a.replace(QStringLiteral("{dir}"), mDir->path());
        expanded << a;
    }
    args = expanded;
    const Run r = batch(args);
    QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + r.err));
    if (!err.isEmpty())
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
    // Nothing is printed unless the job was asked for and ran.
    QCOMPARE(QFileInfo::exists(pdf), status == 0 && format.isEmpty());
    if (format.isEmpty())
        return;
    if (format == QLatin1String("csv")) {
        // The export's own layout, on stdout without a byte order mark in front of "id".
        QVERIFY2(r.out.startsWith("id,"), r.out.constData());
        for (const QString &sample : kSamples)
            QVERIFY2(r.out.contains(sample.toUtf8()), r.out.constData());
        return;
    }
    const QJsonArray all = QJsonDocument::fromJson(r.out).array();
    QCOMPARE(all.size(), 1);
    const QJsonObject job = all.first().toObject();
    QCOMPARE(job.value(QStringLiteral("sample_texts")).toVariant().toStringList(), kSamples);
    QCOMPARE(job.value(QStringLiteral("first_number")).toInt(), kFirst);
    QCOMPARE(job.value(QStringLiteral("sheet_type")).toInt(), numberedTextType().code());
    QCOMPARE(job.value(QStringLiteral("outcome")).toString(), outcomeWord(JobOutcome::Printed));
    QCOMPARE(job.value(QStringLiteral("list_file")).toString(), mList);
    QFile list(mList);
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(job.value(QStringLiteral("list_sha256")).toString().toLatin1(),
             QCryptographicHash::hash(list.readAll(), QCryptographicHash::Sha256).toHex());
}

void TestBatchHistory::reprintRange()
{
    const SheetType type = numberedTextType();
    const int before = startOf(mSettings, type);
    const QString pdf = mDir->filePath(QStringLiteral("again.pdf"));
    const int from = (kFirst + 1) % HistoryNumberWrap;
    const int to = (kFirst + 2) % HistoryNumberWrap;
    const Run r = batch({QStringLiteral("--reprint"), QStringLiteral("1"), QStringLiteral("--only"),
                         QStringLiteral("%1-%2").arg(from).arg(to), QStringLiteral("--settings"),
                         mSettings, QStringLiteral("--pdf"), pdf});
    QVERIFY2(r.status == 0, qPrintable(r.err));

    // The middle two samples, with their own numbers across the wrap and their own texts.
    const QStringList words = pdfWords(pdf);
    for (int i : {1, 2}) {
        QVERIFY2(words.contains(kSamples.at(i)), qPrintable(words.join(' ')));
        QVERIFY2(words.contains(numberWord(kFirst + i)), qPrintable(words.join(' ')));
    }
    for (int i : {0, 3}) {
        QVERIFY2(!words.contains(kSamples.at(i)), qPrintable(words.join(' ')));
        QVERIFY2(!words.contains(numberWord(kFirst + i)), qPrintable(words.join(' ')));
    }
    // The sheet moved on past the reprint's labels, from where the first job left it.
    QCOMPARE(startOf(mSettings, type),
             nextStartPos(2 * LabelJob().repeatCount, before, type.family().labels));

    // Recorded as a reprint of the first job.
    const Run list = batch({QStringLiteral("--history"), QStringLiteral("--format"),
                            QStringLiteral("json"), QStringLiteral("--settings"), mSettings});
    const QJsonArray all = QJsonDocument::fromJson(list.out).array();
    QCOMPARE(all.size(), 2);
    const QJsonObject again = all.at(1).toObject();
    QCOMPARE(again.value(QStringLiteral("reprint_of")).toInt(), 1);
    QCOMPARE(again.value(QStringLiteral("first_number")).toInt(), from);
    QCOMPARE(again.value(QStringLiteral("pdf_path")).toString(), pdf);
    // Numbering goes on after the first job, not after its reprint.
    QCOMPARE(again.value(QStringLiteral("next_number")),
             all.at(0).toObject().value(QStringLiteral("next_number")));
}

void TestBatchHistory::ownStartTxt_data()
{
    // The program is a copy in lib/ of a folder of its own; bin/ holds a link to it as the
    // package's /usr/bin does, and lib/start.txt may be a link to var/start.txt as the
    // package's is to /var/lib.
    QTest::addColumn<bool>("throughLinks");
    QTest::addColumn<bool>("startTxt"); // the program has a start.txt
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("history"); // where the record goes; empty: nowhere

    QTest::newRow("start.txt beside the program") << false << true << QStringList() << "lib";
    QTest::newRow("as the package links it") << true << true << QStringList() << "var";
    QTest::newRow("no start.txt") << false << false << QStringList() << QString();
    QTest::newRow("no start.txt, through links") << true << false << QStringList() << QString();
    QTest::newRow("--no-history") << false << true << QStringList{"--no-history"} << QString();
}

void TestBatchHistory::ownStartTxt()
{
    QFETCH(bool, throughLinks);
    QFETCH(bool, startTxt);
    QFETCH(QStringList, extra);
    QFETCH(QString, history);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir dir(root.path());
    for (const char *folder : {"bin", "lib", "var", "work"})
        QVERIFY(dir.mkdir(QLatin1String(folder)));
    const QString program = dir.filePath(QStringLiteral("lib/corvial-batch"));
    QVERIFY(QFile::copy(kBatch, program));
    QString run = program;
    QString settings = dir.filePath(QStringLiteral("lib/start.txt"));
    if (throughLinks) {
        run = dir.filePath(QStringLiteral("bin/corvial-batch"));
        QVERIFY(QFile::link(QStringLiteral("../lib/corvial-batch"), run));
        QVERIFY(QFile::link(QStringLiteral("../var/start.txt"), settings));
        settings = dir.filePath(QStringLiteral("var/start.txt"));
    }
    if (startTxt)
        QVERIFY(QFile::copy(kDefaultStart, settings));
    const QByteArray before = readAll(settings);

    // Run from a folder of its own, so that a history made where the program was started
    // from would show too.
    QProcess p;
    p.setWorkingDirectory(dir.filePath(QStringLiteral("work")));
    const QString pdf = dir.filePath(QStringLiteral("work/x.pdf"));
    p.start(run,
            QStringList{"--type", "1", "--samples", "2", "--text", "AB", "--pdf", pdf} + extra);
    QVERIFY(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == 0 && QFileInfo::exists(pdf), qPrintable(err));
    // The program's start.txt names the history; its start position is only --settings'.
    QCOMPARE(readAll(settings), before);

    QStringList made;
    // The database file; SQLite's log files beside it come and go with it.
    QDirIterator files(root.path(), {QStringLiteral("*.sqlite")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        made << dir.relativeFilePath(files.next());
    if (history.isEmpty()) {
        QVERIFY2(made.isEmpty(), qPrintable(made.join(' ')));
        return;
    }
    QCOMPARE(made, QStringList{history + QStringLiteral("/history.sqlite")});
    // The history the window of that start.txt shows, and --history without options.
    QList<HistoryEntry> entries;
    QVERIFY(windowEntries(settings, &entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().record.pdfPath, pdf);
    const Run listed = batch(
        {QStringLiteral("--history"), QStringLiteral("--format"), QStringLiteral("json")}, run);
    QVERIFY2(listed.status == 0, qPrintable(listed.err));
    QCOMPARE(QJsonDocument::fromJson(listed.out).array().size(), 1);
}

void TestBatchHistory::waitingCheckedOnOpen_data()
{
    QTest::addColumn<QStringList>("args"); // as in options()
    QTest::newRow("print") << QStringList{"{print}"};
    QTest::newRow("reprint") << QStringList{"--reprint",   "1",          "--pdf",
                                            "{dir}/x.pdf", "--settings", "{settings}"};
    QTest::newRow("history") << QStringList{"--history", "--settings", "{settings}"};
}

// A job an earlier run left waiting is asked about whenever a run opens the history; a print
// server that cannot be reached is told of and changes nothing else.
void TestBatchHistory::waitingCheckedOnOpen()
{
    QFETCH(QStringList, args);
    QList<HistoryEntry> entries;
    QVERIFY(windowEntries(mSettings, &entries));
    QCOMPARE(entries.size(), 1);
    qint64 waitingId = 0;
    {
        HistoryLocation where;
        HistoryStore store;
        QString error;
        QVERIFY(historyLocationForSettings(mSettings, &where, &error));
        QVERIFY2(store.open(where, &error), qPrintable(error));
        // Sent from this PC through the print server the run below is given.
        HistoryRecord sent = entries.first().record;
        sent.queue = QStringLiteral("Lab");
        sent.cupsServer = QStringLiteral("127.0.0.1:1");
        waitingId = store.begin(sent, &error);
        QVERIFY2(waitingId > 0, qPrintable(error));
        QVERIFY2(store.finish(waitingId, JobOutcome::Waiting, QString(), 4242, &error),
                 qPrintable(error));
    }
    QStringList expanded;
    for (QString a : std::as_const(args)) {
        if (a == QLatin1String("{print}")) {
            expanded << printArgs(mDir->filePath(QStringLiteral("x.pdf")));
            continue;
        }
        a.replace(QStringLiteral("{settings}"), mSettings);
        a.replace(QStringLiteral("{dir}"), mDir->path());
        expanded << a;
    }
    const QString server = QStringLiteral("127.0.0.1:1");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), server);
    const Run r = batch(expanded, kBatch, env);
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QVERIFY2(r.err.contains(server) && r.err.contains(QStringLiteral("待機中")), qPrintable(r.err));

    QVERIFY(windowEntries(mSettings, &entries));
    bool stillWaiting = false;
    for (const HistoryEntry &e : std::as_const(entries))
        stillWaiting = stillWaiting || (e.id == waitingId && e.outcome == JobOutcome::Waiting);
    QVERIFY(stillWaiting);
}

QTEST_GUILESS_MAIN(TestBatchHistory)
#include "tst_batchhistory.moc"
