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
    QCOMPARE(w.chkCode->isVisibleTo(w.pnlPrint), hasCodeRoom(typeOf(type)));
    QCOMPARE(w.edtCodePrefix->isVisibleTo(w.pnlPrint), hasCodeRoom(typeOf(type)));
    // Ticked, the box puts the code on the proof and on every label, where there is room;
    // a type without room prints exactly as with the box clear (ticked on an earlier type).
    if (hasCodeRoom(typeOf(type)))
        QTest::mouseClick(w.chkCode, Qt::LeftButton);
    else
        w.chkCode->setChecked(true);
    QCOMPARE(w.imgCode->isVisibleTo(w.pnlPrint), hasCodeRoom(typeOf(type)));
    if (hasCodeRoom(typeOf(type)))
        QCOMPARE(w.imgCode->data(), QByteArray("0001"));
    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
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
    // One character more than the type's code holds: refused, and the message says how many
    // it holds.
    const int longest = longestPrefix(typeOf(type));
    typeText(w.edtCodePrefix, QString(longest - 1, QLatin1Char('x')));
    QCOMPARE(w.edtCodePrefix->text().size(), longest);
    QCOMPARE(fx.dialogs->messages.size(), 1);
    QVERIFY2(fx.dialogs->messages.first().contains(QString::number(longest)),
             qPrintable(fx.dialogs->messages.first()));
    QCOMPARE(w.imgCode->data(), (w.edtCodePrefix->text() + QStringLiteral("0001")).toLatin1());
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
    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
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
