// SPDX-License-Identifier: GPL-3.0-or-later
// Sample lists end to end: a list file loaded in the real window and given to the real batch
// printer, each job printed to a PDF that pdftotext reads back label by label.
#include "window/WindowSupport.h"

#include "job/Fonts.h"
#include "job/ShiftJis.h"
#include "lists/ListTable.h"
#include "support/PdfProbe.h"
#include "support/TextFiles.h"

#include <xlscrt2.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QToolButton>

using namespace corvial;
using namespace Qt::StringLiterals;

namespace {

using Rows = QList<QStringList>;

// Prints into a PDF file instead of asking for a printer, and offers one list file.
class ListDialogs : public FakeDialogs
{
public:
    QString pdfPath;
    QString listPath;
    int opened = 0;

    bool choosePrinter(QWidget *parent, QPrinter *printer) override
    {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPath);
        return FakeDialogs::choosePrinter(parent, printer);
    }
    QString openFileName(QWidget *, const QString &, const QString &) override
    {
        ++opened;
        return listPath;
    }
};

struct ListWindow
{
    QTemporaryDir dir;
    std::shared_ptr<ListDialogs> dialogs = std::make_shared<ListDialogs>();
    std::shared_ptr<CountingXls> xls = std::make_shared<CountingXls>();
    std::unique_ptr<TfrmMain> window;

    TfrmMain &create()
    {
        QFile f(dir.filePath(QStringLiteral("start.txt")));
        if (f.open(QIODevice::WriteOnly))
            f.write("10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n");
        f.close();
        dialogs->pdfPath = dir.filePath(QStringLiteral("window.pdf"));
        MainWindowEnvironment env;
        env.appDir = dir.path();
        env.dialogs = dialogs;
        env.workbook = xls;
        env.today = [] { return QDate(2026, 12, 8); };
        window = std::make_unique<TfrmMain>(env); // prints through the real printer canvas
        return *window;
    }
};

struct Run
{
    int status = -1; // -1: did not finish or crashed
    QString err;
};

Run runBatch(const QStringList &args, const QByteArray &input = QByteArray())
{
    QProcess p;
    p.start(QStringLiteral(CORVIAL_BATCH), args);
    Run r;
    if (!p.waitForStarted(30000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(120000);
    r.err = QString::fromUtf8(p.readAllStandardError());
    if (finished && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    return r;
}

// The texts of the labels in the order they were drawn, as pdftotext reads them back.
QStringList pdfWords(const QString &pdf)
{
    bool ok = false;
    const QString text = runTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-raw"), pdf, QStringLiteral("-")}, &ok);
    return ok ? text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)
              : QStringList{text};
}

// Words each label of the job should carry, label after label: the sample's lines, then its
// number on the numbered types.
QStringList expectedWords(const Rows &samples, int repeat, int sheetType)
{
    QStringList words;
    for (int i = 0; i < samples.size(); ++i) {
        for (int r = 0; r < repeat; ++r) {
            for (const QString &cell : samples.at(i))
                words << cell.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (isNumberedType(sheetType))
                words << QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        }
    }
    return words;
}

} // namespace

class TestListJobs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installJapaneseFontSubstitutions(); }
    void printsEachSample_data();
    void printsEachSample();
    void entryScreen();
    void pipedInPieces();
    void batchRefusals_data();
    void batchRefusals();
};

void TestListJobs::printsEachSample_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // "<xls>" and "<openpyxl>" are written by those
    QTest::addColumn<int>("sheetType");
    QTest::addColumn<bool>("heading");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<Rows>("samples");

    QTest::newRow("Shift-JIS CSV with quotes")
        << "sjis.csv" << toSjis(u"\"血清,1\",\"A\"\"1\"\n\"血清,2\",B2\n"_s) << 5 << false << 2
        << Rows{{u"血清,1"_s, u"A\"1"_s}, {u"血清,2"_s, u"B2"_s}};
    QTest::newRow("UTF-8 CSV with a BOM")
        << "bom.csv" << QByteArray("\xEF\xBB\xBF名前\n検体1\n検体2\n検体3\n") << 1 << true << 1
        << Rows{{u"検体1"_s}, {u"検体2"_s}, {u"検体3"_s}};
    QTest::newRow("UTF-16 tab separated")
        << "unicode.txt" << encoded("UTF-16LE", u"一\tL1\tX\r\n二\tL2\tY\r\n"_s) << 8 << false << 1
        << Rows{{u"一"_s, u"L1"_s, u"X"_s}, {u"二"_s, u"L2"_s, u"Y"_s}};
    QTest::newRow("own xls") << "own.xls" << QByteArray("<xls>") << 2 << true << 1
                             << Rows{{u"血清A"_s, u"B"_s}, {u"血清C"_s, u"D"_s}};
    QTest::newRow("openpyxl xlsx") << "py.xlsx" << QByteArray("<openpyxl>") << 6 << true << 1
                                   << Rows{{u"S-7"_s, u"2026/12/08"_s}, {u"2.5"_s, u"12"_s}};
}

