// SPDX-License-Identifier: GPL-3.0-or-later
// The batch printer's print history as a script uses it: every job recorded, the history
// written out as CSV and JSON, a recorded job printed again from its record, and a history
// that cannot be written stopping the job unless the script says to print without it.
#include "history/HistoryLocation.h"
#include "history/HistoryRecord.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "job/Colours.h"
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
#include <QVariant>

#include <QTest>
#include <unistd.h>

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
          const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
          const QString &folder = QString())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
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
    void ownFilesAreNoOutput_data();
    void ownFilesAreNoOutput();
    void editedRecordRefused_data();
    void editedRecordRefused();

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
    // A typo makes no history of its own: nothing named typo* may appear in the folder.
    QTest::newRow("history of a start.txt not there")
        << QStringList{"--history", "--settings", "{dir}/typo-start.txt"} << 1 << "typo-start.txt"
        << QString() << false;
    QTest::newRow("history of a database not there")
        << QStringList{"--history", "--history-db", "{dir}/typo.sqlite"} << 1 << "typo.sqlite"
        << QString() << false;
    QTest::newRow("reprint from a database not there")
        << QStringList{"--reprint",        "1", "--pdf", "{dir}/x.pdf", "--history-db",
                       "{dir}/typo.sqlite"}
        << 1 << "typo.sqlite" << QString() << false;
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
    QCOMPARE(QDir(mDir->path()).entryList({QStringLiteral("typo*")}), QStringList());
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

void TestBatchHistory::ownFilesAreNoOutput_data()
{
    QTest::addColumn<QString>("option"); // pdf, xls, list, or reprint (a reprint's --pdf)
    QTest::addColumn<QString>("name");   // as given, run in the folder of start.txt ({folder})
    QTest::addColumn<QString>("make");   // "link" or "hardlink" to its target, or nothing
    QTest::addColumn<QString>("target"); // what the link points to
    QTest::addColumn<bool>("named");     // the history is given as --history-db instead

    struct Case
    {
        const char *row;
        const char *name;
        const char *make;
        const char *target;
        bool named;
    };
    const Case cases[] = {
        {"history", "history.sqlite", "", "", false},
        {"history ./", "./history.sqlite", "", "", false},
        {"history ..", "../{folder}/history.sqlite", "", "", false},
        {"history link", "link.pdf", "link", "history.sqlite", false},
        {"history hard link", "hard.pdf", "hardlink", "history.sqlite", false},
        {"history named", "other.sqlite", "", "", true},
        {"wal not made", "history.sqlite-wal", "", "", false},
        {"shm other case", "HISTORY.SQLITE-SHM", "", "", false},
        {"journal dangling link", "dangling.pdf", "link", "history.sqlite-journal", false},
        {"corvial.ini", "corvial.ini", "", "", false},
        {"start.txt", "start.txt", "", "", false},
        {"lock not made", "start.txt.lock", "", "", false},
    };
    for (const char *option : {"pdf", "xls", "list", "reprint"}) {
        for (const Case &c : cases) {
            QTest::addRow("%s %s", option, c.row)
                << QString::fromLatin1(option) << QString::fromLatin1(c.name)
                << QString::fromLatin1(c.make) << QString::fromLatin1(c.target) << c.named;
        }
    }
}

