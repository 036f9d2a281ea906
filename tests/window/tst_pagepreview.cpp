// SPDX-License-Identifier: GPL-3.0-or-later
// Seeing before printing from the window: the page preview shows what Print sends and moves
// nothing; the calibration sheet prints the family's grid at its offsets and moves nothing.
#include "../support/SheetTypeOf.h"
#include "PrinterScaleDialog.h"
#include "WindowSupport.h"

#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"
#include "settings/PrinterScaleFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

using namespace corvial;

namespace {

// What previewing must leave exactly as it was.
struct Snapshot
{
    int startPos[5] = {};
    int initialValue = 0;
    int listBox12 = 0;
    int sheetSelector = 0;
    int sheetCount = 0;
    bool printScreen = false;
    bool colorsResetPending = false;
    QByteArray settings;

    static Snapshot of(TfrmMain &w, const WindowFixture &fx)
    {
        Snapshot s;
        for (int f = 1; f <= 4; ++f)
            s.startPos[f] = w.editor().startPos[f];
        s.initialValue = w.editor().initialValue;
        s.listBox12 = w.ListBox12->selectedRow();
        s.sheetSelector = w.ListBox20->selectedRow();
        s.sheetCount = w.ListBox20->count();
        s.printScreen = !w.pnlPrint->isHidden() && w.pnlMain->isHidden();
        s.colorsResetPending = w.editor().colorsResetPending;
        s.settings = fx.readSettings();
        return s;
    }

    QString text() const
    {
        return QStringLiteral("start %1/%2/%3/%4 value %5 list %6 sheet %7 of %8 print %9 "
                              "reset %10 file %11")
            .arg(startPos[1])
            .arg(startPos[2])
            .arg(startPos[3])
            .arg(startPos[4])
            .arg(initialValue)
            .arg(listBox12)
            .arg(sheetSelector)
            .arg(sheetCount)
            .arg(printScreen)
            .arg(colorsResetPending)
            .arg(QString::fromLatin1(settings.toHex()));
    }
};

QAction *previewPrintAction(QPrintPreviewDialog *dialog)
{
    const QString text = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    for (QAction *a : dialog->findChildren<QAction *>()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

} // namespace

class TestPagePreview : public QObject
{
    Q_OBJECT

private slots:
    void menuEntriesFollowTheScreen();
    void previewShowsWhatPrintSends_data();
    void previewShowsWhatPrintSends();
    void previewUsesTheKeptPrinter();
    void printFromThePreviewIsPrint_data();
    void printFromThePreviewIsPrint();
    void previewFailureIsReported();
    void calibrationSheet_data();
    void calibrationSheet();
    void calibrationSheetCancelOrFailure();
    void platformPreview_data();
    void platformPreview();
    void printerScaleDialog_data();
    void printerScaleDialog();
    void savedScaleReachesEveryPrint();
};

void TestPagePreview::menuEntriesFollowTheScreen()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    QAction *preview = w.findChild<QAction *>(QStringLiteral("N5"));
    QAction *calibration = w.findChild<QAction *>(QStringLiteral("N6"));
    QVERIFY(preview && calibration);
    QCOMPARE(preview->text(), QStringLiteral("印刷プレビュー"));
    QCOMPARE(calibration->text(), QStringLiteral("位置合わせシート印刷"));
    auto states = [&] {
        return QStringLiteral("%1%2").arg(preview->isEnabled()).arg(calibration->isEnabled());
    };
    QCOMPARE(states(), QStringLiteral("00"));
    preview->trigger();
    calibration->trigger();
    QVERIFY(idle(w));
    QCOMPARE(fx.dialogs->previewPrinters.size(), 0);
    QCOMPARE(fx.dialogs->printerAsked, 0);

    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QCOMPARE(states(), QStringLiteral("11"));
    QTest::mouseClick(w.cmdBack, Qt::LeftButton);
    QCOMPARE(states(), QStringLiteral("00"));
    chooseType(w, 7);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QCOMPARE(states(), QStringLiteral("11"));
    pressPrint(w);
    QVERIFY(w.pnlPrint->isHidden());
    QCOMPARE(states(), QStringLiteral("00"));
    // Refused PrintSet: the entry screen stays and so do the disabled entries.
    clickRow(w.ListBox2, 399);
    clickRow(w.ListBox1, 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QCOMPARE(states(), QStringLiteral("00"));
}

void TestPagePreview::previewShowsWhatPrintSends_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("pages");
    QTest::newRow("circle from 140, framed") << 1 << 30 << 1 << 140 << 2;
    QTest::newRow("rectangle from 50, repeat 2") << 2 << 30 << 2 << 50 << 2;
    QTest::newRow("marker type") << 4 << 20 << 1 << 55 << 2;
    QTest::newRow("tube 95 from 95, 400 labels") << 6 << 400 << 1 << 95 << 6;
    QTest::newRow("tube 72 text only, one sheet") << 10 << 5 << 1 << 1 << 1;
    QTest::newRow("tube 72 numbered, 7 sheets") << 8 << 80 << 5 << 72 << 7;
}

void TestPagePreview::previewShowsWhatPrintSends()
{
    QFETCH(int, type);
    QFETCH(int, samples);
    QFETCH(int, repeat);
    QFETCH(int, start);
    QFETCH(int, pages);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, samples, repeat, start, "\n");
    w.Memo3->setPlainText(QStringLiteral("AB\nCD"));
    clickRow(w.ListBox19, 2);
    clickRow(w.ListBox21, 1);
    if (type == 1)
        QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
    clickRow(w.ListBox20, 0);
    const Snapshot before = Snapshot::of(w, fx);

