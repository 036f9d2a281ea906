// SPDX-License-Identifier: GPL-3.0-or-later
// Print from the window: the job handed to the page operations, and what moves on after a
// print, a cancel or a failure.
#include "WindowSupport.h"

#include "TextBoxControls.h"
#include "history/HistoryStore.h"
#include "job/Fonts.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using namespace corvial;

namespace {

void print(TfrmMain &w)
{
    pressPrint(w);
}

// The print dialog's Print to File as Qt's own dialog leaves the printer: a PDF of A4 paper
// with Qt's default margins and resolution.
class PrintToFileDialogs : public FakeDialogs
{
public:
    QString pdfPath;
    bool choosePrinter(QWidget *, QPrinter *printer) override
    {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPath);
        printer->setPageSize(QPageSize(QPageSize::A4));
        return true;
    }
};

// The entries of the history beside the window's start.txt, newest first. False (with the
// failure recorded) when it cannot be read.
bool historyOf(const WindowFixture &fx, QList<HistoryEntry> *entries)
{
    HistoryStore store;
    HistoryLocation location;
    location.filePath = fx.dir.filePath(QStringLiteral("history.sqlite"));
    QString error;
    const bool read =
        store.open(location, &error) && store.entries(HistoryFilter(), entries, &error);
    if (!read)
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
    return read;
}

// The first page of a PDF as a grey picture at 100 dpi.
QByteArray firstPagePixels(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-gray"),
             QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
             pdf});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

} // namespace

class TestPrintFlow : public QObject
{
    Q_OBJECT

private slots:
    void afterPrint_data();
    void afterPrint();
    void firstNumberWrapsAbove9999_data();
    void firstNumberWrapsAbove9999();
    void cancelChangesNothing();
    void printerFailureAdvancesNothing();
    void markerTypeReturnsToItsEntryLayout();
    void onePrinterForTheWholeRun();
    void printsWhatThePrintScreenHolds();
    void failedSaveAfterPrintIsReported();
    void printIsRecorded_data();
    void printIsRecorded();
    void unwritableHistoryAsksFirst_data();
    void unwritableHistoryAsksFirst();
    void printToFileMatchesTheBatchPrinter();
    void printToFileSparesOwnFiles_data();
    void printToFileSparesOwnFiles();
};

void TestPrintFlow::afterPrint_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("nextStart");
    QTest::addColumn<int>("nextValue");
    QTest::newRow("circle from 140") << 1 << 30 << 1 << 140 << 2 << 30 << 20 << 31;
    QTest::newRow("rectangle from 50, repeat 2") << 2 << 30 << 2 << 50 << 2 << 60 << 50 << 31;
    QTest::newRow("tube72 exactly one sheet") << 8 << 72 << 1 << 1 << 1 << 72 << 1 << 73;
    QTest::newRow("one short of the sheet end") << 5 << 94 << 1 << 1 << 1 << 94 << 95 << 95;
    QTest::newRow("tube95 from 95, 400") << 6 << 400 << 1 << 95 << 6 << 400 << 20 << 401;
    QTest::newRow("circle from 150, 400") << 1 << 80 << 5 << 150 << 4 << 400 << 100 << 81;
    QTest::newRow("memo type keeps the number") << 3 << 10 << 1 << 55 << 2 << 10 << 5 << 1;
    QTest::newRow("text-only type keeps the number") << 10 << 5 << 1 << 70 << 2 << 5 << 3 << 1;
}

