// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen's 2-D code choice: where it is offered, what the prefix accepts, and the
// codes on the proof and on the printed page.
#include "../support/SheetTypeOf.h"
#include "CodeView.h"
#include "WindowSupport.h"
#include "barcode/CodeRules.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QToolButton>

using namespace corvial;

namespace {

// The labels that got a code: each code's dark modules are one fill.
int codesDrawn(const RecordingCanvas &canvas)
{
    int n = 0;
    for (const CanvasCall &c : canvas.callsOf(CanvasCall::FillRectangle))
        n += c.colour == 0x000000 && c.value == 0 ? 1 : 0;
    return n;
}

} // namespace

class TestCodeChoice : public QObject
{
    Q_OBJECT

private slots:
    void offeredWhereTheLabelHasRoom_data();
    void offeredWhereTheLabelHasRoom();
    void prefixTyping();
    void prefixCutForAShorterCode();
    void printedKeptAndNeverSaved();
};

void TestCodeChoice::offeredWhereTheLabelHasRoom_data()
{
    QTest::addColumn<int>("type");
    for (int t = 1; t <= SheetTypeCount; ++t)
        QTest::newRow(qPrintable(QStringLiteral("type %1").arg(t))) << t;
}

void TestCodeChoice::offeredWhereTheLabelHasRoom()
{
    QFETCH(int, type);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type, 3, 1, 1);
    QVERIFY(!w.chkCode->isChecked());
    // The round labels show the choice greyed out and say why; the labels without a number
    // do not show it at all.
    const bool room = hasCodeRoom(typeOf(type));
    const bool shown = room || isCircleType(type);
    for (QWidget *c : std::initializer_list<QWidget *>{w.chkCode, w.edtCodePrefix}) {
        QCOMPARE(c->isVisibleTo(w.pnlPrint), shown);
        QCOMPARE(c->isEnabled(), room);
    }
    if (shown && !room)
        QVERIFY(!w.chkCode->toolTip().isEmpty());
    // The prefix box stops where the type's code is full.
    if (room)
        QCOMPARE(w.edtCodePrefix->maxLength(), longestPrefix(typeOf(type)));
    // Ticked, the box puts the code on the proof and on every label, where there is room;
    // a type without room prints exactly as with the box clear (ticked on an earlier type).
    if (hasCodeRoom(typeOf(type)))
        QTest::mouseClick(w.chkCode, Qt::LeftButton);
    else
        w.chkCode->setChecked(true);
    QCOMPARE(w.imgCode->isVisibleTo(w.pnlPrint), hasCodeRoom(typeOf(type)));
    if (hasCodeRoom(typeOf(type)))
        QCOMPARE(w.imgCode->data(), QByteArray("0001"));
    pressPrint(w);
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(codesDrawn(fx.canvas), hasCodeRoom(typeOf(type)) ? 3 : 0);
}

void TestCodeChoice::prefixTyping()
{
    WindowFixture fx;
    constexpr int type = 6;
    TfrmMain &w = openJob(fx, type, 2, 1, 1);
    QTest::mouseClick(w.chkCode, Qt::LeftButton);
    w.edtCodePrefix->setFocus();
    // Japanese and blanks are refused key by key, without a word.
    typeText(w.edtCodePrefix, QStringLiteral("ラ A-"));
    QCOMPARE(w.edtCodePrefix->text(), QStringLiteral("A-"));
    QCOMPARE(fx.dialogs->messages, QStringList());
    QCOMPARE(w.imgCode->data(), QByteArray("A-0001"));
    // Typing on past what the type's code holds: the box stops there, without a message in
    // the middle of typing, and its tip says how many it holds.
    const int longest = longestPrefix(typeOf(type));
    typeText(w.edtCodePrefix, QString(longest, QLatin1Char('x')));
    QCOMPARE(w.edtCodePrefix->text().size(), longest);
    QCOMPARE(fx.dialogs->messages, QStringList());
    QVERIFY2(w.edtCodePrefix->toolTip().contains(QString::number(longest)),
             qPrintable(w.edtCodePrefix->toolTip()));
    QCOMPARE(w.imgCode->data(), (w.edtCodePrefix->text() + QStringLiteral("0001")).toLatin1());
}

void TestCodeChoice::prefixCutForAShorterCode()
{
    int roomy = 0;
    int tight = 0;
    for (int t = 1; t <= SheetTypeCount; ++t) {
        if (!hasCodeRoom(typeOf(t)))
            continue;
        if (!roomy || longestPrefix(typeOf(t)) > longestPrefix(typeOf(roomy)))
            roomy = t;
        if (!tight || longestPrefix(typeOf(t)) < longestPrefix(typeOf(tight)))
            tight = t;
    }
    QVERIFY(longestPrefix(typeOf(tight)) < longestPrefix(typeOf(roomy)));
    WindowFixture fx;
    TfrmMain &w = openJob(fx, roomy, 2, 1, 1);
    w.edtCodePrefix->setFocus();
    typeText(w.edtCodePrefix, QString(longestPrefix(typeOf(roomy)), QLatin1Char('x')));
    QTest::mouseClick(w.cmdBack, Qt::LeftButton);
    chooseType(w, tight);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    // The prefix kept from the other type is cut to this one's code, and the user is told.
    QCOMPARE(w.edtCodePrefix->text().size(), longestPrefix(typeOf(tight)));
    QCOMPARE(w.edtCodePrefix->maxLength(), longestPrefix(typeOf(tight)));
    QCOMPARE(fx.dialogs->messages.size(), 1);
    QVERIFY2(fx.dialogs->messages.first().contains(QString::number(longestPrefix(typeOf(tight)))),
             qPrintable(fx.dialogs->messages.first()));
}

void TestCodeChoice::printedKeptAndNeverSaved()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 8, 4, 1, 70);
    QTest::mouseClick(w.chkCode, Qt::LeftButton);
    w.edtCodePrefix->setFocus();
    typeText(w.edtCodePrefix, QStringLiteral("LAB-"));
    // The preview shows the codes Print draws.
    w.findChild<QAction *>(QStringLiteral("N5"))->trigger();
    QCOMPARE(codesDrawn(fx.canvas), 4);
    fx.canvas.clear();
    pressPrint(w);
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(codesDrawn(fx.canvas), 4);
    // start.txt keeps its five lines of the old form: the next start position only.
    QCOMPARE(fx.readSettings(), settingsWithStart(4, 2));

    // The next job, on another sheet type, still has the choice and the prefix.
    chooseType(w, 5);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QVERIFY(w.chkCode->isChecked());
    QCOMPARE(w.edtCodePrefix->text(), QStringLiteral("LAB-"));
    QCOMPARE(w.imgCode->data(), QByteArray("LAB-0005"));
}

QTEST_MAIN(TestCodeChoice)
#include "tst_codechoice.moc"