void TestBatchHistory::ownFilesAreNoOutput()
{
    QFETCH(QString, option);
    QFETCH(QString, name);
    QFETCH(QString, make);
    QFETCH(QString, target);
    QFETCH(bool, named);
    const QDir dir(mDir->path());
    name.replace(QStringLiteral("{folder}"), QFileInfo(dir.path()).fileName());
    QFile ini(dir.filePath(QStringLiteral("corvial.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("; the lab's own settings\n[printer]\nscaleX=100.0\n");
    ini.close();
    const QString history = dir.filePath(QStringLiteral("history.sqlite"));
    if (named)
        QVERIFY(QFile::copy(history, dir.filePath(name)));
    if (make == QLatin1String("link"))
        QVERIFY(QFile::link(target, dir.filePath(name)));
    if (make == QLatin1String("hardlink"))
        QCOMPARE(::link(QFile::encodeName(dir.filePath(target)).constData(),
                        QFile::encodeName(dir.filePath(name)).constData()),
                 0);
    const QStringList kept = {history, mSettings, ini.fileName(), dir.filePath(name)};
    const bool existed = QFileInfo(dir.filePath(name)).exists();
    QList<QByteArray> before;
    for (const QString &file : kept)
        before << readAll(file);

    QStringList args = option == QLatin1String("reprint")
                           ? QStringList{QStringLiteral("--reprint"),  QStringLiteral("1"),
                                         QStringLiteral("--settings"), mSettings,
                                         QStringLiteral("--pdf"),      name}
                           : printArgs(dir.filePath(QStringLiteral("x.pdf")));
    if (option == QLatin1String("pdf"))
        args.last() = name;
    if (option == QLatin1String("xls"))
        args << QStringLiteral("--xls") << name;
    if (option == QLatin1String("list"))
        args[args.indexOf(mList)] = name;
    if (named)
        args << QStringLiteral("--history-db") << dir.filePath(name);
    const Run r = batch(args, kBatch, QProcessEnvironment::systemEnvironment(), dir.path());
    QVERIFY2(r.status == 2, qPrintable(QString::number(r.status) + r.err));
    const QString shown = option == QLatin1String("reprint") ? QStringLiteral("pdf") : option;
    QVERIFY2(r.err.contains(QStringLiteral("--") + shown), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("x.pdf"))));
    for (int i = 0; i < kept.size(); ++i)
        QVERIFY2(readAll(kept.at(i)) == before.at(i), qPrintable(kept.at(i)));
    // A name not made yet is still not made.
    QCOMPARE(QFileInfo(dir.filePath(name)).exists(), existed);
    QList<HistoryEntry> entries;
    QVERIFY(windowEntries(mSettings, &entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().record.sampleTexts, kSamples);
}

void TestBatchHistory::editedRecordRefused_data()
{
    QTest::addColumn<QString>("field");  // what the hand changed in the record of init()
    QTest::addColumn<QVariant>("value"); // what it wrote there
    QTest::addColumn<QString>("rule");   // part of the refusal that names the rule

    const QString label = QStringLiteral("ラベル数は");
    QTest::newRow("repeat 0") << "repeat" << QVariant(0) << label;
    QTest::newRow("repeat 99") << "repeat" << QVariant(99) << label;
    QTest::newRow("repeat on a memo type") << "memo repeat" << QVariant(2) << "1 枚だけ";
    QTest::newRow("401 samples") << "samples" << QVariant(MaxSampleCount + 1) << "サンプル数は";
    QTest::newRow("first number 10000") << "first" << QVariant(10000) << "最初の番号";
    QTest::newRow("43 characters on type 5")
        << "type 5 text" << QVariant(QString(43, QLatin1Char('A'))) << "バイトまで";
    QTest::newRow("U+202E") << "text" << QVariant(QStringLiteral("AB\u202ECD"))
                            << "印刷できない文字";
    QTest::newRow("unknown marker") << "marker" << QVariant(QStringLiteral("毒")) << "の印では";
    QTest::newRow("text colour 9") << "text colour" << QVariant(TextColourCount) << "文字の色";
    QTest::newRow("font 1e9 points") << "font points" << QVariant(1e9) << "文字の大きさは";
    QTest::newRow("font -5 points") << "font points" << QVariant(-5.0) << "文字の大きさ -5";
    QTest::newRow("texts of no sample") << "no texts" << QVariant() << "文字が 0 検体分";
    QTest::newRow("code prefix too long")
        << "prefix" << QVariant(QStringLiteral("ABCDEFGHIJ")) << "頭文字";
    QTest::newRow("code on a memo type") << "memo code" << QVariant(true) << "場所がありません";
    QTest::newRow("number style unknown")
        << "style" << QVariant(QStringLiteral("roman")) << "番号の書き方";
}

void TestBatchHistory::editedRecordRefused()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, rule);
    QList<HistoryEntry> entries;
    QVERIFY(windowEntries(mSettings, &entries));
    HistoryRecord r = entries.first().record;
    const auto fill = [&r](int samples, const QString &text) {
        r.samples = samples;
        r.sampleTexts = QStringList();
        for (int i = 0; i < samples; ++i)
            r.sampleTexts << text;
    };
    // A memo type prints no codes and one label per sample; the rest of the record fits it.
    if (field.startsWith(QLatin1String("memo "))) {
        r.sheetType = 3;
        fill(r.samples, QStringLiteral("MEMO"));
    }
    if (field.endsWith(QLatin1String("repeat")))
        r.repeat = value.toInt();
    else if (field == QLatin1String("samples"))
        fill(value.toInt(), QStringLiteral("S"));
    else if (field == QLatin1String("first"))
        r.firstNumber = value.toInt();
    else if (field == QLatin1String("type 5 text")) {
        r.sheetType = 5;
        fill(r.samples, value.toString());
    } else if (field == QLatin1String("text"))
        fill(r.samples, value.toString());
    else if (field == QLatin1String("marker")) {
        r.sheetType = 4;
        r.marker = value.toString();
        fill(r.samples, value.toString());
    } else if (field == QLatin1String("text colour"))
        r.textColour = value.toInt();
    else if (field == QLatin1String("font points"))
        r.fontPoints = value.toDouble();
    else if (field == QLatin1String("prefix")) {
        r.code = true;
        r.codePrefix = value.toString();
    } else if (field.endsWith(QLatin1String("code")))
        r.code = value.toBool();
    else if (field == QLatin1String("style"))
        r.numberStyle = value.toString();
    else if (field == QLatin1String("no texts"))
        r.sampleTexts.clear();
    qint64 id = 0;
    {
        HistoryLocation where;
        HistoryStore store;
        QString error;
        QVERIFY(historyLocationForSettings(mSettings, &where, &error));
        QVERIFY2(store.open(where, &error), qPrintable(error));
        id = store.begin(r, &error);
        QVERIFY2(id > 0, qPrintable(error));
        QVERIFY2(store.finish(id, JobOutcome::Printed, QString(), 0, &error), qPrintable(error));
    }
    const QByteArray settingsBefore = readAll(mSettings);
    const QString pdf = mDir->filePath(QStringLiteral("again.pdf"));
    const Run run = batch({QStringLiteral("--reprint"), QString::number(id),
                           QStringLiteral("--settings"), mSettings, QStringLiteral("--pdf"), pdf});
    QVERIFY2(run.status == 2, qPrintable(QString::number(run.status) + run.err));
    QVERIFY2(run.err.contains(QStringLiteral("履歴 %1 ").arg(id)) && run.err.contains(rule),
             qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(pdf));
    QCOMPARE(readAll(mSettings), settingsBefore);
    QVERIFY(windowEntries(mSettings, &entries));
    QCOMPARE(entries.size(), 2);
}

QTEST_GUILESS_MAIN(TestBatchHistory)
#include "tst_batchhistory.moc"
