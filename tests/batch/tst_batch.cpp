// SPDX-License-Identifier: GPL-3.0-or-later
// The batch printer as a script runs it: the real binary, its exit status and messages, and
// what it leaves behind (PDF, workbook, start.txt), compared with what the window makes of
// the same job.
#include "window/WindowSupport.h"

#include "barcode/CodeRules.h"
#include "export/WorkbookExport.h"
#include "export/XlsCrtLibrary.h"
#include "job/Colours.h"
#include "job/Fonts.h"
#include "job/PrinterScale.h"
#include "print/LabelGeometry.h"
#include "print/PrintJob.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLock.h"
#include "support/PdfProbe.h"
#include "support/SheetTypeOf.h"

#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QLockFile>
#include <QPageLayout>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QToolButton>

using namespace corvial;
using namespace Qt::StringLiterals;

namespace {

const QString kBatch = QStringLiteral(CORVIAL_BATCH);
const QDate kExportDate(2026, 12, 7);
constexpr int kPdfDpi = 600;
constexpr int kRasterDpi = 50;
const QByteArray kDefaultSettings = "10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n";

struct Run
{
    int status = -1; // -1: did not finish or crashed
    QString out;
    QString err;
};

// The batch printer, or with a redirect, the batch printer started by sh with that after its
// arguments (to close or replace standard input, or to give a name as raw bytes) in folder.
Run runBatch(const QStringList &args, const QByteArray &input = QByteArray(),
             const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
             const QString &redirect = QString(), const QString &folder = QString())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    if (redirect.isEmpty())
        p.start(kBatch, args);
    else
        p.start(QStringLiteral("/bin/sh"),
                QStringList{QStringLiteral("-c"), u"exec \"$0\" \"$@\" "_s + redirect, kBatch} +
                    args);
    Run r;
    if (!p.waitForStarted(30000)) {
        r.err = p.errorString();
        return r;
    }
    p.write(input);
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(120000);
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    if (finished && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    return r;
}

QString describe(const Run &r)
{
    return QStringLiteral("status %1\nstdout: %2\nstderr: %3").arg(r.status).arg(r.out, r.err);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

int pdfPages(const QString &pdf)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Every page of the PDF at kRasterDpi, in page order.
QList<QImage> rasterise(const QString &pdf)
{
    return rasterisedPages(pdf, kRasterDpi);
}

// Top-left corner of everything that is not white on the page.
QPoint inkTopLeft(const QImage &img)
{
    int left = img.width();
    int top = img.height();
    for (int y = 0; y < img.height(); ++y) {
        const QRgb *p = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qRed(p[x]) < 230 || qGreen(p[x]) < 230 || qBlue(p[x]) < 230) {
                left = qMin(left, x);
                top = qMin(top, y);
            }
        }
    }
    return QPoint(left, top);
}

// One job as both the window and the batch are given it.
struct Job
{
    int type = 1;
    int samples = 1;
    int repeat = 1;
    int first = 1;
    bool plain = false;
    QString text;
    int marker = -1; // 0..3 for type 4
    QString back;    // colour names; empty = as the window leaves them
    QString fore;
    bool frame = false;
    int align = 1; // 1 left, 2 centre, 3 right
    bool exportBook = false;
};

QStringList batchArguments(const Job &job)
{
    QStringList a{QStringLiteral("--type"), QString::number(job.type), QStringLiteral("--samples"),
                  QString::number(job.samples)};
    if (job.repeat != 1)
        a << QStringLiteral("--repeat") << QString::number(job.repeat);
    if (job.first != 1)
        a << QStringLiteral("--first") << QString::number(job.first);
    if (job.plain)
        a << QStringLiteral("--number-style") << QStringLiteral("plain");
    if (job.marker >= 0)
        a << QStringLiteral("--marker") << QString::number(job.marker + 1);
    else
        a << QStringLiteral("--text") << job.text;
    if (!job.back.isEmpty())
        a << QStringLiteral("--back-colour") << job.back;
    if (!job.fore.isEmpty())
        a << QStringLiteral("--text-colour") << job.fore;
    if (job.frame)
        a << QStringLiteral("--frame");
    if (job.align != 1)
        a << QStringLiteral("--align")
          << (job.align == 2 ? QStringLiteral("centre") : QStringLiteral("right"));
    return a;
}

struct WindowResult
{
    int startPos = 0;
    int initialValue = 0;
    QStringList errors;
};

// Enters the job into a real main window over folder dir (holding start.txt), presses
// PrintSet, sets the print screen, exports (when asked) and prints.
WindowResult runWindow(const Job &job, const QString &dir, const QString &pdf, const QString &xls)
{
    auto dialogs = std::make_shared<PdfDialogs>();
    dialogs->pdfPath = pdf;
    dialogs->dpi = kPdfDpi;
    dialogs->saveName = xls;
    MainWindowEnvironment env;
    env.appDir = dir;
    env.dialogs = dialogs;
    env.today = [] { return kExportDate; };
    TfrmMain w(env);

    if (job.type != 1)
        chooseType(w, job.type);
    clickRow(w.ListBox2, job.samples - 1);
    if (job.repeat > 1)
        clickRow(w.ListBox1, job.repeat - 1);
    if (job.first != 1)
        clickRow(w.ListBox12, job.first - 1);
    if (job.plain)
        w.N3->trigger();
    if (job.marker >= 0)
        w.RadioGroup1Items[job.marker]->click();
    else if (job.type == 1)
        w.Edit2->setText(job.text);
    else if (job.type == 3)
        w.Memo5->setPlainText(job.text);
    else
        w.Memo8->setPlainText(job.text);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);

    if (!job.back.isEmpty())
        clickRow(w.ListBox19, int(backColourNames().indexOf(job.back)));
    if (!job.fore.isEmpty())
        clickRow(w.ListBox21, int(textColourNames().indexOf(job.fore)));
    if (job.frame)
        w.CheckBox1->click();
    if (job.align == 2)
        w.RadioButton7->click();
    else if (job.align == 3)
        w.RadioButton8->click();
    if (job.exportBook)
        QTest::mouseClick(w.cmdExcel, Qt::LeftButton);
    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
    // The window prints away from its thread; the test waits for the end.
    const bool ended = QTest::qWaitFor([&w] { return !w.isBusy(); }, 30000);

    WindowResult r;
    if (!ended)
        r.errors << QStringLiteral("the window's print did not end");
    r.startPos = w.editor().startPos[FamilyOfType(job.type)];
    r.initialValue = w.editor().initialValue;
    r.errors = dialogs->errors;
    return r;
}

// Everything of a folder except what pdftoppm made there.
QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

Q_DECLARE_METATYPE(Job)

class TestBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void refused_data();
    void refused();
    void limitsKept_data();
    void limitsKept();
    void sameAsWindow_data();
    void sameAsWindow();
    void textSources_data();
    void textSources();
    void inputsRefused_data();
    void inputsRefused();
    void failedPrintSavesNothing();
    void failedExportPrintsNothing();
    void savedScale_data();
    void savedScale();
    void savedScaleAsWritten_data();
    void savedScaleAsWritten();
    void settingsHeldElsewhere_data();
    void settingsHeldElsewhere();
    void settingsMissing();
    void unknownPrinter();
    void runsWithoutDisplay();
    void latinFontsRefuseWhatTheyCannotDraw_data();
    void latinFontsRefuseWhatTheyCannotDraw();
    void helpListsTheOptions();
    void typeListsFollowTheTable_data();
    void typeListsFollowTheTable();
};

void TestBatch::initTestCase()
{
    QVERIFY2(QFileInfo(kBatch).isExecutable(), qPrintable(kBatch));
    installJapaneseFontSubstitutions();
}

void TestBatch::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("option");

    const QString pdf = QStringLiteral("@pdf");
    auto job = [&](std::initializer_list<QString> extra) {
        QStringList a{QStringLiteral("--pdf"), pdf};
        for (const QString &e : extra)
            a << e;
        return a;
    };
    const QString t = QStringLiteral("--type");
    const QString n = QStringLiteral("--samples");
    const QString text = QStringLiteral("--text");

    QTest::newRow("type 0") << job({t, "0", n, "1"}) << "--type";
    QTest::newRow("type 11") << job({t, "11", n, "1"}) << "--type";
    QTest::newRow("type missing") << job({n, "1"}) << "--type";
    QTest::newRow("type not a number") << job({t, "2a", n, "1"}) << "--type";
    QTest::newRow("type twice") << job({t, "2", t, "3", n, "1"}) << "--type";
    QTest::newRow("samples 0") << job({t, "1", n, "0"}) << "--samples";
    QTest::newRow("samples 401") << job({t, "1", n, "401"}) << "--samples";
    QTest::newRow("samples missing") << job({t, "1"}) << "--samples";
    QTest::newRow("81 x 5 labels")
        << job({t, "1", n, "81", "--repeat", "5"})
        << "プリントラベル数が４００を越えていますので、再設定お願いいたします。";
    QTest::newRow("201 x 2 labels") << job({t, "8", n, "201", "--repeat", "2"}) << "--repeat";
    QTest::newRow("repeat 6") << job({t, "1", n, "1", "--repeat", "6"}) << "--repeat";
    QTest::newRow("repeat 0") << job({t, "1", n, "1", "--repeat", "0"}) << "--repeat";
    QTest::newRow("repeat on a memo type") << job({t, "3", n, "2", "--repeat", "2"}) << "--repeat";
    QTest::newRow("first 10000") << job({t, "2", n, "1", "--first", "10000"}) << "--first";
    QTest::newRow("first -1") << job({t, "2", n, "1", "--first", "-1"}) << "--first";
    QTest::newRow("first on a memo type") << job({t, "7", n, "1", "--first", "5"}) << "--first";
    QTest::newRow("number style") << job({t, "2", n, "1", "--number-style", "0000"})
                                  << "--number-style";
    QTest::newRow("type 1, 6 bytes") << job({t, "1", n, "1", text, "ABCDEF"}) << "--text";
    QTest::newRow("type 1, 3 full-width") << job({t, "1", n, "1", text, "検体Ａ"}) << "--text";
    QTest::newRow("type 1, two lines") << job({t, "1", n, "1", text, "AB\\nC"}) << "--text";
    QTest::newRow("type 2, 8 bytes") << job({t, "2", n, "1", text, "AB\\n12345678"}) << "--text";
    QTest::newRow("type 2, 4 full-width") << job({t, "2", n, "1", text, "検体検体"}) << "--text";
    QTest::newRow("type 2, three lines") << job({t, "2", n, "1", text, "A\nB\nC"}) << "--text";
    QTest::newRow("type 2, empty third line with text later")
        << job({t, "2", n, "1", text, "A\nB\n\n\n\n\nC"}) << "--text";
    QTest::newRow("type 9, 13 bytes in line 3")
        << job({t, "9", n, "1", text, "A\\nB\\n1234567890123"}) << "--text";
    QTest::newRow("type 9, four lines") << job({t, "9", n, "1", text, "A\\nB\\nC\\nD"}) << "--text";
    QTest::newRow("type 8, 49 bytes and a break")
        << job({t, "8", n, "1", text, "123456789012345\\n123456789012345\\n123456789012345\\n"})
        << "--text";
    QTest::newRow("type 3, 11 bytes") << job({t, "3", n, "1", text, "12345678901"}) << "--text";
    QTest::newRow("type 3, five lines")
        << job({t, "3", n, "1", text, "1\\n2\\n3\\n4\\n5"}) << "--text";
    QTest::newRow("no Shift-JIS form") << job({t, "2", n, "1", text, "caf\u00e9"}) << "--text";
    QTest::newRow("text on the marker type")
        << job({t, "4", n, "1", text, "A", "--marker", "1"}) << "--text";
    QTest::newRow("text and text file")
        << job({t, "2", n, "1", text, "A", "--text-file", "@txt"}) << "--text-file";
    QTest::newRow("text file missing")
        << job({t, "2", n, "1", "--text-file", "@none"}) << "--text-file";
    QTest::newRow("text file not UTF-8")
        << job({t, "2", n, "1", "--text-file", "@latin1"}) << "--text-file";
    QTest::newRow("text file over the limit")
        << job({t, "2", n, "1", "--text-file", "@long"}) << "--text-file";
    QTest::newRow("unknown text colour")
        << job({t, "2", n, "1", "--text-colour", "Purple"}) << "--text-colour";
    QTest::newRow("text colour of the other list")
        << job({t, "2", n, "1", "--text-colour", "SkyBlue"}) << "--text-colour";
    QTest::newRow("unknown background")
        << job({t, "2", n, "1", "--back-colour", "Black"}) << "--back-colour";
    QTest::newRow("marker 0") << job({t, "4", n, "1", "--marker", "0"}) << "--marker";
    QTest::newRow("marker 5") << job({t, "4", n, "1", "--marker", "5"}) << "--marker";
    QTest::newRow("marker missing") << job({t, "4", n, "1"}) << "--marker";
    QTest::newRow("marker on a text type") << job({t, "2", n, "1", "--marker", "1"}) << "--marker";
    QTest::newRow("frame on a rectangle") << job({t, "2", n, "1", "--frame"}) << "--frame";
    QTest::newRow("alignment without a choice")
        << job({t, "5", n, "1", "--align", "right"}) << "--align";
    QTest::newRow("alignment unknown") << job({t, "6", n, "1", "--align", "up"}) << "--align";
    QTest::newRow("unknown font") << job({t, "2", n, "1", "--font", "No Such Face 42"}) << "--font";
    QTest::newRow("start 61 on a rectangle") << job({t, "2", n, "1", "--start", "61"}) << "--start";
    QTest::newRow("start 0") << job({t, "1", n, "1", "--start", "0"}) << "--start";
    QTest::newRow("offset 21") << job({t, "1", n, "1", "--offset-x", "21"}) << "--offset-x";
    QTest::newRow("offset with settings")
        << job({t, "1", n, "1", "--offset-y", "3", "--settings", "@settings"}) << "--offset-y";
    QTest::newRow("start with settings")
        << job({t, "1", n, "1", "--start", "3", "--settings", "@settings"}) << "--start";
    QTest::newRow("resolution 50") << job({t, "1", n, "1", "--resolution", "50"}) << "--resolution";
    QTest::newRow("scale above the range")
        << job({t, "2", n, "1", "--scale-x", "103.1"}) << "--scale-x";
    QTest::newRow("scale finer than a tenth")
        << job({t, "2", n, "1", "--scale-y", "99.95"}) << "--scale-y";
    QTest::newRow("scale given twice")
        << job({t, "2", n, "1", "--scale-x", "101", "--scale-x", "99"}) << "--scale-x";
    QTest::newRow("xls of a memo type") << job({t, "3", n, "1", "--xls", "@xls"}) << "--xls";
    QTest::newRow("xls of a text-only type") << job({t, "10", n, "1", "--xls", "@xls"}) << "--xls";
    QTest::newRow("xls of the marker type")
        << job({t, "4", n, "1", "--marker", "2", "--xls", "@xls"}) << "--xls";
    QTest::newRow("no output") << QStringList{t, "2", n, "1"} << "--pdf";
    QTest::newRow("pdf and printer") << job({t, "2", n, "1", "--printer", "lab"}) << "--printer";
    QTest::newRow("resolution on a printer")
        << QStringList{t, "2", n, "1", "--printer", "lab", "--resolution", "300"} << "--resolution";
    QTest::newRow("code on a memo type") << job({t, "3", n, "1", "--code"}) << "--code";
    QTest::newRow("code on round labels") << job({t, "1", n, "1", "--code"}) << "--code";
    QTest::newRow("code prefix without code")
        << job({t, "5", n, "1", "--code-prefix", "AB"}) << "--code-prefix";
    QTest::newRow("code prefix in Japanese")
        << job({t, "5", n, "1", "--code", "--code-prefix", "ラボ"}) << "--code-prefix";
    QTest::newRow("code prefix with a blank")
        << job({t, "8", n, "1", "--code", "--code-prefix", "A B"}) << "--code-prefix";
    QTest::newRow("code prefix too long for the type")
        << job({t, "6", n, "1", "--code", "--code-prefix", "ABCDEFG"}) << "--code-prefix";
    QTest::newRow("codes at 96 dpi")
        << job({t, "5", n, "1", "--code", "--resolution", "96"}) << "--resolution";
    QTest::newRow("unknown option") << job({t, "2", n, "1", "--colour", "Red"}) << "colour";
    QTest::newRow("stray argument") << job({t, "2", n, "1", "extra"}) << "extra";
}