void TestListJobs::printsEachSample()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, sheetType);
    QFETCH(bool, heading);
    QFETCH(int, repeat);
    QFETCH(Rows, samples);

    ListWindow fx;
    const QString list = fx.dir.filePath(name);
    if (content == "<xls>") {
        // Written by our own workbook library: a heading row, then the samples.
        int32_t handle = 0;
        QCOMPARE(XlsCreateBook(QFile::encodeName(list).constData(), 2002, 3, &handle), 0);
        QCOMPARE(XlsPutStr(toSjis(u"上段"_s).constData(), POS2(0, 0, 0, 0)), 0);
        for (int r = 0; r < samples.size(); ++r)
            for (int c = 0; c < samples.at(r).size(); ++c)
                QCOMPARE(
                    XlsPutStr(toSjis(samples.at(r).at(c)).constData(), POS2(c, r + 1, c, r + 1)),
                    0);
        QCOMPARE(XlsCloseBook(1), 0);
    } else if (content == "<openpyxl>") {
        QProcess python;
        python.start(QStringLiteral(CORVIAL_OPENPYXL_PYTHON),
                     {QStringLiteral("-c"), QStringLiteral(R"(
import datetime, sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.append(['ID', 'Day'])
ws.append(['S-7', datetime.date(2026, 12, 8)])
ws.append([2.5, 12.0])
wb.save(sys.argv[1])
)"),
                      list});
        QVERIFY2(python.waitForFinished(30000) && python.exitCode() == 0,
                 python.readAllStandardError().constData());
    } else {
        QVERIFY(writeFile(list, content));
    }
    const QStringList expected = expectedWords(samples, repeat, sheetType);

    // The window: type, list, heading answer, repeat count, PrintSet, Print.
    TfrmMain &w = fx.create();
    if (sheetType != 1)
        chooseType(w, sheetType);
    fx.dialogs->listPath = list;
    fx.dialogs->answerYes = heading;
    w.mnuListLoad->trigger();
    // The list is read away from the window's thread.
    QVERIFY(QTest::qWaitFor([&w] { return !w.isBusy(); }, 30000));
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(w.editor().sampleCount, samples.size());
    if (repeat > 1)
        clickRow(w.ListBox1, repeat - 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
    // The window prints away from its thread; the test waits for the end.
    QVERIFY(QTest::qWaitFor([&w] { return !w.isBusy(); }, 30000));
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(pdfWords(fx.dialogs->pdfPath), expected);

    // The batch printer, from the file and, for a CSV, from standard input.
    QStringList args{u"--type"_s, QString::number(sheetType), u"--repeat"_s,
                     QString::number(repeat)};
    if (heading)
        args << u"--list-header"_s;
    QList<QPair<QString, QByteArray>> sources{{list, QByteArray()}};
    if (name.endsWith(u".csv"_s))
        sources.append({u"-"_s, content});
    for (const auto &[source, input] : sources) {
        const QString pdf = fx.dir.filePath(u"batch.pdf"_s);
        const Run r =
            runBatch(QStringList(args) << u"--list"_s << source << u"--pdf"_s << pdf, input);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(pdfWords(pdf), expected);
    }
}

void TestListJobs::entryScreen()
{
    ListWindow fx;
    const QString list = fx.dir.filePath(u"list.csv"_s);
    QVERIFY(writeFile(list, "AB,x\nCD,y\nEF,z\n"));
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    typeText(w.Memo8, u"typed\n2"_s);
    clickRow(w.ListBox2, 6);
    const QString typed = w.Memo8->toPlainText();
    fx.dialogs->listPath = list;
    fx.dialogs->answerYes = false;
    w.mnuListLoad->trigger();
    // The list is read away from the window's thread.
    QVERIFY(QTest::qWaitFor([&w] { return !w.isBusy(); }, 30000));

    // The list decides the count and the text; the entry shows its first sample.
    QCOMPARE(fx.dialogs->questions.value(0), u"サンプルリスト|1 行目は見出しですか?\n\nAB | x"_s);
    QCOMPARE(w.ListBox2->currentRow(), 2);
    QVERIFY(!w.ListBox2->isEnabled());
    QCOMPARE(w.Memo8->toPlainText(), u"AB\nx"_s);
    QVERIFY(w.Memo8->isReadOnly());
    QCOMPARE(w.lblList->text(), u"リスト: list.csv (3 件)"_s);
    QVERIFY(w.lblList->isVisible() || !w.isVisible());

    // A type the cells fit keeps the list; the marker type sets it aside without a question,
    // and the next type with texts takes it back.
    chooseType(w, 5);
    QCOMPARE(w.editor().sheetType.code(), 5);
    QCOMPARE(w.Memo8->toPlainText(), u"AB\nx"_s);
    const qsizetype asked = fx.dialogs->questions.size();
    chooseType(w, 4);
    QCOMPARE(w.editor().sheetType.code(), 4);
    QCOMPARE(fx.dialogs->questions.size(), asked);
    QVERIFY(w.editor().sampleTexts.isEmpty());
    chooseType(w, 5);
    QCOMPARE(w.editor().sheetType.code(), 5);
    QCOMPARE(w.editor().sampleTexts.size(), 3);
    QCOMPARE(w.Memo8->toPlainText(), u"AB\nx"_s);

    // The print screen: the proof shows the first sample read-only, the menu is off, and the
    // workbook holds each sample's own text beside its number.
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QCOMPARE(w.Memo3->toPlainText(), u"AB\nx"_s);
    QVERIFY(w.Memo3->isReadOnly());
    QVERIFY(!w.mnuListLoad->isEnabled() && !w.mnuListUnload->isEnabled());
    fx.dialogs->saveName = fx.dir.filePath(u"out.xls"_s);
    QTest::mouseClick(w.cmdExcel, Qt::LeftButton);
    QCOMPARE(fx.xls->texts.mid(3),
             (QList<QByteArray>{"AB\r\nx", "0001", "CD\r\ny", "0002", "EF\r\nz", "0003"}));
    QTest::mouseClick(w.cmdBack, Qt::LeftButton);

    // Unloading gives back the typed entry exactly (after a type change, as that type keeps it).
    chooseType(w, 2);
    w.mnuListUnload->trigger();
    QCOMPARE(w.Memo8->toPlainText(), typed);
    QVERIFY(!w.Memo8->isReadOnly());
    QCOMPARE(w.editor().sampleCount, 7);
    QVERIFY(w.ListBox2->isEnabled());
    QVERIFY(w.lblList->isHidden());
}