void TestPrintFlow::afterPrint()
{
    QFETCH(int, type);
    QFETCH(int, samples);
    QFETCH(int, repeat);
    QFETCH(int, start);
    QFETCH(int, pages);
    QFETCH(int, labels);
    QFETCH(int, nextStart);
    QFETCH(int, nextValue);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, samples, repeat, start);
    const int family = FamilyOfType(type);
    print(w);

    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(fx.canvas.documentsBegun, 1);
    QCOMPARE(fx.canvas.documentsEnded, 1);
    QCOMPARE(fx.canvas.pagesPrinted(), pages);
    QCOMPARE(fx.canvas.misuse, 0);
    const int boxes = fx.canvas.count(type == 1 ? CanvasCall::Ellipse : CanvasCall::Rectangle);
    QCOMPARE(boxes, labels);

    QCOMPARE(w.editor().startPos[family], nextStart);
    QCOMPARE(fx.readSettings(), settingsWithStart(family, nextStart));
    QCOMPARE(w.editor().initialValue, nextValue);
    QCOMPARE(w.ListBox12->selectedRow(), nextValue - 1);
    QVERIFY(!w.pnlMain->isHidden());
    QVERIFY(w.pnlPrint->isHidden());
    QVERIFY(w.cmdBack->isHidden());
    QVERIFY(w.cmdExcel->isHidden());
    QCOMPARE(w.cmdEnd->x(), 80);
    QVERIFY(w.editor().colorsResetPending);
}

void TestPrintFlow::firstNumberWrapsAbove9999_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("next");
    QTest::newRow("9990 + 10") << 10 << 0;
    QTest::newRow("9990 + 9") << 9 << 9999;
    QTest::newRow("9990 + 400") << 400 << 390;
}

void TestPrintFlow::firstNumberWrapsAbove9999()
{
    QFETCH(int, samples);
    QFETCH(int, next);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    clickRow(w.ListBox12, 9989);
    clickRow(w.ListBox2, samples - 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    print(w);
    QCOMPARE(w.editor().initialValue, next);
    QCOMPARE(w.ListBox12->selectedRow(), next >= 1 && next <= 9990 ? next - 1 : -1);
}

void TestPrintFlow::cancelChangesNothing()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 30, 1, 140);
    fx.dialogs->printerAccepted = false;
    print(w);
    QCOMPARE(fx.dialogs->printerAsked, 1);
    QCOMPARE(fx.canvasesMade, 0);
    QCOMPARE(w.editor().startPos[1], 140);
    QCOMPARE(w.editor().initialValue, 1);
    QVERIFY(!w.pnlPrint->isHidden());
    QVERIFY(!w.editor().colorsResetPending);
    QCOMPARE(fx.readSettings(), settingsWithStart(1, 140));
    print(w);
    QCOMPARE(fx.dialogs->printerAsked, 2);
}

void TestPrintFlow::printerFailureAdvancesNothing()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 2, 30, 1, 50);
    fx.canvas.failNewPageAt = 1;
    fx.canvas.failureText = QStringLiteral("Printer is out of paper");
    print(w);
    QCOMPARE(fx.dialogs->errors.size(), 1);
    QVERIFY(fx.dialogs->errors.first().contains(QStringLiteral("out of paper")));
    QCOMPARE(w.editor().startPos[2], 50);
    QCOMPARE(w.editor().initialValue, 1);
    QVERIFY(!w.pnlPrint->isHidden());
    QCOMPARE(fx.readSettings(), settingsWithStart(2, 50));
}

void TestPrintFlow::markerTypeReturnsToItsEntryLayout()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 4, 3, 1, 1);
    print(w);
    QVERIFY(!w.RadioGroup1->isHidden());
    QVERIFY(w.ListBox12->isHidden());
    QVERIFY(w.ListBox1->isHidden());
    QCOMPARE(w.editor().sheetType.code(), 4);
    QCOMPARE(w.editor().startPos[2], 4);
    QCOMPARE(w.editor().initialValue, 1);
}

void TestPrintFlow::onePrinterForTheWholeRun()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 3, 1, 1);
    print(w);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    print(w);
    QCOMPARE(fx.dialogs->printersOffered.size(), 2);
    QVERIFY(fx.dialogs->printersOffered.at(0));
    QCOMPARE(fx.dialogs->printersOffered.at(0), fx.dialogs->printersOffered.at(1));
}