void TestBatch::refused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, option);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(settings, kDefaultSettings));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("text.txt")), "AB\n"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("latin1.txt")), "caf\xe9\n"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("long.txt")), "1234567\n12345678\n"));
    const QHash<QString, QString> files{
        {QStringLiteral("@pdf"), dir.filePath(QStringLiteral("out.pdf"))},
        {QStringLiteral("@xls"), dir.filePath(QStringLiteral("out.xls"))},
        {QStringLiteral("@txt"), dir.filePath(QStringLiteral("text.txt"))},
        {QStringLiteral("@none"), dir.filePath(QStringLiteral("none.txt"))},
        {QStringLiteral("@latin1"), dir.filePath(QStringLiteral("latin1.txt"))},
        {QStringLiteral("@long"), dir.filePath(QStringLiteral("long.txt"))},
        {QStringLiteral("@settings"), settings},
    };
    for (QString &a : args)
        a = files.value(a, a);
    const QStringList before = folderEntries(dir.path());

    const Run r = runBatch(args);
    QVERIFY2(r.status == 2, qPrintable(describe(r)));
    QVERIFY2(r.err.contains(option), qPrintable(describe(r)));
    QVERIFY2(r.out.isEmpty(), qPrintable(describe(r)));
    // Nothing printed, exported or saved.
    QCOMPARE(folderEntries(dir.path()), before);
    QCOMPARE(readAll(settings), kDefaultSettings);
}

void TestBatch::limitsKept_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("summary");

    auto row = [](const char *name, QStringList args, const char *summary) {
        QTest::newRow(name) << args << QString::fromUtf8(summary);
    };
    // Exactly at every limit: the batch must not be stricter than the window.
    row("400 labels", {"-t", "1", "-n", "80", "-r", "5", "--text", "ABCDE"},
        "3 枚、400 ラベル、次の開始位置 101、次の番号 81");
    row("type 1, 5 bytes mixed", {"-t", "1", "-n", "1", "--text", "検体A"},
        "1 枚、1 ラベル、次の開始位置 2、次の番号 2");
    row("type 2, 7 + 6 bytes", {"-t", "2", "-n", "2", "--text", "1234567\\n検体Ａ"},
        "1 枚、2 ラベル、次の開始位置 3、次の番号 3");
    row("type 2, empty third line", {"-t", "2", "-n", "1", "--text", "AB\\nCD\\n"},
        "1 枚、1 ラベル、次の開始位置 2、次の番号 2");
    row("type 9, 3 x 12 bytes",
        {"-t", "9", "-n", "72", "--text", "123456789012\\n123456789012\\n検体検体検体"},
        "1 枚、72 ラベル、次の開始位置 1、次の番号 73");
    row("type 8, 49 bytes",
        {"-t", "8", "-n", "73", "--text", "123456789012345\\n123456789012345\\n123456789012345"},
        "2 枚、73 ラベル、次の開始位置 2、次の番号 74");
    row("type 3, 4 x 10 bytes",
        {"-t", "3", "-n", "1", "--text", "1234567890\\n検体検体検\\nABCDEFGHIJ\\n1234567890"},
        "1 枚、1 ラベル、次の開始位置 2、次の番号 なし");
    row("type 7, alignment right",
        {"-t", "7", "-n", "95", "--start", "95", "--align", "right", "--text", "123456789012"},
        "2 枚、95 ラベル、次の開始位置 95、次の番号 なし");
    row("first 0", {"-t", "5", "-n", "3", "--first", "0", "--text", "A"},
        "1 枚、3 ラベル、次の開始位置 4、次の番号 3");
    row("first 9999 wraps", {"-t", "6", "-n", "2", "--first", "9999", "--text", "A"},
        "1 枚、2 ラベル、次の開始位置 3、次の番号 1");
    row("marker by name", {"-t", "4", "-n", "1", "--marker", "danger"},
        "1 枚、1 ラベル、次の開始位置 2、次の番号 なし");
    row("marker by its text", {"-t", "4", "-n", "1", "--marker", "注意"},
        "1 枚、1 ラベル、次の開始位置 2、次の番号 なし");
    row("marker -20", {"-t", "4", "-n", "1", "--marker=-20"},
        "1 枚、1 ラベル、次の開始位置 2、次の番号 なし");
    row("colour names in any case",
        {"-t", "2", "-n", "1", "--back-colour", "skyblue", "--text-color", "WHITE"},
        "1 枚、1 ラベル、次の開始位置 2、次の番号 2");
    row("last position", {"-t", "10", "-n", "1", "--start", "72", "--text", "A"},
        "1 枚、1 ラベル、次の開始位置 1、次の番号 なし");
}

