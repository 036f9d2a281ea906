// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen's colour lists and sheet selector keep a chosen item whatever the user
// does with them, and the number proof starts out white like the other proof texts.
#include "WindowSupport.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace corvial;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

// The print screen of a job of `samples` samples of the sheet type.
TfrmMain &openJob(WindowFixture &fx, int type, int samples)
{
    TfrmMain &w = fx.create();
    if (type != 1)
        chooseType(w, type);
    clickRow(w.ListBox2, samples - 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    return w;
}

ChoiceList *list(TfrmMain &w, const QString &name)
{
    return w.findChild<ChoiceList *>(name);
}

QPoint centreOf(ChoiceList *l, int row)
{
    l->scrollToItem(l->item(row));
    return l->visualItemRect(l->item(row)).center();
}

// What printing and export would read from the window right now.
QString readBack(TfrmMain &w)
{
    return QStringLiteral("text %1 back %2 sheet %3 memo %4/%5")
        .arg(w.ListBox21->selectedRow())
        .arg(w.ListBox19->selectedRow())
        .arg(w.ListBox20->selectedRow())
        .arg(w.Memo3->palette().color(QPalette::Text).name(),
             w.Memo3->palette().color(QPalette::Base).name());
}

} // namespace

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void selectedItemStaysSelected_data();
    void selectedItemStaysSelected();
    void ctrlClickChoosesAnotherItem_data();
    void ctrlClickChoosesAnotherItem();
    void programStillClears();
    void numberProofStartsWhite_data();
    void numberProofStartsWhite();
};

void TestSelection::selectedItemStaysSelected_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("row");     // chosen by a plain click first, -1: left as PrintSet set it
    QTest::addColumn<QString>("how"); // "ctrl-click" or "ctrl-space"
    for (const char *how : {"ctrl-click", "ctrl-space"}) {
        const QString h = QLatin1String(how);
        QTest::newRow(qPrintable(h + " background, SkyBlue")) << "ListBox19" << 5 << 3 << 2 << h;
        QTest::newRow(qPrintable(h + " text colour, Red")) << "ListBox21" << 8 << 3 << 1 << h;
        QTest::newRow(qPrintable(h + " one-sheet circle job")) << "ListBox20" << 1 << 30 << -1 << h;
        QTest::newRow(qPrintable(h + " second of two sheets")) << "ListBox20" << 2 << 70 << 1 << h;
        QTest::newRow(qPrintable(h + " vertical offset")) << "ListBox23" << 6 << 3 << 12 << h;
        QTest::newRow(qPrintable(h + " horizontal offset")) << "ListBox25" << 9 << 3 << -1 << h;
    }
}

// Ctrl+click (or Ctrl+Space) on the selected item used to clear the list, after which a
// print silently fell back to white and black while the list showed no choice.
void TestSelection::selectedItemStaysSelected()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, samples);
    QFETCH(int, row);
    QFETCH(QString, how);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, samples);
    ChoiceList *l = list(w, name);
    QVERIFY(l);
    if (row >= 0)
        clickRow(l, row);
    const int chosen = l->selectedRow();
    QVERIFY(chosen >= 0);
    const QString before = readBack(w);

    if (how == QLatin1String("ctrl-click")) {
        QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(l, chosen));
    } else {
        l->setFocus();
        QTest::keyClick(l, Qt::Key_Space, Qt::ControlModifier);
    }
    QCOMPARE(l->selectedRow(), chosen);
    QVERIFY(l->item(chosen)->isSelected());
    QCOMPARE(readBack(w), before);
}

void TestSelection::ctrlClickChoosesAnotherItem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("row");
    QTest::newRow("background") << "ListBox19" << 2 << 3 << 5;
    QTest::newRow("text colour") << "ListBox21" << 9 << 3 << 4;
    QTest::newRow("sheet") << "ListBox20" << 5 << 100 << 1;
}

// Holding Ctrl does not stop a user from choosing: another item is still taken at once.
void TestSelection::ctrlClickChoosesAnotherItem()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, samples);
    QFETCH(int, row);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, samples);
    ChoiceList *l = list(w, name);
    QVERIFY(l);
    QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(l, row));
    QCOMPARE(l->selectedRow(), row);
    QCOMPARE(l->selectedItems().size(), 1);
}

// For a one-sheet circle job the preview set-up leaves the sheet selector without a choice
// until PrintSet makes one; the program's own calls are not held back.
void TestSelection::programStillClears()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1, 30);
    QCOMPARE(w.ListBox20->selectedRow(), 0);
    w.ListBox20->selectRow(-1);
    QCOMPARE(w.ListBox20->selectedRow(), -1);
    w.ListBox19->selectRow(3);
    QCOMPARE(w.ListBox19->selectedRow(), 3);
    w.ListBox20->clear();
    QCOMPARE(w.ListBox20->count(), 0);
    w.N2->trigger(); // the number style chosen again redoes PrintSet on the print screen
    QCOMPARE(w.ListBox20->selectedRow(), 0);
}

void TestSelection::numberProofStartsWhite_data()
{
    QTest::addColumn<int>("type");
    for (int type : {2, 5, 6, 8, 9})
        QTest::newRow(qPrintable(QStringLiteral("type %1").arg(type))) << type;
}

// The first PrintSet runs no colour action (nothing is pending yet), so the number panel
// shows what it was built with.
void TestSelection::numberProofStartsWhite()
{
    QFETCH(int, type);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, 3);
    QVERIFY(!w.editor().colorsResetPending);
    auto *panel = w.findChild<QLabel *>(QStringLiteral("Panel5"));
    QVERIFY(panel && !panel->isHidden());
    QCOMPARE(panel->palette().color(QPalette::Window), kWhite);
    QCOMPARE(panel->palette().color(QPalette::WindowText), kBlack);
    QVERIFY(panel->autoFillBackground());
    QCOMPARE(w.Memo3->palette().color(QPalette::Base), kWhite);
}

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