void TestPrintFlow::printsWhatThePrintScreenHolds()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 5);
    typeText(w.Memo8, QStringLiteral("ENTRY"));
    clickRow(w.ListBox2, 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    w.Memo3->setPlainText(QStringLiteral("EDITED"));
    clickRow(w.ListBox19, 5);
    print(w);
    QStringList texts;
    for (const CanvasCall &c : fx.canvas.callsOf(CanvasCall::TextOut))
        texts << c.text;
    QCOMPARE(texts, (QStringList{QStringLiteral("EDITED"), QStringLiteral("0001"),
                                 QStringLiteral("EDITED"), QStringLiteral("0002")}));
    for (const CanvasCall &c : fx.canvas.callsOf(CanvasCall::Rectangle))
        QCOMPARE(c.brushColour, ColourValue(0x0000FF));
}

void TestPrintFlow::failedSaveAfterPrintIsReported()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 30, 1, 1);
    QVERIFY(QFile::remove(fx.settingsPath()));
    QVERIFY(QDir(fx.dir.path()).mkdir(QStringLiteral("start.txt")));
    print(w);
    // The labels are on paper: the job still counts, and the user learns the file is stale.
    QCOMPARE(fx.dialogs->errors.size(), 1);
    QCOMPARE(w.editor().startPos[1], 31);
    QCOMPARE(w.editor().initialValue, 31);
    QVERIFY(!w.pnlMain->isHidden());
}

void TestPrintFlow::printIsRecorded_data()
{
    QTest::addColumn<QString>("failure"); // what the printer says; empty: it prints
    QTest::addColumn<int>("outcome");
    QTest::newRow("printed") << QString() << int(JobOutcome::Printed);
    QTest::newRow("failed") << QStringLiteral("Printer is out of paper") << int(JobOutcome::Failed);
}

// Every print attempt leaves one record in the history beside start.txt, with how it ended.
void TestPrintFlow::printIsRecorded()
{
    QFETCH(QString, failure);
    QFETCH(int, outcome);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 2, 30, 1, 50);
    if (!failure.isEmpty()) {
        fx.canvas.failNewPageAt = 1;
        fx.canvas.failureText = failure;
    }
    print(w);

    QList<HistoryEntry> entries;
    QVERIFY(historyOf(fx, &entries));
    QCOMPARE(entries.size(), 1);
    const HistoryEntry &e = entries.first();
    QCOMPARE(int(e.outcome), outcome);
    QVERIFY2(e.reason.contains(failure), qPrintable(e.reason));
    QCOMPARE(e.record.program, QStringLiteral("corvial-manager"));
    QCOMPARE(e.record.samples, 30);
    QCOMPARE(e.record.startPosition, 50);
    QCOMPARE(e.record.sampleTexts.size(), 30);
}

void TestPrintFlow::unwritableHistoryAsksFirst_data()
{
    QTest::addColumn<bool>("printAnyway");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
}

// A history that cannot be opened is said before anything goes out; No prints nothing.
void TestPrintFlow::unwritableHistoryAsksFirst()
{
    QFETCH(bool, printAnyway);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 2, 30, 1, 50);
    const QString history = fx.dir.filePath(QStringLiteral("history.sqlite"));
    QFile::remove(history);
    QVERIFY(QDir().mkdir(history));
    fx.dialogs->answerYes = printAnyway;
    print(w);
    QCOMPARE(fx.dialogs->questions.size(), 1);
    QVERIFY2(fx.dialogs->questions.first().contains(history),
             qPrintable(fx.dialogs->questions.first()));
    QCOMPARE(fx.canvasesMade, printAnyway ? 1 : 0);
    QCOMPARE(fx.dialogs->printerAsked, printAnyway ? 1 : 0);
    QCOMPARE(w.editor().startPos[2] != 50, printAnyway);
    if (!printAnyway)
        QCOMPARE(fx.readSettings(), settingsWithStart(2, 50));
}