void TestBatch::limitsKept()
{
    QFETCH(QStringList, args);
    QFETCH(QString, summary);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const Run r = runBatch(args << QStringLiteral("--pdf") << pdf << QStringLiteral("--resolution")
                                << QStringLiteral("72"));
    QVERIFY2(r.status == 0, qPrintable(describe(r)));
    QCOMPARE(r.out, QStringLiteral("印刷しました: ") + summary + QLatin1Char('\n'));
    QVERIFY(QFileInfo(pdf).size() > 0);
}

void TestBatch::sameAsWindow_data()
{
    QTest::addColumn<Job>("job");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("sheets");
    QTest::addColumn<QString>("warning");

    Job circle;
    circle.type = 1;
    circle.samples = 80;
    circle.repeat = 5;
    circle.first = 9990;
    circle.plain = true;
    circle.text = QStringLiteral("ABC");
    circle.back = QStringLiteral("SkyBlue");
    circle.fore = QStringLiteral("Red");
    circle.frame = true;
    circle.exportBook = true;
    QTest::newRow("circle, 400 labels from 150, framed, offsets")
        << circle << QByteArray("12,8,150\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\nlab 3\r\n") << 4
        << QString();

    Job tube;
    tube.type = 9;
    tube.samples = 200;
    tube.repeat = 2;
    tube.first = 98;
    tube.text = QStringLiteral("検体A\nLot 42\n棚3");
    tube.back = QStringLiteral("Yellow");
    tube.fore = QStringLiteral("Blue");
    tube.align = 3;
    tube.exportBook = true;
    QTest::newRow("tube 72 short, 400 labels, right, malformed line")
        << tube << QByteArray("10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10\r\n") << 6
        << settingsWarningText({4});

    Job marker;
    marker.type = 4;
    marker.samples = 400;
    marker.marker = 3;
    QTest::newRow("marker, 400 labels from 60")
        << marker << QByteArray("10,10,1\r\n20,0,60\r\n10,10,1\r\n10,10,1\r\n\r\n") << 8
        << QString();

    Job memo;
    memo.type = 3;
    memo.samples = 30;
    memo.text = QStringLiteral("－８０℃\n保管\n棚 3\n箱 12");
    memo.back = QStringLiteral("Silver");
    QTest::newRow("memo, four lines") << memo << kDefaultSettings << 1 << QString();

    Job rect;
    rect.type = 2;
    rect.samples = 61;
    rect.text = QStringLiteral("検体AB");
    rect.back = QStringLiteral("Lime");
    rect.exportBook = true;
    QTest::newRow("rectangle, one line, two sheets") << rect << kDefaultSettings << 2 << QString();

    Job tube95;
    tube95.type = 6;
    tube95.samples = 100;
    tube95.text = QStringLiteral("1234567890\n血清");
    tube95.back = QStringLiteral("Aqua");
    tube95.align = 2;
    tube95.plain = true;
    tube95.exportBook = true;
    QTest::newRow("tube 95 short, centred, plain")
        << tube95 << QByteArray("10,10,1\r\n10,10,1\r\n0,20,2\r\n10,10,1\r\nx\r\n") << 2
        << QString();

    Job textOnly;
    textOnly.type = 10;
    textOnly.samples = 5;
    textOnly.text = QStringLiteral("A\nB\nC");
    textOnly.back = QStringLiteral("Green");
    textOnly.fore = QStringLiteral("White");
    QTest::newRow("tube 72 text only") << textOnly << kDefaultSettings << 1 << QString();
}

void TestBatch::sameAsWindow()
{
    QFETCH(Job, job);
    QFETCH(QByteArray, settings);
    QFETCH(int, sheets);
    QFETCH(QString, warning);

    QTemporaryDir windowDir;
    QTemporaryDir batchDir;
    QVERIFY(windowDir.isValid() && batchDir.isValid());
    const QString windowSettings = windowDir.filePath(QStringLiteral("start.txt"));
    const QString batchSettings = batchDir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(windowSettings, settings));
    QVERIFY(writeFile(batchSettings, settings));
    const QString windowPdf = windowDir.filePath(QStringLiteral("window.pdf"));
    const QString batchPdf = batchDir.filePath(QStringLiteral("batch.pdf"));
    const QString windowXls = windowDir.filePath(QStringLiteral("window.xls"));
    const QString batchXls = batchDir.filePath(QStringLiteral("batch.xls"));

    const WindowResult window = runWindow(job, windowDir.path(), windowPdf, windowXls);
    QVERIFY2(window.errors.isEmpty(), qPrintable(window.errors.join(QLatin1Char('\n'))));

    QStringList args = batchArguments(job);
    args << QStringLiteral("--settings") << batchSettings << QStringLiteral("--pdf") << batchPdf;
    if (job.exportBook)
        args << QStringLiteral("--xls") << batchXls << QStringLiteral("--export-date")
             << kExportDate.toString(Qt::ISODate);
    const Run r = runBatch(args);
    QVERIFY2(r.status == 0, qPrintable(describe(r)));

    // The one line for scripts, with the numbers the window moved on to.
    const QString next =
        isNumberedType(job.type) ? QString::number(window.initialValue) : QStringLiteral("なし");
    QCOMPARE(r.out, QStringLiteral("印刷しました: %1 枚、%2 ラベル、次の開始位置 %3、次の番号 %4\n")
                        .arg(sheets)
                        .arg(job.samples * job.repeat)
                        .arg(window.startPos)
                        .arg(next));
    // Only the platform may speak up on stderr (Qt notes a missing XDG_RUNTIME_DIR).
    if (warning.isEmpty())
        QVERIFY2(!r.err.contains(QLatin1String("corvial-batch")), qPrintable(r.err));
    else
        QVERIFY2(r.err.contains(warning), qPrintable(r.err));

    // start.txt as the window leaves it after the print, byte for byte.
    QCOMPARE(readAll(batchSettings), readAll(windowSettings));
    QVERIFY(readAll(batchSettings) != settings);

    if (job.exportBook) {
        const QByteArray book = readAll(batchXls);
        QVERIFY(book.size() > 512);
        QVERIFY2(book == readAll(windowXls), "the workbooks differ");
    } else {
        QVERIFY(!QFileInfo::exists(batchXls));
    }

    QCOMPARE(pdfPages(batchPdf), sheets);
    QCOMPARE(pdfPages(windowPdf), sheets);
    const QList<QImage> batchPages = rasterise(batchPdf);
    const QList<QImage> windowPages = rasterise(windowPdf);
    QCOMPARE(batchPages.size(), sheets);
    QCOMPARE(windowPages.size(), sheets);
    for (int i = 0; i < sheets; ++i) {
        const int diff = differingPixels(batchPages.at(i), windowPages.at(i));
        QVERIFY2(diff == 0,
                 qPrintable(QStringLiteral("page %1: %2 pixels differ").arg(i + 1).arg(diff)));
    }

    // And where the ink starts on the first sheet: the first printed label of the first row
    // it uses, measured from the corner of the A4 sheet, shifted by the family's offsets.
    const int family = FamilyOfType(job.type);
    const SettingsLoad load = parseSettings(settings);
    const FamilySettings &fs = load.settings.family[family];
    const LabelPositions pos = ComputeLabelPositions(familyInfo(family), fs.offsetX, fs.offsetY);
    const QVector<SheetRun> runs =
        splitJob(job.samples * job.repeat, fs.startPos, LabelsPerSheet(job.type));
    int left = INT_MAX;
    for (int s = runs.at(0).firstPos; s <= runs.at(0).lastPos; ++s)
        left = qMin(left, pos.labelX[s]);
    const QPoint expected(dotsFor(left, kRasterDpi), dotsFor(pos.labelY[fs.startPos], kRasterDpi));
    const QPoint ink = inkTopLeft(batchPages.at(0));
    QVERIFY2((ink - expected).manhattanLength() <= 3,
             qPrintable(QStringLiteral("ink from (%1, %2), the labels start at (%3, %4)")
                            .arg(ink.x())
                            .arg(ink.y())
                            .arg(expected.x())
                            .arg(expected.y())));
}

