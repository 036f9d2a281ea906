// SPDX-License-Identifier: GPL-3.0-or-later
// Label content entry through the real controls: typing, pasting, the number lists and the
// number style.
#include "WindowSupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>

using namespace corvial;

namespace {

void typeInto(QPlainTextEdit *memo, const QString &text)
{
    typeText(memo, text);
}

} // namespace

class TestEntry : public QObject
{
    Q_OBJECT

private slots:
    void edit2KeepsFiveBytesOnCircleSheets_data();
    void edit2KeepsFiveBytesOnCircleSheets();
    void edit2IsFreeOnOtherTypes();
    void memo8LinesAsTyped_data();
    void memo8LinesAsTyped();
    void pastingEndsAsTyping_data();
    void pastingEndsAsTyping();
    void caretStaysOnTheCutLine();
    void memo5LinesAsTyped();
    void numberListsSetTheirValues();
    void numberStyleOnEntryScreen();
    void numberStyleOnPrintScreenRedrawsProof();
};

void TestEntry::edit2KeepsFiveBytesOnCircleSheets_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("ASCII") << "ABCDEF"
                           << "ABCDE";
    QTest::newRow("full-width, partial char dropped") << "あいう"
                                                      << "あい";
    QTest::newRow("half-width katakana") << "ｱｲｳｴｵｶ"
                                         << "ｱｲｳｴｵ";
    QTest::newRow("mixed") << "Aあいう"
                           << "Aあい";
    QTest::newRow("short") << "AB"
                           << "AB";
}

void TestEntry::edit2KeepsFiveBytesOnCircleSheets()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    typeText(w.Edit2, typed);
    QCOMPARE(w.Edit2->text(), kept);
}

void TestEntry::edit2IsFreeOnOtherTypes()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    w.Edit2->setText(QStringLiteral("ABCDEFGH"));
    QCOMPARE(w.Edit2->text(), QStringLiteral("ABCDEFGH"));
}

void TestEntry::memo8LinesAsTyped_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("2: first line cut to 7") << 2 << "12345678"
                                            << "1234567";
    QTest::newRow("2: third line loses its text, keeps its break") << 2 << "1234567\nabc\nx"
                                                                   << "1234567\nabc\n";
    QTest::newRow("2: second line cut") << 2 << "ab\n123456789"
                                        << "ab\n1234567";
    QTest::newRow("9: three lines of 13 cut to 12")
        << 9 << "1234567890123\n1234567890123\n1234567890123"
        << "123456789012\n123456789012\n123456789012";
    QTest::newRow("9: a fourth line is refused")
        << 9 << "1234567890123\n1234567890123\n1234567890123\nX"
        << "123456789012\n123456789012\n123456789012";
    QTest::newRow("8: fourth line emptied") << 8 << "a\nb\nc\nd"
                                            << "a\nb\nc\n";
    QTest::newRow("5: full-width cut at 12 bytes") << 5 << "あいうえおかき"
                                                   << "あいうえおか";
    QTest::newRow("6: full-width partial dropped") << 6 << "Aあいうえおか"
                                                   << "Aあいうえ";
}

void TestEntry::memo8LinesAsTyped()
{
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, type);
    typeInto(w.Memo8, typed);
    QCOMPARE(w.Memo8->toPlainText(), kept);
}

void TestEntry::pastingEndsAsTyping_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("2 long lines") << 2 << "1234567890123\nabcdefghij\nmore\nand more";
    QTest::newRow("5 full-width") << 5 << "あいうえおかきく\nけこさしすせそ\nたちつ";
    QTest::newRow("8 many lines") << 8 << "a\nbb\nccc\ndddd\neeeee\nffffff\nggggggg\nhh";
    QTest::newRow("10 katakana") << 10 << "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀ\nｱいｳえ\nxyz\n";
    QTest::newRow("7 empty lines") << 7 << "\n\n\n\n\n\nabc";
}

void TestEntry::pastingEndsAsTyping()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    WindowFixture typedFx;
    TfrmMain &typed = typedFx.create();
    chooseType(typed, type);
    typeInto(typed.Memo8, text);

    WindowFixture pastedFx;
    TfrmMain &pasted = pastedFx.create();
    chooseType(pasted, type);
    pasted.Memo8->insertPlainText(text);
    QCOMPARE(pasted.Memo8->toPlainText(), typed.Memo8->toPlainText());
}

void TestEntry::caretStaysOnTheCutLine()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    typeInto(w.Memo8, QStringLiteral("abc\ndef"));
    QTextCursor c = w.Memo8->textCursor();
    c.setPosition(3); // end of the first line
    w.Memo8->setTextCursor(c);
    QTest::keyClicks(w.Memo8, QStringLiteral("123456"));
    QCOMPARE(w.Memo8->toPlainText(), QStringLiteral("abc1234\ndef"));
    QCOMPARE(w.Memo8->textCursor().blockNumber(), 0);
    QCOMPARE(w.Memo8->textCursor().positionInBlock(), 7);
}

void TestEntry::memo5LinesAsTyped()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 3);
    typeInto(w.Memo5, QStringLiteral("12345678901\nab\ncd\nef\ngh"));
    QCOMPARE(w.Memo5->toPlainText(), QStringLiteral("1234567890\nab\ncd\nef\n"));
}

void TestEntry::numberListsSetTheirValues()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    clickRow(w.ListBox2, 399);
    QCOMPARE(w.editor().sampleCount, 400);
    clickRow(w.ListBox12, 9989);
    QCOMPARE(w.editor().initialValue, 9990);
    clickRow(w.ListBox1, 4);
    QCOMPARE(w.editor().repeatCount, 5);
    // The keyboard moves the choice too.
    w.ListBox1->setFocus();
    QTest::keyClick(w.ListBox1, Qt::Key_Up);
    QCOMPARE(w.editor().repeatCount, 4);
}

void TestEntry::numberStyleOnEntryScreen()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    w.Label6->setText(QStringLiteral("untouched"));
    w.N3->trigger();
    QCOMPARE(int(w.editor().numberStyle), 1);
    QVERIFY(w.N3->isChecked());
    QVERIFY(!w.N2->isChecked());
    QCOMPARE(w.Label6->text(), QStringLiteral("untouched"));
    QVERIFY(w.pnlPrint->isHidden());
    w.N2->trigger();
    QCOMPARE(int(w.editor().numberStyle), 0);
    QVERIFY(w.N2->isChecked());
    QVERIFY(!w.N3->isChecked());
}

void TestEntry::numberStyleOnPrintScreenRedrawsProof()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QCOMPARE(w.Label6->text(), QStringLiteral("0001"));
    w.N3->trigger();
    QCOMPARE(w.Label6->text(), QStringLiteral("1"));
    w.N2->trigger();
    QCOMPARE(w.Label6->text(), QStringLiteral("0001"));
}

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