    w.findChild<QAction *>(QStringLiteral("N5"))->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(fx.dialogs->previewPrinters.size(), 1);
    QCOMPARE(fx.dialogs->printerAsked, 0);
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(fx.canvas.pagesPrinted(), pages);
    QCOMPARE(fx.canvas.misuse, 0);
    QCOMPARE(Snapshot::of(w, fx).text(), before.text());
    const QStringList previewed = recordedCalls(fx.canvas);

    fx.canvas.clear();
    pressPrint(w);
    QCOMPARE(fx.dialogs->errors, QStringList());
    const QStringList printed = recordedCalls(fx.canvas);
    QCOMPARE(printed.size(), previewed.size());
    for (int i = 0; i < printed.size(); ++i)
        QVERIFY2(printed.at(i) == previewed.at(i),
                 qPrintable(QStringLiteral("call %1: printed %2, previewed %3")
                                .arg(i)
                                .arg(printed.at(i), previewed.at(i))));
}

void TestPagePreview::previewUsesTheKeptPrinter()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 2, 3, 1, 1, "\n");
    QAction *preview = w.findChild<QAction *>(QStringLiteral("N5"));
    // Before any print the preview sets the printer up, and Print then offers that one.
    preview->trigger();
    QCOMPARE(fx.dialogs->previewPrinters.size(), 1);
    QVERIFY(fx.dialogs->previewPrinters.first());
    pressPrint(w);
    QCOMPARE(fx.dialogs->printersOffered.size(), 1);
    QCOMPARE(fx.dialogs->printersOffered.first(), fx.dialogs->previewPrinters.first());
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    preview->trigger();
    QCOMPARE(fx.dialogs->previewPrinters.size(), 2);
    QCOMPARE(fx.dialogs->previewPrinters.at(1), fx.dialogs->previewPrinters.first());
    // Repeated drawing, as a page set-up change in the preview causes, changes nothing either.
    fx.dialogs->previewPaints = 3;
    const Snapshot before = Snapshot::of(w, fx);
    fx.canvas.clear();
    preview->trigger();
    QCOMPARE(fx.canvas.documentsEnded, 3);
    QCOMPARE(Snapshot::of(w, fx).text(), before.text());
}

void TestPagePreview::printFromThePreviewIsPrint_data()
{
    QTest::addColumn<bool>("printerAccepted");
    QTest::newRow("printer confirmed") << true;
    QTest::newRow("print dialog cancelled") << false;
}

void TestPagePreview::printFromThePreviewIsPrint()
{
    QFETCH(bool, printerAccepted);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 30, 1, 140, "\n");
    fx.dialogs->previewPrintWanted = true;
    fx.dialogs->printerAccepted = printerAccepted;
    const Snapshot before = Snapshot::of(w, fx);
    w.findChild<QAction *>(QStringLiteral("N5"))->trigger();
    QVERIFY(idle(w));
    // The same print dialog and the same steps afterwards as the Print button.
    QCOMPARE(fx.dialogs->printerAsked, 1);
    QCOMPARE(fx.dialogs->printersOffered.first(), fx.dialogs->previewPrinters.first());
    QCOMPARE(fx.canvas.documentsEnded, printerAccepted ? 2 : 1);
    if (!printerAccepted) {
        QCOMPARE(Snapshot::of(w, fx).text(), before.text());
        return;
    }
    QCOMPARE(w.editor().startPos[1], 20);
    QCOMPARE(w.editor().initialValue, 31);
    QCOMPARE(w.ListBox12->selectedRow(), 30);
    QCOMPARE(fx.readSettings(), QByteArray("10,10,20\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n"));
    QVERIFY(!w.pnlMain->isHidden());
    QVERIFY(w.cmdBack->isHidden());
    QVERIFY(w.editor().colorsResetPending);
}

