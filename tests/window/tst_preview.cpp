// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet preview and the start position: cell colours, the sheet selector, clicks on the
// preview images and what they save.
#include "WindowSupport.h"

#include <QPushButton>
#include <QRadioButton>

using namespace corvial;

namespace {

const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);

const QVector<ShapeCell *> &cells(TfrmMain &w, int family)
{
    const QVector<ShapeCell *> *arrays[] = {&w.circleShapes, &w.rectShapes, &w.tube95Shapes,
                                            &w.tube72Shapes};
    return *arrays[family - 1];
}

ClickSurface *image(TfrmMain &w, int family)
{
    ClickSurface *images[] = {w.image7, w.Image2, w.Image4, w.Image6};
    return images[family - 1];
}

// The colours of cells 1..P as runs "G1-140 R141-150", so a whole sheet reads at a glance.
QString runs(TfrmMain &w, int family)
{
    QStringList out;
    const QVector<ShapeCell *> &c = cells(w, family);
    auto letter = [](const QColor &col) {
        return col == kGrey    ? QLatin1Char('G')
               : col == kRed   ? QLatin1Char('R')
               : col == kWhite ? QLatin1Char('W')
                               : QLatin1Char('?');
    };
    int start = 1;
    for (int i = 2; i <= c.size(); ++i) {
        if (i == c.size() || letter(c[i]->fillColour()) != letter(c[start]->fillColour())) {
            out << QStringLiteral("%1%2-%3")
                       .arg(letter(c[start]->fillColour()))
                       .arg(start)
                       .arg(i - 1);
            start = i;
        }
    }
    return out.join(QLatin1Char(' '));
}

// Opens the print screen of a job of `labels` labels (samples x 1) at start position s.
TfrmMain &openJob(WindowFixture &fx, int type, int labels, int s)
{
    // The start position comes from start.txt, as a user's last job left it.
    QByteArray settings;
    for (int f = 1; f <= FamilyCount; ++f)
        settings += "10,10," + QByteArray::number(f == FamilyOfType(type) ? s : 1) + "\r\n";
    settings += "\r\n";
    TfrmMain &w = fx.create(settings.constData());
    if (type != 1)
        chooseType(w, type);
    clickRow(w.ListBox2, labels - 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    return w;
}

void clickAt(ClickSurface *surface, const QPoint &p)
{
    QTest::mouseMove(surface, p);
    QTest::mouseClick(surface, Qt::LeftButton, {}, p);
}

QStringList items(ChoiceList *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void sheetsOfAJob_data();
    void sheetsOfAJob();
    void oneSheetCircleJobHasNoSelection();
    void clickChoosesStartPosition_data();
    void clickChoosesStartPosition();
    void clickBetweenBandsChangesNothing();
    void laterSheetShownMakesPreviewReadOnly();
    void rectangleClickIsNotSaved();
    void movingStartAddsASheet();
    void pointerMovesAreStored();
};

void TestPreview::sheetsOfAJob_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("sheets"); // runs of each sheet, in order
    QTest::newRow("circle 30 from 1") << 1 << 30 << 1 << QStringList{"R1-30 W31-150"};
    QTest::newRow("circle 30 from 141")
        << 1 << 30 << 141 << QStringList{"G1-140 R141-150", "R1-20 W21-150"};
    QTest::newRow("tube72 72 from 1") << 8 << 72 << 1 << QStringList{"R1-72"};
    QTest::newRow("tube72 73 from 1") << 9 << 73 << 1 << QStringList{"R1-72", "R1-1 W2-72"};
    QTest::newRow("rectangle 61 from 60") << 2 << 61 << 60 << QStringList{"G1-59 R60-60", "R1-60"};
    QTest::newRow("tube95 400 from 95")
        << 5 << 400 << 95
        << QStringList{"G1-94 R95-95", "R1-95", "R1-95", "R1-95", "R1-95", "R1-19 W20-95"};
    QTest::newRow("circle 400 from 150")
        << 1 << 400 << 150 << QStringList{"G1-149 R150-150", "R1-150", "R1-150", "R1-99 W100-150"};
}

void TestPreview::sheetsOfAJob()
{
    QFETCH(int, type);
    QFETCH(int, labels);
    QFETCH(int, start);
    QFETCH(QStringList, sheets);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, labels, start);
    const int family = FamilyOfType(type);
    QCOMPARE(w.editor().sheetCount, sheets.size());
    QStringList numbers;
    for (int k = 1; k <= sheets.size(); ++k)
        numbers << QString::number(k);
    QCOMPARE(items(w.ListBox20), numbers);
    QCOMPARE(w.ListBox20->selectedRow(), 0);
    QCOMPARE(runs(w, family), sheets.first());
    for (int k = sheets.size(); k >= 1; --k) {
        clickRow(w.ListBox20, k - 1);
        QCOMPARE(runs(w, family), sheets.at(k - 1));
    }
}

