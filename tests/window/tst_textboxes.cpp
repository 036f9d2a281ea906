// SPDX-License-Identifier: GPL-3.0-or-later
// The text boxes of both screens from the keyboard: Tab and Shift+Tab move on and never type,
// and a character a label cannot hold is refused by name, whichever way it came in.
#include "WindowSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace corvial;

namespace {

QString textOf(QWidget *box)
{
    if (auto *edit = qobject_cast<QLineEdit *>(box))
        return edit->text();
    return qobject_cast<QPlainTextEdit *>(box)->toPlainText();
}

// The text boxes the user can type into on the screen shown now.
QList<QWidget *> shownBoxes(TfrmMain &w)
{
    QList<QWidget *> boxes;
    for (QWidget *box : w.findChildren<QWidget *>()) {
        const bool text = qobject_cast<QLineEdit *>(box) || qobject_cast<QPlainTextEdit *>(box);
        if (text && box->isVisible() && box->isEnabled())
            boxes << box;
    }
    return boxes;
}

// A shown, active window of sheet type `type`: its entry screen, or its print screen.
TfrmMain &openScreen(WindowFixture &fx, int type, bool printScreen)
{
    TfrmMain &w = printScreen ? openJob(fx, type, 2, 1, 1) : fx.create();
    if (!printScreen && type != 1)
        chooseType(w, type);
    w.show();
    QApplication::setActiveWindow(&w);
    [&w] { QVERIFY(QTest::qWaitForWindowActive(&w)); }();
    return w;
}

void addScreens()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("printScreen");
    QTest::newRow("entry, circle text") << 1 << false;
    QTest::newRow("entry, memo lines") << 2 << false;
    QTest::newRow("entry, memo type") << 3 << false;
    QTest::newRow("print, number proof and code prefix") << 6 << true;
    QTest::newRow("print, memo proof") << 3 << true;
}

} // namespace

class TestTextBoxes : public QObject
{
    Q_OBJECT

private slots:
    void tabWalksThroughTheScreen_data() { addScreens(); }
    void tabWalksThroughTheScreen();
    void refusedInsertKeepsTheText_data();
    void refusedInsertKeepsTheText();
};

void TestTextBoxes::tabWalksThroughTheScreen()
{
    QFETCH(int, type);
    QFETCH(bool, printScreen);
    WindowFixture fx;
    TfrmMain &w = openScreen(fx, type, printScreen);
    const QList<QWidget *> boxes = shownBoxes(w);
    QVERIFY(!boxes.isEmpty());
    QHash<QWidget *, QString> before;
    for (QWidget *box : boxes) {
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("A"));
        before.insert(box, textOf(box));
    }

    // Round the whole focus chain forwards and back: every press moves the focus, each box
    // is passed through, and none gains a character on the way.
    for (const bool back : {false, true}) {
        boxes.first()->setFocus();
        QSet<QWidget *> visited;
        for (int press = 0; press < 60; ++press) {
            QWidget *from = QApplication::focusWidget();
            QVERIFY(from);
            visited.insert(from);
            if (back)
                QTest::keyClick(from, Qt::Key_Backtab, Qt::ShiftModifier);
            else
                QTest::keyClick(from, Qt::Key_Tab);
            QVERIFY2(QApplication::focusWidget() != from, qPrintable(from->objectName()));
        }
        for (QWidget *box : boxes) {
            QVERIFY2(visited.contains(box), qPrintable(box->objectName()));
            QCOMPARE(textOf(box), before.value(box));
        }
    }
    QCOMPARE(fx.dialogs->messages, QStringList());
}

void TestTextBoxes::refusedInsertKeepsTheText_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("printScreen");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<bool>("byInputMethod");
    QTest::addColumn<QString>("named"); // empty: the insertion is taken

    const QString tab = QStringLiteral("a\tb");
    QTest::newRow("Edit2, tab") << "Edit2" << 1 << false << tab << false << "U+0009";
    QTest::newRow("Edit2, line break") << "Edit2" << 1 << false << "a\nb" << false << "U+000A";
    QTest::newRow("Memo8, tab") << "Memo8" << 2 << false << tab << false << "U+0009";
    QTest::newRow("Memo8, line break taken") << "Memo8" << 2 << false << "a\nb" << false << "";
    QTest::newRow("Memo5, tab") << "Memo5" << 3 << false << tab << false << "U+0009";
    QTest::newRow("Memo5, input method bidi override")
        << "Memo5" << 3 << false << QStringLiteral("a\u202Eb") << true << "U+202E";
    QTest::newRow("Memo3, tab") << "Memo3" << 6 << true << tab << false << "U+0009";
    QTest::newRow("Memo3, zero-width space")
        << "Memo3" << 6 << true << QStringLiteral("a\u200Bb") << false << "U+200B";
    QTest::newRow("Memo7, tab") << "Memo7" << 3 << true << tab << false << "U+0009";
    QTest::newRow("edtCodePrefix, tab") << "edtCodePrefix" << 6 << true << tab << false << "U+0009";
    QTest::newRow("edtCodePrefix, input method C1 control")
        << "edtCodePrefix" << 6 << true << QStringLiteral("a\u0085") << true << "U+0085";
}

void TestTextBoxes::refusedInsertKeepsTheText()
{
    QFETCH(QString, box);
    QFETCH(int, type);
    QFETCH(bool, printScreen);
    QFETCH(QString, inserted);
    QFETCH(bool, byInputMethod);
    QFETCH(QString, named);
    WindowFixture fx;
    TfrmMain &w = openScreen(fx, type, printScreen);
    QWidget *target = w.findChild<QWidget *>(box);
    QVERIFY(target && target->isVisible());
    target->setFocus();
    QTest::keyClicks(target, QStringLiteral("X1"));
    const QString before = textOf(target);

    if (byInputMethod) {
        QInputMethodEvent commit;
        commit.setCommitString(inserted);
        QApplication::sendEvent(target, &commit);
    } else {
        QApplication::clipboard()->setText(inserted);
        QTest::keySequence(target, QKeySequence::Paste);
    }

    if (named.isEmpty()) {
        QCOMPARE(fx.dialogs->messages, QStringList());
        QVERIFY(textOf(target) != before);
        return;
    }
    QCOMPARE(textOf(target), before);
    QCOMPARE(fx.dialogs->messages.size(), 1);
    QVERIFY2(fx.dialogs->messages.first().contains(named),
             qPrintable(fx.dialogs->messages.first()));
    // The box goes on taking text as before.
    QTest::keyClicks(target, QStringLiteral("2"));
    QCOMPARE(textOf(target), before + QStringLiteral("2"));
}

QTEST_MAIN(TestTextBoxes)
#include "tst_textboxes.moc"