void TestBatch::textSources_data()
{
    QTest::addColumn<QStringList>("source");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("labelText");

    const QString one = QStringLiteral("検体A 2024");
    const QString two = QStringLiteral("検体A\n2024");
    const QStringList fromFile{QStringLiteral("--text-file"), QStringLiteral("@file")};
    // One line: a line break kept by mistake would make it two lines in the workbook.
    QTest::newRow("option, one line")
        << QStringList{QStringLiteral("--text"), one} << QByteArray() << QByteArray() << one;
    QTest::newRow("file, LF") << fromFile << QByteArray() << QByteArray("検体A 2024\n") << one;
    QTest::newRow("file, CR LF and BOM")
        << fromFile << QByteArray() << QByteArray("\xef\xbb\xbf検体A 2024\r\n") << one;
    QTest::newRow("file, no line end")
        << fromFile << QByteArray() << QByteArray("検体A 2024") << one;
    QTest::newRow("standard input")
        << QStringList{QStringLiteral("--text-file"), QStringLiteral("-")}
        << QByteArray("検体A 2024\n") << QByteArray() << one;
    QTest::newRow("option, escaped break")
        << QStringList{QStringLiteral("--text"), QStringLiteral("検体A\\n2024")} << QByteArray()
        << QByteArray() << two;
    QTest::newRow("option, real break")
        << QStringList{QStringLiteral("--text"), two} << QByteArray() << QByteArray() << two;
    QTest::newRow("option, escaped backslash")
        << QStringList{QStringLiteral("--text"), QStringLiteral("A\\\\nB")} << QByteArray()
        << QByteArray() << QStringLiteral("A\\nB");
    QTest::newRow("file, CR LF between lines")
        << fromFile << QByteArray() << QByteArray("検体A\r\n2024\r\n") << two;
    QTest::newRow("file, ended by an empty line")
        << fromFile << QByteArray() << QByteArray("検体A 2024\n\n")
        << QStringLiteral("検体A 2024\n");
}

void TestBatch::textSources()
{
    QFETCH(QStringList, source);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, file);
    QFETCH(QString, labelText);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString textFile = dir.filePath(QStringLiteral("text.txt"));
    QVERIFY(writeFile(textFile, file));
    source.replaceInStrings(QStringLiteral("@file"), textFile);

    // The workbook of the window holding that text in its proof, through the same library.
    LabelJob job;
    job.sheetType = typeOf(5);
    job.sampleCount = 3;
    job.proofText = labelText;
    const QString reference = dir.filePath(QStringLiteral("reference.xls"));
    XlsCrtLibrary library;
    int32_t handle = 0;
    QVERIFY(writeWorkbook(library, reference, exportJobOf(job, kExportDate), &handle).written());

    const QString xls = dir.filePath(QStringLiteral("batch.xls"));
    const Run r = runBatch(
        QStringList{QStringLiteral("-t"), QStringLiteral("5"), QStringLiteral("-n"),
                    QStringLiteral("3"), QStringLiteral("--pdf"),
                    dir.filePath(QStringLiteral("out.pdf")), QStringLiteral("--resolution"),
                    QStringLiteral("72"), QStringLiteral("--xls"), xls,
                    QStringLiteral("--export-date"), kExportDate.toString(Qt::ISODate)} +
            source,
        input);
    QVERIFY2(r.status == 0, qPrintable(describe(r)));
    QVERIFY2(readAll(xls) == readAll(reference), "the label text differs from the reference");
}

