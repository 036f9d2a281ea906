// SPDX-License-Identifier: GPL-3.0-or-later
// Job files: hostile and wrong ones read in-process as the batch printer and a watched folder
// read them, and a job file printed by the real binary against the same job as options.
#include "batch/BatchJobFile.h"
#include "job/Fonts.h"
#include "support/PdfProbe.h"
#include "support/TextFiles.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace corvial;
using namespace Qt::StringLiterals;

class TestJobFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installJapaneseFontSubstitutions(); }
    void refused_data();
    void refused();
    void readAsTheOptions_data();
    void readAsTheOptions();
    void printsAsTheCommandLine();
};

void TestJobFiles::refused_data()
{
    QTest::addColumn<QByteArray>("job");  // "<fifo>": a named pipe
    QTest::addColumn<QString>("context"); // "confined", or options beside --job after --pdf
    QTest::addColumn<QString>("named");
    // Options whose command-line refusal, after its "--option: ", the job's must end with.
    QTest::addColumn<QStringList>("same");

    const auto row = [](const char *name, const QByteArray &job, const QString &named,
                        const QString &context = QString(), const QStringList &same = {}) {
        QTest::newRow(name) << job << context << named << same;
    };
    row("too large", "{\"text\": \"" + QByteArray(MaxJobFileBytes, 'A') + "\"}",
        u"--job: ジョブファイルが 1048576 バイトを超えています"_s);
    row("a FIFO", "<fifo>", u"--job: ジョブファイルを読み込めませんでした"_s);
    row("too deep", R"({"type": 2, "texts": [["A", ["B"]]]})", u"3 段を超えています（1 行 29"_s);
    row("key twice", R"({"type": 2, "samples": 3, "type": 2})", u"キー \"type\": 2 回"_s);
    row("escaped key twice", R"({"type": 2, "samples": 3, "t\u0079pe": 2})",
        u"キー \"type\": 2 回書かれています（1 行 27"_s);
    row("not UTF-8", "{\"type\": 2,\n\"text\": \"\xE6\x97\"}",
        u"UTF-8 で書かれていません（2 行目"_s);
    row("not an object", R"([{"type": 2}])", u"」: JSON のオブジェクト"_s);
    row("syntax", "{\n  \"type\": 2,\n  \"samples\" 3\n}", u"JSON として読めません（3 行 13"_s);
    row("misspelt key", R"({"type": 2, "smaples": 3})",
        u"キー \"smaples\": 知らないキーです。\"samples\" のことですか"_s);
    row("integer as a string", R"({"type": "2", "samples": 3})", u"キー \"type\": 整数で"_s);
    row("fraction", R"({"type": 2, "samples": 2.5})", u"キー \"samples\": 整数ではありません"_s);
    row("flag as a string", R"({"type": 1, "samples": 1, "frame": "true"})",
        u"キー \"frame\": true か false"_s);
    row("scale as a string", R"({"type": 2, "samples": 3, "scale-x": "100"})",
        u"キー \"scale-x\": 数"_s);
    row("word as a number", R"({"type": 6, "samples": 3, "align": 1})",
        u"キー \"align\": 文字列"_s);
    row("line not a string", R"({"type": 2, "samples": 3, "text": ["A", 1]})",
        u"キー \"text\": 2 行目が文字列ではありません"_s);
    row("half a surrogate", R"({"type": 2, "samples": 3, "font": "\ud800"})",
        u"キー \"font\": U+D800"_s);
    row("out of range", R"({"type": 2, "samples": 401})", u"のキー \"samples\": "_s, QString(),
        {u"--type=2"_s, u"--samples=401"_s});
    row("alias as written", R"({"type": 2, "samples": 3, "text-color": "Nope"})",
        u"のキー \"text-color\": "_s, QString(),
        {u"--type=2"_s, u"--samples=3"_s, u"--text-color=Nope"_s});
    row("two keys named", R"({"type": 2, "samples": 300, "repeat": 2})",
        u"\"samples\" × \"repeat\": 300 × 2"_s);
    row("alias twice", R"({"type": 2, "samples": 3, "text-colour": "Red", "text-color": "Red"})",
        u"キー \"text-color\": \"text-colour\" と同じ"_s);
    row("not a job's", R"({"type": 2, "samples": 3, "reprint": 4})", u"キー \"reprint\": ジョブ"_s);
    row("xls true", R"({"type": 2, "samples": 3, "xls": true})", u"キー \"xls\": true は"_s);
    row("confined pdf", R"({"type": 2, "samples": 3, "pdf": "a.pdf"})",
        u"キー \"pdf\": 監視フォルダー"_s, u"confined"_s);
    row("confined text file", R"({"type": 2, "samples": 3, "text-file": "/etc/hostname"})",
        u"キー \"text-file\": 監視フォルダー"_s, u"confined"_s);
    row("confined xls path", R"({"type": 2, "samples": 3, "xls": "a.xls"})",
        u"キー \"xls\": 監視フォルダー"_s, u"confined"_s);
    row("option beside", R"({"type": 2, "samples": 3})", u"--samples: --job と一緒"_s,
        u"--samples 4"_s);
    row("pdf in both", R"({"type": 2, "samples": 3, "pdf": "b.pdf"})",
        u"キー \"pdf\": --pdf と一緒"_s);
    row("texts with samples", R"({"type": 2, "samples": 2, "texts": ["AB", "CD"]})",
        u"キー \"samples\": \"texts\" と一緒"_s);
    row("texts cell too long", R"({"type": 2, "texts": ["AB", "ABCDEFGH"]})",
        u"キー \"texts\": サンプルリスト"_s + u"を読み込めませんでした"_s);
    row("texts empty row", R"({"type": 2, "texts": ["AB", "", "CD"]})", u"2 行目が空です"_s);
    row("texts line break in a line", R"({"type": 2, "texts": [["A\nB"]]})",
        u"セル A1 に改行があります"_s);
    row("texts entry a number", R"({"type": 2, "texts": ["AB", 3]})",
        u"キー \"texts\": 2 番目のサンプルが"_s);
}