void TestPagePreview::previewFailureIsReported()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 5, 100, 1, 1, "\n");
    fx.canvas.failNewPageAt = 1;
    fx.canvas.failureText = QStringLiteral("The preview ran out of memory");
    const Snapshot before = Snapshot::of(w, fx);
    w.findChild<QAction *>(QStringLiteral("N5"))->trigger();
    QTRY_COMPARE(fx.dialogs->errors.size(), 1);
    QVERIFY2(fx.dialogs->errors.first().contains(QStringLiteral("印刷プレビュー")),
             qPrintable(fx.dialogs->errors.first()));
    QVERIFY(fx.dialogs->errors.first().contains(fx.canvas.failureText));
    QCOMPARE(Snapshot::of(w, fx).text(), before.text());
}

void TestPagePreview::calibrationSheet_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("ox");
    QTest::addColumn<int>("oy");
    QTest::addColumn<QString>("offsets");
    QTest::newRow("circle, as stored")
        << 1 << 10 << 10 << QStringLiteral("横 0 mm（＋は右）　縦 0 mm");
    QTest::newRow("rectangle memo, right and up")
        << 3 << 13 << 8 << QStringLiteral("横 +1.5 mm（＋は右）　縦 -1 mm");
    QTest::newRow("tube 95 short, left and down")
        << 7 << 0 << 20 << QStringLiteral("横 -5 mm（＋は右）　縦 +5 mm");
    QTest::newRow("tube 72") << 9 << 11 << 9 << QStringLiteral("横 +0.5 mm（＋は右）　縦 -0.5 mm");
}

void TestPagePreview::calibrationSheet()
{
    QFETCH(int, type);
    QFETCH(int, ox);
    QFETCH(int, oy);
    QFETCH(QString, offsets);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, 30, 1, 7, "\n");
    const int family = FamilyOfType(type);
    if (ox != 10)
        clickRow(w.ListBox25, ox);
    if (oy != 10)
        clickRow(w.ListBox23, oy);
    QCOMPARE(w.editor().offsetX[family], ox);
    QCOMPARE(w.editor().offsetY[family], oy);
    const Snapshot before = Snapshot::of(w, fx);

    w.findChild<QAction *>(QStringLiteral("N6"))->trigger();
    QVERIFY(idle(w));
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(fx.dialogs->printerAsked, 1);
    QCOMPARE(fx.canvas.documentsEnded, 1);
    // The offset page and the ruler page.
    QCOMPARE(fx.canvas.pagesPrinted(), 2);
    const CanvasCall::Kind shape = type == 1 ? CanvasCall::Ellipse : CanvasCall::Rectangle;
    // Black outlines, one per label; the tube sheets add a white box under the caption.
    QVector<CanvasCall> outlines;
    for (const CanvasCall &c : fx.canvas.callsOf(shape)) {
        if (c.penColour == 0x000000)
            outlines << c;
    }
    QCOMPARE(outlines.size(), LabelsPerSheet(type));
    // The first outline sits where a print at these offsets puts position 1 (300 dpi).
    const FamilyInfo &g = familyInfo(family);
    const CanvasCall first = outlines.first();
    QCOMPARE(first.x1, dotsFor(g.originX + 5 * (ox - 10), 300));
    QCOMPARE(first.y1, dotsFor(g.originY + 5 * (oy - 10), 300));
    bool named = false;
    for (const CanvasCall &t : fx.canvas.callsOf(CanvasCall::TextOut))
        named = named || t.text.contains(offsets);
    QVERIFY2(named, qPrintable(offsets));
    QCOMPARE(Snapshot::of(w, fx).text(), before.text());

    // The same printer as Print.
    pressPrint(w);
    QCOMPARE(fx.dialogs->printersOffered.size(), 2);
    QCOMPARE(fx.dialogs->printersOffered.at(0), fx.dialogs->printersOffered.at(1));
}

