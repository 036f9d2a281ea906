// SPDX-License-Identifier: GPL-3.0-or-later
// The print dialog offering the last confirmed choice again, and the status line that says
// what a print did.
#include "WindowSupport.h"
#include "job/JobRules.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

using namespace corvial;

namespace {

// Answers as the platform's dialog does when the user looks at a printer queue and then
// cancels: the printer is left switched to the queue.
class QueueThenCancelDialogs : public PdfDialogs
{
public:
    bool cancelOnQueue = false;
    bool choosePrinter(QWidget *parent, QPrinter *printer) override
    {
        if (!cancelOnQueue)
            return PdfDialogs::choosePrinter(parent, printer);
        noteOffer(printer);
        printer->setOutputFormat(QPrinter::NativeFormat);
        printer->setOutputFileName(QString());
        return false;
    }
};

} // namespace

class TestPolish : public QObject
{
    Q_OBJECT

private slots:
    void platformDialogOffersTheFileAgain();
    void lastChoiceOfferedToEveryDialog();
    void statusLineAfterPrint_data();
    void statusLineAfterPrint();
};

// The real dialog, confirmed as it opens: it must come up on the file and keep the page.
void TestPolish::platformDialogOffersTheFileAgain()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("labels.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::B5));
    printer.setCopyCount(2);
    const PrinterSetup offered = PrinterSetup::of(printer);
    QString fileShown;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        if (auto *file = dialog->findChild<QLineEdit *>(QStringLiteral("filename")))
            fileShown = file->isEnabled() ? file->text() : QString();
        dialog->accept();
    });
    QtDialogs dialogs;
    QVERIFY(dialogs.choosePrinter(nullptr, &printer));
    QCOMPARE(fileShown, QDir::toNativeSeparators(path));
    QCOMPARE(printer.outputFormat(), QPrinter::PdfFormat);
    QCOMPARE(printer.outputFileName(), path);
    QCOMPARE(printer.pageLayout().pageSize().id(), offered.pageLayout.pageSize().id());
    QCOMPARE(printer.copyCount(), offered.copies);
}

void TestPolish::lastChoiceOfferedToEveryDialog()
{
    WindowFixture fx;
    auto dialogs = std::make_shared<QueueThenCancelDialogs>();
    dialogs->pdfPath = fx.dir.filePath(QStringLiteral("labels.pdf"));
    fx.dialogs = dialogs;
    TfrmMain &w = openJob(fx, 8, 3, 1, 1);
    pressPrint(w);
    QCOMPARE(fx.dialogs->errors, QStringList());

    // The next job: a dialog that switched to a queue is cancelled, then the preview and the
    // calibration sheet follow.
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    dialogs->offers.clear();
    dialogs->cancelOnQueue = true;
    const int start = w.editor().startPos[FamilyOfType(8)];
    pressPrint(w);
    QCOMPARE(w.editor().startPos[FamilyOfType(8)], start);
    QCOMPARE(w.statusBar()->currentMessage(), QString());
    dialogs->cancelOnQueue = false;
    w.findChild<QAction *>(QStringLiteral("N5"))->trigger();
    w.findChild<QAction *>(QStringLiteral("N6"))->trigger();
    QVERIFY(idle(w));
    QCOMPARE(dialogs->offers.size(), 3);
    for (const FakeDialogs::Offer &offer : std::as_const(dialogs->offers)) {
        QCOMPARE(offer.format, QPrinter::PdfFormat);
        QCOMPARE(offer.file, dialogs->pdfPath);
    }
}

void TestPolish::statusLineAfterPrint_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("repeat");
    // Start this many positions before the end of the sheet (0 = from position 1).
    QTest::addColumn<int>("beforeEnd");
    QTest::newRow("round, numbered") << 1 << 3 << 1 << 0;
    QTest::newRow("rectangle, no number") << 3 << 2 << 1 << 0;
    QTest::newRow("rectangle, numbered twice each") << 2 << 2 << 2 << 0;
    QTest::newRow("tube, onto a second sheet") << 8 << 4 << 1 << 2;
}

void TestPolish::statusLineAfterPrint()
{
    QFETCH(int, type);
    QFETCH(int, samples);
    QFETCH(int, repeat);
    QFETCH(int, beforeEnd);
    const int start = beforeEnd > 0 ? LabelsPerSheet(type) - beforeEnd + 1 : 1;
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, samples, repeat, start);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const int clientHeight = w.centralWidget()->height();
    LabelJob job;
    job.sheetType = SheetType::fromCode(type).value();
    job.sampleCount = samples;
    job.repeatCount = repeat;
    job.startPos = start;
    job.initialValue = w.editor().initialValue;

    pressPrint(w);
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(w.statusBar()->currentMessage(), printedSummaryText(advanceAfterPrint(job)));
    // The status line adds to the window; it covers none of the controls.
    // The bar is laid out once the window's posted layout request is handled.
    QTest::qWait(50);
    QVERIFY(w.statusBar()->isVisible());
    QCOMPARE(w.centralWidget()->height(), clientHeight);
}

QTEST_MAIN(TestPolish)
#include "tst_polish.moc"