void TestJobFiles::refused()
{
    QFETCH(QByteArray, job);
    QFETCH(QString, context);
    QFETCH(QString, named);
    QFETCH(QStringList, same);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"job.json"_s);
    const QString pdf = dir.filePath(u"out.pdf"_s);
    BatchCommand command;
    if (context == u"confined"_s) {
        command = parseJobFile(job, u"job.json"_s, path, {true, {u"--pdf="_s + pdf}, QString()});
    } else {
        if (job == "<fifo>")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(writeFile(path, job));
        const QStringList beside = context.split(u' ', Qt::SkipEmptyParts);
        command = parseBatchCommand(
            QStringList{u"corvial-batch"_s, u"--job"_s, path, u"--pdf"_s, pdf} + beside);
    }
    QCOMPARE(command.action, BatchCommand::Refuse);
    QVERIFY2(command.error.contains(named), qPrintable(command.error));
    if (same.isEmpty())
        return;
    const BatchCommand line =
        parseBatchCommand(QStringList{u"corvial-batch"_s, u"--pdf="_s + pdf} + same);
    QCOMPARE(line.action, BatchCommand::Refuse);
    QVERIFY2(command.error.endsWith(line.error.section(u": "_s, 1)),
             qPrintable(command.error + u'\n' + line.error));
}

// A job file's values, each spelt as JSON has it, and the options they stand for read into
// the same request; "xls": true stands for the watched folder's workbook.
void TestJobFiles::readAsTheOptions_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("xlsWhenTrue"); // given: a watched folder's job

    QTest::newRow("lines, a backslash its own")
        << QByteArray(R"({"type": 3, "samples": 2, "text": ["A", "B\\n"]})")
        << QStringList{u"-t"_s, u"3"_s, u"-n"_s, u"2"_s, u"--text"_s, u"A\\nB\\\\n"_s} << QString();
    QTest::newRow("integral spellings")
        << QByteArray(R"({"type": 2, "samples": 2.0, "first": 1e2, "repeat": 20e-1})")
        << QStringList{u"-t"_s, u"2"_s, u"-n"_s, u"2"_s, u"-f"_s, u"100"_s, u"-r"_s, u"2"_s}
        << QString();
    QTest::newRow("switches off")
        << QByteArray(R"({"type": 1, "samples": 1, "frame": false, "no-history": false})")
        << QStringList{u"-t"_s, u"1"_s, u"-n"_s, u"1"_s} << QString();
    QTest::newRow("percent") << QByteArray(
                                    R"({"type": 2, "samples": 1, "scale-x": 100.5, "scale-y": 99})")
                             << QStringList{u"-t"_s,        u"2"_s,     u"-n"_s,        u"1"_s,
                                            u"--scale-x"_s, u"100.5"_s, u"--scale-y"_s, u"99"_s}
                             << QString();
    QTest::newRow("xls true in a watched folder")
        << QByteArray(R"({"type": 2, "samples": 1, "xls": true})")
        << QStringList{u"-t"_s, u"2"_s, u"-n"_s, u"1"_s, u"--xls"_s, u"out/a.xls"_s}
        << u"out/a.xls"_s;
}