// A list piped in pieces, each written after a pause, with a cell, a CR LF and a UTF-8
// character cut between pieces: every one of the 400 samples prints whole.
void TestListJobs::pipedInPieces()
{
    QTemporaryDir dir;
    Rows samples;
    QByteArray list;
    QList<qsizetype> cuts;
    for (int i = 1; i <= MaxListSamples; ++i) {
        samples << QStringList{u"検%1"_s.arg(i), u"abc"_s};
        const QByteArray row = (samples.last().join(QLatin1Char(',')) + u"\r\n"_s).toUtf8();
        if (i == 3)
            cuts << list.size() + row.indexOf("abc") + 1;
        if (i == 100)
            cuts << list.size() + row.indexOf('\r') + 1;
        if (i == 250)
            cuts << list.size() + 1;
        list += row;
    }
    cuts << list.size();

    const QString pdf = dir.filePath(u"piped.pdf"_s);
    QProcess p;
    p.start(QStringLiteral(CORVIAL_BATCH),
            {u"--type"_s, u"2"_s, u"--list"_s, u"-"_s, u"--pdf"_s, pdf});
    QVERIFY(p.waitForStarted(30000));
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        p.write(list.mid(from, cut - from));
        QVERIFY(p.waitForBytesWritten(30000));
        from = cut;
        QTest::qWait(300);
    }
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
             p.readAllStandardError().constData());
    QCOMPARE(pdfWords(pdf), expectedWords(samples, 1, 2));
}

void TestListJobs::batchRefusals_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("named");

    const QByteArray good("AB\nCD\n");
    QTest::newRow("with --text") << QStringList{u"--text"_s, u"A"_s} << good << u"--text:"_s;
    QTest::newRow("with --samples")
        << QStringList{u"--samples"_s, u"2"_s} << good << u"--samples:"_s;
    QTest::newRow("with --text-file")
        << QStringList{u"--text-file"_s, u"-"_s} << good << u"--text-file:"_s;
    QTest::newRow("heading without a list")
        << QStringList{u"--list-header"_s} << QByteArray() << u"--list-header:"_s;
    QTest::newRow("cell too long")
        << QStringList() << QByteArray("AB\nABCDEFGH\n") << u"A2: 8 バイト"_s;
    QTest::newRow("empty row") << QStringList() << QByteArray("AB\n\nCD\n") << u"2 行目が空です"_s;
}

void TestListJobs::batchRefusals()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, list);
    QFETCH(QString, named);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.csv"_s);
    const QString pdf = dir.filePath(u"out.pdf"_s);
    QStringList args{u"--type"_s, u"2"_s, u"--pdf"_s, pdf};
    if (!list.isEmpty()) {
        QVERIFY(writeFile(path, list));
        args << u"--list"_s << path;
    }
    const Run r = runBatch(args + options);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(named), qPrintable(r.err));
    QVERIFY(!QFile::exists(pdf));
    if (!options.isEmpty())
        return;

    // A refused list: the same message as the window gives for the same file.
    ListWindow fx;
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    fx.dialogs->listPath = path;
    fx.dialogs->answerYes = false;
    w.mnuListLoad->trigger();
    // The list is read away from the window's thread.
    QVERIFY(QTest::qWaitFor([&w] { return !w.isBusy(); }, 30000));
    QCOMPARE(fx.dialogs->errors.size(), 1);
    QVERIFY2(r.err.contains(fx.dialogs->errors.first()), qPrintable(r.err));
}

QTEST_MAIN(TestListJobs)
#include "tst_listjobs.moc"