void TestPreview::oneSheetCircleJobHasNoSelection()
{
    // PrintSet selects the first sheet itself afterwards; the set-up alone leaves none.
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 30, 1);
    QCOMPARE(items(w.ListBox20), QStringList{QStringLiteral("1")});
    w.ListBox20->selectRow(-1);
    QTest::mouseMove(w.image7, QPoint(30, 45));
    QTest::mouseClick(w.image7, Qt::LeftButton, {}, QPoint(30, 45));
    QCOMPARE(w.editor().startPos[1], 12);
    QCOMPARE(w.ListBox20->selectedRow(), -1);
}

void TestPreview::clickChoosesStartPosition_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("circle (30,45)")
        << 1 << QPoint(30, 45) << 12
        << QByteArray("10,10,12\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n");
    QTest::newRow("circle row 10 shifted")
        << 1 << QPoint(159, 233) << 100
        << QByteArray("10,10,100\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n");
    QTest::newRow("tube95 row 10")
        << 6 << QPoint(200, 152) << 50
        << QByteArray("10,10,1\r\n10,10,1\r\n10,10,50\r\n10,10,1\r\n\r\n");
    QTest::newRow("tube72 (231,302)")
        << 8 << QPoint(231, 302) << 72
        << QByteArray("10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,72\r\n\r\n");
}

void TestPreview::clickChoosesStartPosition()
{
    QFETCH(int, type);
    QFETCH(QPoint, at);
    QFETCH(int, position);
    QFETCH(QByteArray, file);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, 1, 1);
    const int family = FamilyOfType(type);
    clickAt(image(w, family), at);
    QCOMPARE(w.editor().startPos[family], position);
    QCOMPARE(fx.readSettings(), file);
    QCOMPARE(cells(w, family)[position]->fillColour(), kRed);
    if (position > 1)
        QCOMPARE(cells(w, family)[position - 1]->fillColour(), kGrey);
}

void TestPreview::clickBetweenBandsChangesNothing()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 30, 1);
    clickAt(w.image7, QPoint(30, 35));
    clickAt(w.image7, QPoint(5, 20));
    QCOMPARE(w.editor().startPos[1], 1);
    QCOMPARE(fx.readSettings(), WindowFixture::defaultSettings());
}

void TestPreview::laterSheetShownMakesPreviewReadOnly()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 30, 141);
    clickRow(w.ListBox20, 1);
    const QByteArray saved = fx.readSettings();
    clickAt(w.image7, QPoint(30, 45));
    QCOMPARE(w.editor().startPos[1], 141);
    QCOMPARE(fx.readSettings(), saved);
    QCOMPARE(runs(w, 1), QStringLiteral("R1-20 W21-150"));
}

void TestPreview::rectangleClickIsNotSaved()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 3, 10, 1);
    clickAt(w.Image2, QPoint(48, 32)); // column 2, row 2
    QCOMPARE(w.editor().startPos[2], 8);
    QCOMPARE(runs(w, 2), QStringLiteral("G1-7 R8-17 W18-60"));
    QCOMPARE(fx.readSettings(), WindowFixture::defaultSettings());
    // The next save for any reason carries it.
    clickRow(w.ListBox25, 11);
    QCOMPARE(fx.readSettings(), QByteArray("10,10,1\r\n11,10,8\r\n10,10,1\r\n10,10,1\r\n\r\n"));
}

void TestPreview::movingStartAddsASheet()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 30, 1);
    QCOMPARE(items(w.ListBox20), QStringList{QStringLiteral("1")});
    clickAt(w.image7, QPoint(145, 353)); // column 10, row 15: position 150
    QCOMPARE(w.editor().startPos[1], 150);
    QCOMPARE(items(w.ListBox20), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(w.ListBox20->selectedRow(), 0);
    QCOMPARE(runs(w, 1), QStringLiteral("G1-149 R150-150"));
}

void TestPreview::pointerMovesAreStored()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 8, 1, 1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseMove(w.Image6, QPoint(17, 33));
    QCOMPARE(w.previewPointer().x(), 17);
    QCOMPARE(w.previewPointer().y(), 33);
    // A click is resolved where the pointer last moved: column 1, row 2 of the tube-72 sheet.
    QTest::mouseClick(w.Image6, Qt::LeftButton, {}, QPoint(17, 33));
    QCOMPARE(w.editor().startPos[4], 5);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