void TestBatch::inputsRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("fileName"); // written with file, named by @file
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("input"); // standard input
    QTest::addColumn<QString>("redirect"); // for sh, after the arguments
    QTest::addColumn<QString>("named");

    const QString text = QStringLiteral("--text");
    const QStringList textFile{"-n", "1", "--text-file", "@file"};
    const QStringList textInput{"-n", "1", "--text-file", "-"};
    const QStringList list{QStringLiteral("--list"), QStringLiteral("@file")};
    const QStringList listInput{QStringLiteral("--list"), QStringLiteral("-")};
    const QByteArray none;
    const QByteArray six = "S1,a\nS2,a\nS3,a\nS4,a\nS5,a\nS6,a\n";

    // Characters that would print as boxes or reorder the label, from every source.
    QTest::newRow("--text, ESC") << QStringList{"-n", "1", text, "A\x1b[1mB"} << "" << none << none
                                 << ""
                                 << "--text: 1 行目に制御文字 U+001B";
    QTest::newRow("--text, DEL in line 2")
        << QStringList{"-n", "1", text, "AB\\nC\x7f"} << "" << none << none << ""
        << "2 行目に制御文字 U+007F";
    QTest::newRow("--text, bidi override")
        << QStringList{"-n", "1", text, u"AB\u202E12"_s} << "" << none << none << ""
        << "見えない書式文字 U+202E";
    QTest::newRow("text file, VT") << textFile << "t.txt" << QByteArray("AB\nC\vD\n") << none << ""
                                   << "--text-file: 2 行目に制御文字 U+000B";
    QTest::newRow("text on standard input, NUL")
        << textInput << "" << none << QByteArray("AB\nC\0D\n", 7) << ""
        << "--text-file: 2 行目に制御文字 U+0000";
    QTest::newRow("CSV, tab in B7") << list << "l.csv" << six + "S7,a\tb\n"
                                    << none << ""
                                    << "B7: 制御文字 U+0009";
    QTest::newRow("CSV on standard input, NUL in A3")
        << listInput << "" << none << QByteArray("S1\nS2\nS\0\n", 9) << ""
        << "A3: 制御文字 U+0000";
    QTest::newRow("UTF-16 without BOM on standard input")
        << listInput << "" << none
        << QByteArray(QStringEncoder(QStringConverter::Utf16LE).encode(u"S1,a\nS2,b\n"_s)) << ""
        << "バイト順マーク (BOM) のない UTF-16";
    QTest::newRow("more than 16 MiB on standard input")
        << listInput << "" << none << QByteArray(16 * 1024 * 1024 + 1, 'a') << ""
        << "入力が大きすぎます (16777216 バイトまで";
    // The list is an input too: an output or start.txt written over it would lose it.
    QTest::newRow("list is the PDF") << QStringList{"--list", "@pdf"} << "" << none << none << ""
                                     << "--pdf と --list が同じファイルです";
    QTest::newRow("list is start.txt")
        << QStringList{"--list", "@settings"} << "" << none << none << ""
        << "--settings と --list が同じファイルです";
    // Bytes that are not UTF-8 decode to U+FFFD, which names this other, readable list.
    QTest::newRow("list name not UTF-8") << QStringList() << u"l\uFFFD.csv"_s << QByteArray("AB\n")
                                         << none << "--list \"$(printf 'l\\377.csv')\""
                                         << "--list: ファイル名に UTF-8 として読めないバイト";
    QTest::newRow("list name with a bidi override")
        << list << u"ab\u202Ec.csv"_s << QByteArray("ABCDEFGH\n") << none << ""
        << "abU+202Ec.csv";
    // Standard input that is no data at all is refused in words.
    QTest::newRow("list, standard input closed") << listInput << "" << none << none << "<&-"
                                                 << "標準入力\n閉じられています";
    QTest::newRow("text, standard input closed") << textInput << "" << none << none << "<&-"
                                                 << "標準入力\n閉じられています";
    QTest::newRow("standard input a folder") << listInput << "" << none << none << "< /"
                                             << "フォルダーです";
    QTest::newRow("standard input a device") << listInput << "" << none << none << "< /dev/zero"
                                             << "デバイスです";
}

// A refused input, wherever it came from: status 2, the cell or line and the character named,
// and start.txt, an earlier PDF and workbook and the list itself byte for byte as they were.
void TestBatch::inputsRefused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, input);
    QFETCH(QString, redirect);
    QFETCH(QString, named);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QHash<QString, QString> paths{
        {QStringLiteral("@settings"), dir.filePath(QStringLiteral("start.txt"))},
        {QStringLiteral("@pdf"), dir.filePath(QStringLiteral("out.pdf"))},
        {QStringLiteral("@xls"), dir.filePath(QStringLiteral("out.xls"))},
        {QStringLiteral("@file"), dir.filePath(fileName)},
    };
    QVERIFY(writeFile(paths[QStringLiteral("@settings")], kDefaultSettings));
    QVERIFY(writeFile(paths[QStringLiteral("@pdf")], "AB\nearlier PDF\n"));
    QVERIFY(writeFile(paths[QStringLiteral("@xls")], "AB\nearlier workbook\n"));
    if (!fileName.isEmpty())
        QVERIFY(writeFile(paths[QStringLiteral("@file")], file));
    for (QString &a : args)
        a = paths.value(a, a);
    QHash<QString, QByteArray> before;
    for (const QString &entry : folderEntries(dir.path()))
        before.insert(entry, readAll(dir.filePath(entry)));

    const QStringList job{QStringLiteral("-t"),         QStringLiteral("2"),
                          QStringLiteral("--settings"), paths[QStringLiteral("@settings")],
                          QStringLiteral("--pdf"),      paths[QStringLiteral("@pdf")],
                          QStringLiteral("--xls"),      paths[QStringLiteral("@xls")]};
    const Run r =
        runBatch(job + args, input, QProcessEnvironment::systemEnvironment(), redirect, dir.path());
    QVERIFY2(r.status == 2, qPrintable(describe(r)));
    QVERIFY2(r.err.contains(named), qPrintable(describe(r)));
    // Nothing typed or named is echoed as it stands, to reorder the terminal line.
    QVERIFY2(!r.err.contains(QChar(0x202E)) && !r.err.contains(QChar(0x1b)),
             qPrintable(describe(r)));
    QVERIFY(r.out.isEmpty());
    QHash<QString, QByteArray> after;
    for (const QString &entry : folderEntries(dir.path()))
        after.insert(entry, readAll(dir.filePath(entry)));
    QCOMPARE(after, before);
}

void TestBatch::failedPrintSavesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    const QByteArray content = "10,10,1\r\n10,10,7\r\n10,10,1\r\n10,10,1\r\ntail\r\n";
    QVERIFY(writeFile(settings, content));
    const QString pdf = dir.filePath(QStringLiteral("no-such-folder/out.pdf"));
    const Run r = runBatch({QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-n"),
                            QStringLiteral("10"), QStringLiteral("--settings"), settings,
                            QStringLiteral("--pdf"), pdf});
    QVERIFY2(r.status == 1, qPrintable(describe(r)));
    QVERIFY2(r.err.contains(QDir::toNativeSeparators(pdf)), qPrintable(describe(r)));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(readAll(settings), content);
    // No lock file or half-written copy left behind either; the failed attempt is recorded
    // (SQLite keeps its log and index files beside the history).
    QCOMPARE(folderEntries(dir.path()),
             (QStringList{QStringLiteral("history.sqlite"), QStringLiteral("history.sqlite-shm"),
                          QStringLiteral("history.sqlite-wal"), QStringLiteral("start.txt")}));
}

void TestBatch::failedExportPrintsNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(settings, kDefaultSettings));
    const QString xls = dir.filePath(QStringLiteral("no-such-folder/out.xls"));
    const Run r = runBatch({QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-n"),
                            QStringLiteral("10"), QStringLiteral("--settings"), settings,
                            QStringLiteral("--pdf"), dir.filePath(QStringLiteral("out.pdf")),
                            QStringLiteral("--xls"), xls});
    QVERIFY2(r.status == 1, qPrintable(describe(r)));
    QVERIFY2(r.err.contains(QDir::toNativeSeparators(xls)), qPrintable(describe(r)));
    QCOMPARE(readAll(settings), kDefaultSettings);
    QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("start.txt")});
}