// The same job lands on the same spot of the paper from the window's Print to File as from
// the batch printer's --pdf, so offsets lined up with either hold for both.
void TestPrintFlow::printToFileMatchesTheBatchPrinter()
{
    // The faces both programs set up at start.
    installJapaneseFontSubstitutions();
    WindowFixture fx;
    auto dialogs = std::make_shared<PrintToFileDialogs>();
    fx.dialogs = dialogs;
    fx.realPrinter = true;
    dialogs->pdfPath = fx.dir.filePath(QStringLiteral("window.pdf"));
    const QByteArray settings = settingsWithStart(2, 7);
    TfrmMain &w = fx.create(settings.constData());
    chooseType(w, 2);
    clickRow(w.ListBox2, 2);
    typeText(textBoxControl(w, chosenSheetType(2).info().textBox.kind), QStringLiteral("AB"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    print(w);
    QCOMPARE(fx.dialogs->errors, QStringList());

    const QString batchSettings = fx.dir.filePath(QStringLiteral("batch/start.txt"));
    QVERIFY(QDir(fx.dir.path()).mkdir(QStringLiteral("batch")));
    {
        QFile f(batchSettings);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(settings) == settings.size());
    }
    const QString batchPdf = fx.dir.filePath(QStringLiteral("batch.pdf"));
    QProcess batch;
    batch.start(QStringLiteral(CORVIAL_BATCH),
                {"-t", "2", "-n", "3", "--text", "AB", "--resolution",
                 QString::number(QPrinter(QPrinter::HighResolution).resolution()), "--pdf",
                 batchPdf, "--settings", batchSettings, "--no-history"});
    QVERIFY(batch.waitForFinished(60000));
    QVERIFY2(batch.exitCode() == 0, batch.readAllStandardError().constData());

    const QByteArray fromWindow = firstPagePixels(dialogs->pdfPath);
    QVERIFY(!fromWindow.isEmpty());
    QVERIFY(fromWindow == firstPagePixels(batchPdf));
}

void TestPrintFlow::printToFileSparesOwnFiles_data()
{
    QTest::addColumn<QString>("name"); // beside start.txt
    QTest::newRow("the history") << QStringLiteral("history.sqlite");
    QTest::newRow("its log") << QStringLiteral("history.sqlite-wal");
    QTest::newRow("corvial.ini") << QStringLiteral("corvial.ini");
    QTest::newRow("start.txt") << QStringLiteral("start.txt");
    QTest::newRow("the lock") << QStringLiteral("start.txt.lock");
}

// Print to File onto a file of the program's own is refused before anything is written: the
// history keeps its records, the settings stay, and nothing moves on.
void TestPrintFlow::printToFileSparesOwnFiles()
{
    QFETCH(QString, name);
    WindowFixture fx;
    auto dialogs = std::make_shared<PdfDialogs>();
    fx.dialogs = dialogs;
    TfrmMain &w = openJob(fx, 2, 3, 1, 5);
    dialogs->pdfPath = fx.dir.filePath(QStringLiteral("first.pdf"));
    print(w);
    QCOMPARE(dialogs->errors, QStringList());
    QVERIFY(QTest::qWaitFor([&] { return !w.pnlMain->isHidden(); }, 1000));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    const QByteArray settings = fx.readSettings();
    const QString target = fx.dir.filePath(name);
    QFile file(target);
    const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    const bool existed = QFileInfo::exists(target);
    dialogs->pdfPath = target;
    print(w);
    QCOMPARE(dialogs->errors.size(), 1);
    QVERIFY2(dialogs->errors.first().contains(name), qPrintable(dialogs->errors.first()));
    QVERIFY(!w.pnlPrint->isHidden());
    QCOMPARE(fx.readSettings(), settings);
    QCOMPARE(QFileInfo::exists(target), existed);
    if (existed && name != QStringLiteral("history.sqlite-wal"))
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), before);
    QList<HistoryEntry> entries;
    QVERIFY(historyOf(fx, &entries));
    QCOMPARE(entries.size(), 1);
}

QTEST_MAIN(TestPrintFlow)
#include "tst_printflow.moc"