void TestPagePreview::calibrationSheetCancelOrFailure()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 2, 30, 1, 12, "\n");
    QAction *calibration = w.findChild<QAction *>(QStringLiteral("N6"));
    const Snapshot before = Snapshot::of(w, fx);
    fx.dialogs->printerAccepted = false;
    calibration->trigger();
    QVERIFY(idle(w));
    QCOMPARE(fx.dialogs->printerAsked, 1);
    QCOMPARE(fx.canvasesMade, 0);
    QCOMPARE(fx.dialogs->errors, QStringList());

    fx.dialogs->printerAccepted = true;
    fx.canvas.failEndAt = 1;
    fx.canvas.failureText = QStringLiteral("Printer is out of paper");
    calibration->trigger();
    QVERIFY(idle(w));
    QCOMPARE(fx.dialogs->errors.size(), 1);
    QVERIFY2(fx.dialogs->errors.first().contains(QStringLiteral("位置合わせシート")),
             qPrintable(fx.dialogs->errors.first()));
    QVERIFY(fx.dialogs->errors.first().contains(QStringLiteral("out of paper")));
    QCOMPARE(Snapshot::of(w, fx).text(), before.text());
}

void TestPagePreview::platformPreview_data()
{
    QTest::addColumn<bool>("pressPrint");
    QTest::newRow("closed") << false;
    QTest::newRow("print pressed") << true;
}

void TestPagePreview::platformPreview()
{
    // The platform's preview: every sheet shown, its print button only hands back to Print,
    // and a print file chosen earlier is left alone.
    QFETCH(bool, pressPrint);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString earlier = dir.filePath(QStringLiteral("earlier.pdf"));
    {
        QFile f(earlier);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4 the labels printed yesterday");
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(earlier);
    LabelJob job;
    job.sheetType = typeOf(2);
    job.sampleCount = 70; // positions 1..60, then 1..10 of a second sheet
    job.proofText = QStringLiteral("AB");

    int paints = 0;
    QStringList failures;
    auto paint = [&](QPrinter *target) {
        ++paints;
        PrinterCanvas canvas(target);
        QString error;
        if (!printJob(canvas, job, &error))
            failures << error;
    };
    int pageCount = -1;
    int paintsShown = -1;
    bool printDialogOpened = false;
    bool sawPreview = false;
    // Timers that have not fired when the test ends go with it.
    QObject guard;
    QTimer::singleShot(0, &guard, [&] {
        auto *dialog = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return; // the dialog is missing: exec below never started, nothing to close
        sawPreview = true;
        auto *widget = dialog->findChild<QPrintPreviewWidget *>();
        pageCount = widget ? widget->pageCount() : -2;
        paintsShown = paints;
        QAction *print = previewPrintAction(dialog);
        if (!pressPrint || !print) {
            dialog->reject();
            return;
        }
        // Should the platform's print dialog come up, close it rather than hang.
        QTimer::singleShot(0, &guard, [&] {
            if (auto *pd = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget())) {
                printDialogOpened = true;
                pd->reject();
            }
        });
        print->trigger();
        if (dialog->isVisible())
            dialog->reject();
    });
    QtDialogs dialogs;
    const bool printWanted = dialogs.previewPages(nullptr, &printer, paint);
    QVERIFY(sawPreview);
    QCOMPARE(failures, QStringList());
    QCOMPARE(pageCount, 2);
    QVERIFY(paintsShown >= 1);
    QCOMPARE(printWanted, pressPrint);
    QVERIFY(!printDialogOpened);
    QCOMPARE(paints, paintsShown);
    QFile f(earlier);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("%PDF-1.4 the labels printed yesterday"));
}

void TestPagePreview::printerScaleDialog_data()
{
    QTest::addColumn<double>("across");
    QTest::addColumn<double>("along");
    QTest::addColumn<QString>("shown"); // the factors the dialog shows, X/Y
    QTest::addColumn<bool>("saved");
    QTest::newRow("a printer 1 % short across, 1 % long along")
        << 178.2 << 262.6 << QStringLiteral("101.0/99.0") << true;
    QTest::newRow("only across measured") << 180.5 << 0.0 << QStringLiteral("99.7/100.0") << true;
    QTest::newRow("a length far off the ruler")
        << 170.0 << 260.0 << QStringLiteral("100.0/100.0") << false;
}