void TestBatch::savedScale_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    const QByteArray bad = "[history]\n[printer]\nscaleX=1.01\n";
    QTest::newRow("a bad saved scale stops the job") << bad << QStringList() << 1;
    QTest::newRow("one factor given, the other still read")
        << bad << QStringList{QStringLiteral("--scale-y"), QStringLiteral("99.0")} << 1;
    QTest::newRow("both given, the file is not needed")
        << bad
        << QStringList{QStringLiteral("--scale-x"), QStringLiteral("101.0"),
                       QStringLiteral("--scale-y"), QStringLiteral("99.0")}
        << 0;
    QTest::newRow("a good saved scale prints")
        << QByteArray("[printer]\nscaleX=101.0\nscaleY=99.0\n") << QStringList() << 0;
}

// The scale beside --settings: a value that cannot be trusted stops the job before anything
// is printed or saved, naming the file and the key.
void TestBatch::savedScale()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(settings, kDefaultSettings));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("corvial.ini")), ini));
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const Run r =
        runBatch(QStringList{QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-n"),
                             QStringLiteral("3"), QStringLiteral("--settings"), settings,
                             QStringLiteral("--no-history"), QStringLiteral("--pdf"), pdf} +
                 options);
    QVERIFY2(r.status == status, qPrintable(describe(r)));
    QCOMPARE(QFileInfo::exists(pdf), status == 0);
    QCOMPARE(readAll(settings) == kDefaultSettings, status != 0);
    if (status != 0) {
        QVERIFY2(r.err.contains(QStringLiteral("corvial.ini")) &&
                     r.err.contains(QStringLiteral("scaleX")),
                 qPrintable(describe(r)));
    }
}

void TestBatch::savedScaleAsWritten_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("scaled"); // false: the file sets no scale, with a warning
    const QByteArray lines[] = {"[printer]", "scaleX=101.0", "scaleY=99.0"};
    auto joined = [&](const char *end) {
        QByteArray out;
        for (const QByteArray &line : lines)
            out += line + end;
        return out;
    };
    QTest::newRow("LF") << joined("\n") << true;
    QTest::newRow("byte order mark, CR LF") << "\xEF\xBB\xBF" + joined("\r\n") << true;
    QTest::newRow("byte order mark, CR") << "\xEF\xBB\xBF" + joined("\r") << true;
    QTest::newRow("a section as nobody spells it")
        << QByteArray("[Printer]\nscaleX=101.0\nscaleY=99.0\n") << false;
}

// A scale saved in corvial.ini prints what the same factors given on the command line print,
// however the file was written; a file the program cannot use says so and prints at 100 %.
void TestBatch::savedScaleAsWritten()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, scaled);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(settings, kDefaultSettings));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("corvial.ini")), ini));
    const QStringList job{QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-n"),
                          QStringLiteral("3"), QStringLiteral("--no-history")};
    const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
    const Run r = runBatch(
        job + QStringList{QStringLiteral("--settings"), settings, QStringLiteral("--pdf"), saved});
    QVERIFY2(r.status == 0, qPrintable(describe(r)));
    QCOMPARE(r.err.contains(QStringLiteral("corvial.ini")), !scaled);
    QStringList given{QStringLiteral("--pdf"), dir.filePath(QStringLiteral("given.pdf"))};
    if (scaled)
        given << QStringLiteral("--scale-x") << QStringLiteral("101.0")
              << QStringLiteral("--scale-y") << QStringLiteral("99.0");
    const Run g = runBatch(job + given);
    QVERIFY2(g.status == 0, qPrintable(describe(g)));
    const QList<QImage> a = rasterise(saved);
    const QList<QImage> b = rasterise(given.at(1));
    QCOMPARE(a.size(), 1);
    QCOMPARE(b.size(), 1);
    QCOMPARE(differingPixels(a.first(), b.first()), 0);
}

void TestBatch::settingsHeldElsewhere_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("the file itself") << false;
    QTest::newRow("a link to it") << true;
}

void TestBatch::settingsHeldElsewhere()
{
    QFETCH(bool, throughLink);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(settings, kDefaultSettings));
    QString given = settings;
    if (throughLink) {
        given = dir.filePath(QStringLiteral("link.txt"));
        QVERIFY(QFile::link(settings, given));
    }
    // A running window holds the lock of its start.txt; this process stands in for it.
    SettingsLock windowLock(settings);
    QString lockError;
    QVERIFY2(windowLock.tryLock(&lockError), qPrintable(lockError));

    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const Run r = runBatch({QStringLiteral("-t"), QStringLiteral("1"), QStringLiteral("-n"),
                            QStringLiteral("5"), QStringLiteral("--settings"), given,
                            QStringLiteral("--pdf"), pdf});
    QVERIFY2(r.status == 1, qPrintable(describe(r)));
    QVERIFY2(r.err.contains(QStringLiteral("設定ファイルは別の Corvial Manager が使用中です")),
             qPrintable(describe(r)));
    QVERIFY(!QFileInfo::exists(pdf));
    QCOMPARE(readAll(settings), kDefaultSettings);
    QVERIFY(windowLock.isLocked());
}

void TestBatch::settingsMissing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const Run r =
        runBatch({QStringLiteral("-t"), QStringLiteral("1"), QStringLiteral("-n"),
                  QStringLiteral("5"), QStringLiteral("--settings"),
                  dir.filePath(QStringLiteral("start.txt")), QStringLiteral("--pdf"), pdf});
    QVERIFY2(r.status == 1, qPrintable(describe(r)));
    QVERIFY2(r.err.contains(QStringLiteral("スタートファイルがありません。")),
             qPrintable(describe(r)));
    QVERIFY(!QFileInfo::exists(pdf));
    QVERIFY(folderEntries(dir.path()).isEmpty());
}

void TestBatch::unknownPrinter()
{
    const QString name =
        QStringLiteral("corvial-no-such-printer-%1").arg(QCoreApplication::applicationPid());
    const Run r = runBatch({QStringLiteral("-t"), QStringLiteral("1"), QStringLiteral("-n"),
                            QStringLiteral("5"), QStringLiteral("--printer"), name});
    QVERIFY2(r.status == 1, qPrintable(describe(r)));
    QVERIFY2(r.err.contains(name), qPrintable(describe(r)));
    QVERIFY(r.out.isEmpty());
}

void TestBatch::runsWithoutDisplay()
{
    // A lab system's script has no desktop and chooses no platform.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const Run r = runBatch({QStringLiteral("-t"), QStringLiteral("8"), QStringLiteral("-n"),
                            QStringLiteral("73"), QStringLiteral("--text"), QStringLiteral("検体"),
                            QStringLiteral("--pdf"), pdf},
                           QByteArray(), env);
    QVERIFY2(r.status == 0, qPrintable(describe(r)));
    QCOMPARE(pdfPages(pdf), 2);
}