void TestJobFiles::readAsTheOptions()
{
    QFETCH(QByteArray, job);
    QFETCH(QStringList, options);
    QFETCH(QString, xlsWhenTrue);

    const QString pdf = QDir::temp().filePath(u"corvial-jobfiles.pdf"_s);
    const BatchCommand file =
        parseJobFile(job, u"job.json"_s, u"/jobs/job.json"_s,
                     {!xlsWhenTrue.isEmpty(), {u"--pdf="_s + pdf}, xlsWhenTrue});
    const BatchCommand line =
        parseBatchCommand(QStringList{u"corvial-batch"_s, u"--pdf"_s, pdf} + options);
    QVERIFY2(file.action == BatchCommand::Run, qPrintable(file.error));
    QVERIFY2(line.action == BatchCommand::Run, qPrintable(line.error));
    const auto summary = [](const BatchRequest &r) {
        const LabelJob &j = r.job;
        return QStringList{QString::number(j.sheetType.code()),
                           QString::number(j.sampleCount),
                           QString::number(j.initialValue),
                           QString::number(j.repeatCount),
                           j.proofText,
                           j.enteredText,
                           QString::number(j.frame),
                           QString::number(r.scaleXGiven),
                           QString::number(r.scaleYGiven),
                           r.xlsPath,
                           QString::number(r.noHistory)};
    };
    QCOMPARE(summary(file.request), summary(line.request));
}

// The same job as options with a list file, as a job file (with a BOM, and JSON numbers
// written as 2.0 and 1e2) and as the same file piped in pieces: the same pages.
void TestJobFiles::printsAsTheCommandLine()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(writeFile(u"list.csv"_s, "検体A,L1\n検体B,L2\n検体C\n"));
    const QByteArray job = "\xEF\xBB\xBF{\"type\": 5, \"repeat\": 2.0, \"first\": 1e2,\n"
                           " \"code\": true, \"back-color\": \"Yellow\",\n"
                           " \"texts\": [\"検体A\\nL1\", [\"検体B\", \"L2\"], [\"検体C\"]]}\n";
    QVERIFY(writeFile(u"job.json"_s, job));
    const QStringList same{u"--type"_s,  u"5"_s,      u"--repeat"_s, u"2"_s,
                           u"--first"_s, u"100"_s,    u"--code"_s,   u"--back-colour"_s,
                           u"Yellow"_s,  u"--list"_s, u"list.csv"_s};

    const auto run = [](const QStringList &args, const QList<QByteArray> &pieces) {
        QProcess p;
        p.start(QStringLiteral(CORVIAL_BATCH), args);
        if (!p.waitForStarted(30000))
            return p.errorString();
        for (const QByteArray &piece : pieces) {
            p.write(piece);
            p.waitForBytesWritten(30000);
            QTest::qWait(300);
        }
        p.closeWriteChannel();
        const bool finished = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit;
        return finished && p.exitCode() == 0 ? QString()
                                             : QString::fromUtf8(p.readAllStandardError());
    };
    QCOMPARE(run(same + QStringList{u"--pdf"_s, u"list.pdf"_s}, {}), QString());
    QCOMPARE(run({u"--job"_s, u"job.json"_s, u"--pdf"_s, u"file.pdf"_s}, {}), QString());
    // Cut inside the BOM, inside a key and inside a character of a text.
    const qsizetype inText = job.indexOf("体B") + 1;
    QCOMPARE(run({u"--job"_s, u"-"_s, u"--pdf"_s, u"piped.pdf"_s},
                 {job.left(2), job.mid(2, 20), job.mid(22, inText - 22), job.mid(inText)}),
             QString());

    const QList<QImage> reference = rasterisedPages(u"list.pdf"_s, 50);
    QVERIFY(!reference.isEmpty());
    for (const QString &pdf : {u"file.pdf"_s, u"piped.pdf"_s}) {
        const QList<QImage> pages = rasterisedPages(pdf, 50);
        QCOMPARE(pages.size(), reference.size());
        for (qsizetype i = 0; i < pages.size(); ++i)
            QCOMPARE(differingPixels(pages.at(i), reference.at(i)), 0);
    }

    // The record names the job file and its bytes, not a list.
    const BatchCommand parsed =
        parseBatchCommand({u"corvial-batch"_s, u"--job"_s, u"job.json"_s, u"--pdf"_s, u"x.pdf"_s});
    QCOMPARE(parsed.action, BatchCommand::Run);
    QCOMPARE(parsed.request.jobFile, dir.filePath(u"job.json"_s));
    QCOMPARE(
        parsed.request.jobSha256,
        QString::fromLatin1(QCryptographicHash::hash(job, QCryptographicHash::Sha256).toHex()));
    QVERIFY(parsed.request.listFile.isEmpty());
}

QTEST_MAIN(TestJobFiles)
#include "tst_jobfiles.moc"
