// SPDX-License-Identifier: GPL-3.0-or-later
// The list box the window's lists are made of: rows formatted on demand, and a click action
// that only the user's choices run.
#include "Controls.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using corvial::ChoiceList;

namespace {

// Runs steps separated by spaces: "n5" appends the numbers 1..5, "t:a,b" the texts a and b,
// "s2" selects row 2 as the program does, "c" clears.
void run(ChoiceList &list, const QString &steps)
{
    for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (step.startsWith(QLatin1String("t:")))
            list.addItems(step.mid(2).split(QLatin1Char(',')));
        else if (step.startsWith(QLatin1Char('n')))
            list.addNumbers(step.mid(1).toInt());
        else if (step.startsWith(QLatin1Char('s')))
            list.selectRow(step.mid(1).toInt());
        else if (step == QLatin1String("c"))
            list.clear();
        else
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

QStringList texts(const ChoiceList &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

} // namespace

class TestListBox : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void clickAction_data();
    void clickAction();
    void typedNumbers_data();
    void typedNumbers();
};

void TestListBox::rows_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("selected");
    QTest::newRow("numbers") << "n4 s3" << QStringList{"1", "2", "3", "4"} << 3;
    QTest::newRow("no numbers") << "n0 n-2" << QStringList{} << -1;
    QTest::newRow("texts after numbers") << "n2 t:a,b s3" << QStringList{"1", "2", "a", "b"} << 3;
    QTest::newRow("numbers after texts") << "t:a n2 s2" << QStringList{"a", "1", "2"} << 2;
    QTest::newRow("numbers after numbers") << "n2 n3" << QStringList{"1", "2", "1", "2", "3"} << -1;
    QTest::newRow("beyond the last row") << "n3 s1 s3" << QStringList{"1", "2", "3"} << -1;
    QTest::newRow("clear drops the selection") << "n3 s1 c" << QStringList{} << -1;
    QTest::newRow("numbers again after clear") << "t:a n2 s1 c n2" << QStringList{"1", "2"} << -1;
}

// What a list shows, hands out as items and has selected after the program filled it.
void TestListBox::rows()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, rows);
    QFETCH(int, selected);
    ChoiceList list;
    run(list, steps);
    QCOMPARE(texts(list), rows);
    for (int i = 0; i < list.count(); ++i)
        QCOMPARE(list.model()->index(i, 0).data().toString(), rows.at(i));
    QVERIFY(!list.item(list.count()));
    QCOMPARE(list.selectedRow(), selected);
    QCOMPARE(list.currentRow(), selected);
    QCOMPARE(list.currentItem()->text(), rows.value(selected));
    QCOMPARE(list.selectedItems().size(), selected < 0 ? 0 : 1);
}

void TestListBox::clickAction_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("row"); // selected afterwards
    QTest::addColumn<int>("clicks");
    QTest::newRow("program selects") << "select" << 5 << 0;
    QTest::newRow("key down") << "down" << 3 << 1;
    QTest::newRow("key end") << "end" << 9989 << 1;
    QTest::newRow("key up on the first row") << "top up" << 0 << 0;
    QTest::newRow("mouse on an item") << "click" << 1 << 1;
    QTest::newRow("mouse below the items") << "below" << 2 << 0;
}

// The click action runs for the user's choices on a long number run, never for the
// program's selection nor for a gesture that chooses nothing.
void TestListBox::clickAction()
{
    QFETCH(QString, action);
    QFETCH(int, row);
    QFETCH(int, clicks);
    ChoiceList list;
    list.setKeepSelection(true);
    list.resize(80, 200);
    list.addNumbers(9990);
    list.selectRow(2);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy clicked(&list, &ChoiceList::userClicked);

    if (action == QLatin1String("select")) {
        list.selectRow(5);
    } else if (action == QLatin1String("down")) {
        QTest::keyClick(&list, Qt::Key_Down);
    } else if (action == QLatin1String("end")) {
        QTest::keyClick(&list, Qt::Key_End);
    } else if (action == QLatin1String("top up")) {
        list.selectRow(0);
        QTest::keyClick(&list, Qt::Key_Up);
    } else if (action == QLatin1String("click")) {
        const QRect r = list.visualItemRect(list.item(1));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
    } else {
        list.clear();
        list.addNumbers(3);
        list.selectRow(2);
        const QRect last = list.visualItemRect(list.item(2));
        QVERIFY(last.bottom() + 10 < list.viewport()->height());
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, last.center() + QPoint(0, 40));
    }
    QCOMPARE(list.selectedRow(), row);
    QCOMPARE(list.item(row)->text(), QString::number(row + 1));
    QCOMPARE(clicked.count(), clicks);
}

void TestListBox::typedNumbers_data()
{
    QTest::addColumn<int>("last");        // the list holds 1..last, 3 selected
    QTest::addColumn<QString>("typed");   // a space: a pause longer than the type-ahead interval
    QTest::addColumn<int>("number");      // selected afterwards
    QTest::addColumn<QString>("refused"); // the number named in the refusal, "" for none
    QTest::addColumn<bool>("clicks");     // the click action ran on the way
    QTest::newRow("12 is 12, not 120") << 400 << "12" << 12 << "" << true;
    QTest::newRow("5 is 5, not 50") << 400 << "5" << 5 << "" << true;
    QTest::newRow("slowly: 1 then 2") << 400 << "1 2" << 2 << "" << true;
    QTest::newRow("the last") << 9990 << "9990" << 9990 << "" << true;
    // "40" was chosen on the way; the refusal takes the choice back to where typing began.
    QTest::newRow("one past the last") << 400 << "401" << 3 << "401" << true;
    QTest::newRow("nought") << 400 << "0" << 3 << "0" << false;
    QTest::newRow("past a short list") << 5 << "7" << 3 << "7" << false;
    QTest::newRow("full-width digits") << 400 << "１２" << 12 << "" << true;
}

// Digits typed into a number list choose that number and run the click action; one the list
// lacks is refused with a message and leaves the choice.
void TestListBox::typedNumbers()
{
    QFETCH(int, last);
    QFETCH(QString, typed);
    QFETCH(int, number);
    QFETCH(QString, refused);
    QFETCH(bool, clicks);
    ChoiceList list;
    list.setKeepSelection(true);
    list.resize(80, 200);
    list.addNumbers(last);
    list.selectRow(2);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy clicked(&list, &ChoiceList::userClicked);
    QSignalSpy refusals(&list, &ChoiceList::typedNumberRefused);
    for (const QChar c : typed) {
        if (c == QLatin1Char(' '))
            QTest::qWait(QApplication::keyboardInputInterval() + 100);
        else
            QTest::sendKeyEvent(QTest::Click, &list, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QCOMPARE(list.selectedRow(), number - 1);
    QCOMPARE(!clicked.isEmpty(), clicks);
    QCOMPARE(refusals.size(), refused.isEmpty() ? 0 : 1);
    if (!refused.isEmpty()) {
        const QString message = refusals.first().first().toString();
        QVERIFY2(message.startsWith(refused + QLatin1Char(' ')), qPrintable(message));
        QVERIFY2(message.contains(QString::number(last)), qPrintable(message));
    }
}

QTEST_MAIN(TestListBox)
#include "tst_listbox.moc"