void TestBatch::latinFontsRefuseWhatTheyCannotDraw_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("undrawn"); // as the message names it; empty: the job prints
    QTest::newRow("Japanese text")
        << QStringLiteral("AB 検体") << QStringLiteral("「検」（U+691C）");
    QTest::newRow("Latin text") << QStringLiteral("AB 12") << QString();
}

void TestBatch::latinFontsRefuseWhatTheyCannotDraw()
{
    // A machine whose fonts are all Latin (DejaVu alone): a text it would print as boxes is
    // refused by its first such character, one it draws prints.
    QFETCH(QString, text);
    QFETCH(QString, undrawn);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString latinFonts = QStringLiteral("/usr/share/fonts/truetype/dejavu");
    QVERIFY2(QFileInfo(latinFonts).isDir(), "fonts-dejavu-core is not installed");
    const QString config = dir.filePath(QStringLiteral("fonts.conf"));
    QVERIFY(writeFile(config, QStringLiteral("<?xml version=\"1.0\"?>\n<fontconfig>\n"
                                             "<dir>%1</dir>\n<cachedir>%2</cachedir>\n"
                                             "</fontconfig>\n")
                                  .arg(latinFonts, dir.filePath(QStringLiteral("cache")))
                                  .toUtf8()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FONTCONFIG_FILE"), config);
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const Run r = runBatch({QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-n"),
                            QStringLiteral("1"), QStringLiteral("--text"), text,
                            QStringLiteral("--pdf"), pdf},
                           QByteArray(), env);
    if (undrawn.isEmpty()) {
        // Printed without a word from us: no warning that it might not look right.
        QVERIFY2(r.status == 0 && !r.err.contains(QLatin1String("corvial-batch:")),
                 qPrintable(describe(r)));
        QCOMPARE(pdfPages(pdf), 1);
        return;
    }
    QVERIFY2(r.status == 1, qPrintable(describe(r)));
    QVERIFY2(r.err.contains(undrawn), qPrintable(describe(r)));
    QVERIFY(!QFileInfo::exists(pdf));
}

void TestBatch::helpListsTheOptions()
{
    const Run r = runBatch({QStringLiteral("--help")});
    QVERIFY2(r.status == 0, qPrintable(describe(r)));
    for (const char *option :
         {"--type",      "--samples",    "--first",        "--repeat",      "--text",
          "--text-file", "--marker",     "--number-style", "--text-colour", "--back-colour",
          "--frame",     "--align",      "--font",         "--pdf",         "--resolution",
          "--printer",   "--xls",        "--start",        "--offset-x",    "--offset-y",
          "--settings",  "--history-db", "--no-history",   "--history",     "--since",
          "--format",    "--reprint",    "--only"})
        QVERIFY2(r.out.contains(QLatin1String(option)), option);
    // The printer scale's options, with the range they take.
    QVERIFY(r.out.contains(QLatin1String("--scale-x")) &&
            r.out.contains(QLatin1String("--scale-y")));
    QVERIFY2(r.out.contains(formatScalePercent(ScalePermilleMin)) &&
                 r.out.contains(formatScalePercent(ScalePermilleMax)),
             qPrintable(r.out));
    // The date switch exists for comparing workbooks only.
    QVERIFY(!r.out.contains(QLatin1String("--export-date")));
    for (int t = 1; t <= SheetTypeCount; ++t)
        QVERIFY(r.out.contains(QString::fromUtf8(sheetTypeInfo(t).caption)));
}

// The sheet types an option serves, as the help and the refusals list them, are the ones the
// sheet table gives it: a type added to the table, or a fact changed there, shows in both.
void TestBatch::typeListsFollowTheTable_data()
{
    QTest::addColumn<QStringList>("option");
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<bool>("refused"); // the option is also tried on a type outside the list

    const auto typesWhere = [](bool (*has)(SheetType)) {
        QList<int> types;
        for (const SheetType t : SheetType::all()) {
            if (has(t))
                types << t.code();
        }
        return types;
    };
    const QList<int> markerTypes = typesWhere(isMarkerType);
    QTest::newRow("frame") << QStringList{u"--frame"_s} << typesWhere(isCircleType) << true;
    QTest::newRow("align") << QStringList{u"--align"_s, u"right"_s}
                           << typesWhere([](SheetType t) { return t.info().alignChoice; }) << true;
    QTest::newRow("marker") << QStringList{u"--marker"_s, u"1"_s} << markerTypes << true;
    QTest::newRow("code") << QStringList{u"--code"_s}
                          << typesWhere([](SheetType t) { return hasCodeRoom(t); }) << true;
    QTest::newRow("text colour") << QStringList{u"--text-colour"_s} << markerTypes << false;
    QTest::newRow("background") << QStringList{u"--back-colour"_s} << markerTypes << false;
    QTest::newRow("one-line text") << QStringList{u"--text"_s} << typesWhere([](SheetType t) {
        return t.info().textBox.kind == TextBoxKind::OneLine;
    }) << false;
}

void TestBatch::typeListsFollowTheTable()
{
    QFETCH(QStringList, option);
    QFETCH(QList<int>, types);
    QFETCH(bool, refused);
    QVERIFY(!types.isEmpty());
    QStringList numbers;
    for (int t : types)
        numbers << QString::number(t);
    const QString list = numbers.join(u", "_s);

    const Run help = runBatch({u"--help"_s});
    QVERIFY2(help.status == 0, qPrintable(describe(help)));
    // The option's own paragraph of the help, with the line wrapping undone.
    const qsizetype from = help.out.indexOf(
        QRegularExpression(u"  "_s + QRegularExpression::escape(option.first()) + u"[ ,]"_s));
    QVERIFY2(from >= 0, qPrintable(help.out));
    const qsizetype to = help.out.indexOf(QRegularExpression(u"\n  -"_s), from + 1);
    const QString paragraph = help.out.mid(from, to - from).simplified();
    QVERIFY2(paragraph.contains(
                 QRegularExpression(u" "_s + QRegularExpression::escape(list) + u"(?![0-9,])"_s)),
             qPrintable(paragraph));
    if (!refused)
        return;

    int other = 1;
    while (types.contains(other))
        ++other;
    QTemporaryDir dir;
    const Run r = runBatch(QStringList{u"-t"_s, QString::number(other), u"-n"_s, u"1"_s, u"--pdf"_s,
                                       dir.filePath(u"out.pdf"_s)} +
                           option);
    QVERIFY2(r.status == 2, qPrintable(describe(r)));
    const QString prefix = u"corvial-batch: "_s + option.first() + u':';
    const qsizetype at = r.err.indexOf(prefix);
    QVERIFY2(at >= 0, qPrintable(describe(r)));
    const QString refusal = r.err.mid(at).section(u'\n', 0, 0);
    QVERIFY2(QRegularExpression(u"[ （]"_s + QRegularExpression::escape(list) + u"）?だけです"_s)
                 .match(refusal)
                 .hasMatch(),
             qPrintable(refusal));
}

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