// From the menu through the dialog: measured lengths become factors, and Save writes them
// into corvial.ini beside start.txt, keeping what else the file holds. A length whose factor
// lies outside the range is refused, and nothing is saved.
void TestPagePreview::printerScaleDialog()
{
    QFETCH(double, across);
    QFETCH(double, along);
    QFETCH(QString, shown);
    QFETCH(bool, saved);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    const QString ini = QDir(fx.dir.path()).filePath(QStringLiteral("corvial.ini"));
    const QByteArray lab = "[history]\n# the lab's own note\n";
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(lab) == lab.size());
    }
    QAction *entry = w.findChild<QAction *>(QStringLiteral("mnuPrinterScale"));
    QVERIFY(entry);
    QCOMPARE(entry->text(), QStringLiteral("プリンタの倍率…"));
    entry->trigger();
    auto *dialog = w.findChild<PrinterScaleDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    auto *acrossSpin = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("measuredAcrossSpin"));
    auto *alongSpin = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("measuredAlongSpin"));
    auto *xSpin = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("scaleXSpin"));
    auto *ySpin = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("scaleYSpin"));
    QVERIFY(acrossSpin && alongSpin && xSpin && ySpin);
    acrossSpin->setValue(across);
    alongSpin->setValue(along);
    QCOMPARE(xSpin->cleanText() + QLatin1Char('/') + ySpin->cleanText(), shown);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    PrinterScale read;
    QString error;
    QVERIFY2(readPrinterScale(fx.settingsPath(), &read, &error), qPrintable(error));
    QFile f(ini);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    if (!saved) {
        QCOMPARE(fx.dialogs->errors.size(), 1);
        QVERIFY2(fx.dialogs->errors.first().contains(QStringLiteral("範囲")),
                 qPrintable(fx.dialogs->errors.first()));
        QVERIFY(dialog->isVisible());
        QCOMPARE(content, lab);
        return;
    }
    QCOMPARE(fx.dialogs->errors, QStringList());
    QVERIFY(content.startsWith(lab));
    QCOMPARE(formatScalePercent(read.permilleX) + QLatin1Char('/') +
                 formatScalePercent(read.permilleY),
             shown);
    // Reset to 100 % is saved as such.
    w.findChild<QAction *>(QStringLiteral("mnuPrinterScale"))->trigger();
    auto *again = w.findChild<PrinterScaleDialog *>();
    QVERIFY(again);
    again->findChild<QPushButton *>(QStringLiteral("resetButton"))->click();
    again->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    QVERIFY2(readPrinterScale(fx.settingsPath(), &read, &error), qPrintable(error));
    QVERIFY(read.isIdentity());
}

// The saved scale reaches the preview and the calibration sheet's outlines, about the page's
// top-left corner; a damaged one stops both before anything is drawn, naming file and key.
void TestPagePreview::savedScaleReachesEveryPrint()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 2, 60, 1, 1, "\n");
    const auto writeIni = [&](const QByteArray &content) {
        QFile f(QDir(fx.dir.path()).filePath(QStringLiteral("corvial.ini")));
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    };
    // The last label's box in the preview and on the calibration sheet.
    const auto lastBoxes = [&] {
        fx.canvas.calls.clear();
        w.findChild<QAction *>(QStringLiteral("N5"))->trigger();
        w.findChild<QAction *>(QStringLiteral("N6"))->trigger();
        QVector<CanvasCall> last;
        if (!idle(w))
            return last;
        int document = 0;
        for (const CanvasCall &c : std::as_const(fx.canvas.calls)) {
            document += c.kind == CanvasCall::BeginDocument;
            if (c.kind == CanvasCall::Rectangle && c.page == 1 && last.size() < document)
                last << c;
            else if (c.kind == CanvasCall::Rectangle && c.page == 1)
                last.last() = c;
        }
        return last;
    };
    const QVector<CanvasCall> plain = lastBoxes();
    QVERIFY(writeIni("[printer]\nscaleX=103.0\nscaleY=97.0\n"));
    const QVector<CanvasCall> scaled = lastBoxes();
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(scaled.size(), 2);
    QCOMPARE(plain.size(), 2);
    for (int k = 0; k < 2; ++k) {
        QVERIFY(qAbs(scaled.at(k).x1 - plain.at(k).x1 * 1.03) <= 1);
        QVERIFY(qAbs(scaled.at(k).y1 - plain.at(k).y1 * 0.97) <= 1);
    }

    QVERIFY(writeIni("[printer]\nscaleY=97\nscaleX=105.5\n"));
    QVERIFY(lastBoxes().isEmpty());
    QCOMPARE(fx.dialogs->errors.size(), 2);
    for (const QString &e : std::as_const(fx.dialogs->errors))
        QVERIFY2(e.contains(QStringLiteral("corvial.ini")) &&
                     e.contains(QStringLiteral("3 行目の [printer] scaleX")),
                 qPrintable(e));
    QCOMPARE(fx.canvas.calls.size(), 0);
}

QTEST_MAIN(TestPagePreview)
#include "tst_pagepreview.moc"
