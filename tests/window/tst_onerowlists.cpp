// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen's lists one row high (the two offsets and the sheet selector): what their
// arrows and the wheel bring into view is what is saved, printed and pictured.
#include "../support/PdfProbe.h"
#include "WindowSupport.h"

#include <QApplication>
#include <QFrame>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QWheelEvent>

using namespace corvial;

namespace {

ChoiceList *list(TfrmMain &w, const QString &name)
{
    return w.findChild<ChoiceList *>(name);
}

// A real click on the scroll bar's arrow for the next row, where the style draws it.
void clickDownArrow(ChoiceList *l)
{
    QScrollBar *bar = l->verticalScrollBar();
    QVERIFY(bar->isVisible());
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    const QRect arrow = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                     QStyle::SC_ScrollBarAddLine, bar);
    QVERIFY(!arrow.isEmpty());
    QTest::mouseClick(bar, Qt::LeftButton, {}, arrow.center());
}

// One notch of the wheel over the rows; down = towards the later rows.
void turnWheel(ChoiceList *l, bool down)
{
    const QPoint at = l->viewport()->rect().center();
    QWheelEvent wheel(at, l->viewport()->mapToGlobal(at), QPoint(), QPoint(0, down ? -120 : 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(l->viewport(), &wheel);
}

// Field 0..2 (horizontal offset, vertical offset, start) of family f's line in start.txt.
int savedField(const WindowFixture &fx, int f, int field)
{
    return fx.readSettings().split('\n').value(f - 1).trimmed().split(',').value(field).toInt();
}

TfrmMain &shownJob(WindowFixture &fx, int type, int samples, int start)
{
    TfrmMain &w = openJob(fx, type, samples, 1, start);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        QTest::qFail("the window was not shown", __FILE__, __LINE__);
    return w;
}

// Leftmost column with ink on the first page of pdf at dpi, -1 when it cannot be read.
int leftmostInk(const QString &pdf, int dpi)
{
    const QString base = pdf + QStringLiteral(".page");
    bool ok = false;
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
             QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"), pdf, base},
            &ok);
    const QImage page(base + QStringLiteral(".pgm"));
    if (!ok || page.isNull())
        return -1;
    int left = -1;
    for (int y = 0; y < page.height(); y += 2) {
        const int x = firstInk(page, QPoint(0, y), 1, 0, left < 0 ? page.width() : left);
        if (x >= 0)
            left = x;
    }
    return left;
}

} // namespace

class TestOneRowLists : public QObject
{
    Q_OBJECT

private slots:
    void gestureChooses_data();
    void gestureChooses();
    void printedOffsetFollowsTheArrow();
};

void TestOneRowLists::gestureChooses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("wheel"); // false: the arrow
    QTest::addColumn<int>("field");  // of start.txt it sets, -1: the sheet pictured
    QTest::newRow("vertical offset, arrow") << "ListBox23" << false << 1;
    QTest::newRow("vertical offset, wheel") << "ListBox23" << true << 1;
    QTest::newRow("horizontal offset, arrow") << "ListBox25" << false << 0;
    QTest::newRow("horizontal offset, wheel") << "ListBox25" << true << 0;
    QTest::newRow("sheet selector, arrow") << "ListBox20" << false << -1;
    QTest::newRow("sheet selector, wheel") << "ListBox20" << true << -1;
}

// A step down chooses the next row, which is saved (offsets) or pictured (sheets); a wheel
// notch back up returns to the first choice.
void TestOneRowLists::gestureChooses()
{
    QFETCH(QString, name);
    QFETCH(bool, wheel);
    QFETCH(int, field);
    WindowFixture fx;
    // Rectangles, 61 labels from position 60: two sheets, the first label grey on sheet 1 only.
    TfrmMain &w = shownJob(fx, 2, 61, 60);
    ChoiceList *l = list(w, name);
    QVERIFY(l && l->showsOneRow());
    const ShapeCell *first = w.findChild<QFrame *>(QStringLiteral("pnlRect"))
                                 ->findChild<ShapeCell *>(QStringLiteral("Rect01"));
    QVERIFY(first);
    const QColor firstBefore = first->fillColour();
    const int before = l->selectedRow();

    if (wheel)
        turnWheel(l, true);
    else
        clickDownArrow(l);
    QCOMPARE(l->selectedRow(), before + 1);
    QCOMPARE(l->indexAt(QPoint(2, 2)).row(), before + 1);
    if (field >= 0)
        QCOMPARE(savedField(fx, 2, field), before + 1);
    else
        QVERIFY(first->fillColour() != firstBefore);

    turnWheel(l, false);
    QCOMPARE(l->selectedRow(), before);
    if (field >= 0)
        QCOMPARE(savedField(fx, 2, field), before);
    else
        QCOMPARE(first->fillColour(), firstBefore);
}

// What the horizontal offset's arrow brings into view is what the printer shifts by: the
// leftmost ink of a second print from the same position moves right by that step.
void TestOneRowLists::printedOffsetFollowsTheArrow()
{
    const int dpi = 300;
    WindowFixture fx;
    auto dialogs = std::make_shared<PdfDialogs>();
    fx.dialogs = dialogs;
    fx.realPrinter = true;
    TfrmMain &w = shownJob(fx, 2, 6, 1);
    auto *print = w.findChild<QToolButton *>(QStringLiteral("cmdPrint"));
    auto *printSet = w.findChild<QPushButton *>(QStringLiteral("cmdPrintSet"));
    auto *entry = w.findChild<QFrame *>(QStringLiteral("pnlMain"));
    ChoiceList *offset = list(w, QStringLiteral("ListBox25"));
    const double mmBefore = offset->currentItem()->text().toDouble();

    dialogs->pdfPath = fx.dir.filePath(QStringLiteral("before.pdf"));
    QTest::mouseClick(print, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !entry->isHidden(); }, 10000));
    QTest::mouseClick(printSet, Qt::LeftButton);
    // Back to the first position, which the print moved on.
    auto *surface = w.findChild<ClickSurface *>(QStringLiteral("Image2"));
    QTest::mouseMove(surface, QPoint(20, 15));
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(20, 15));
    clickDownArrow(offset);
    const double mmAfter = offset->currentItem()->text().toDouble();
    QVERIFY(mmAfter > mmBefore);
    dialogs->pdfPath = fx.dir.filePath(QStringLiteral("after.pdf"));
    QTest::mouseClick(print, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !entry->isHidden(); }, 10000));
    QCOMPARE(dialogs->errors, QStringList());

    const int left = leftmostInk(fx.dir.filePath(QStringLiteral("before.pdf")), dpi);
    const int moved = leftmostInk(dialogs->pdfPath, dpi);
    QVERIFY(left > 0 && moved > 0);
    const double expected = (mmAfter - mmBefore) / 25.4 * dpi;
    QVERIFY2(
        qAbs(moved - left - expected) <= 1.5,
        qPrintable(
            QStringLiteral("ink moved %1 px, the step is %2 px").arg(moved - left).arg(expected)));
}

QTEST_MAIN(TestOneRowLists)
#include "tst_onerowlists.moc"
