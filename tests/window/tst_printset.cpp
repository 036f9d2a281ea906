// SPDX-License-Identifier: GPL-3.0-or-later
// PrintSet and the proof label: the job-size check, the proof of every sheet type, colours,
// frame, font and alignment, driven through the real window.
#include "WindowSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using namespace corvial;

namespace {

void printSet(TfrmMain &w)
{
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
}

QColor background(const QWidget *w)
{
    return w->palette().color(w->inherits("QPlainTextEdit") ? QPalette::Base : QPalette::Window);
}

QColor foreground(const QWidget *w)
{
    return w->palette().color(w->inherits("QPlainTextEdit") ? QPalette::Text
                                                            : QPalette::WindowText);
}

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);

} // namespace

class TestPrintSet : public QObject
{
    Q_OBJECT

private slots:
    void jobSizeLimit_data();
    void jobSizeLimit();
    void circleProofShowsFiveBytes_data();
    void circleProofShowsFiveBytes();
    void numberTextPerStyle_data();
    void numberTextPerStyle();
    void markerProof_data();
    void markerProof();
    void memoProofCopiesFourLines();
    void textOnlyTypesCopyMemo8();
    void frameRingAndDisc();
    void colourActionsPerProof_data();
    void colourActionsPerProof();
    void colourResetAfterPrint();
    void markerTypeLeavesResetPending();
    void memoFontSizeFollowsShownText_data();
    void memoFontSizeFollowsShownText();
    void fontDialogStartsBoldAndCancelKeepsFont();
    void alignmentButtonsSetPrintAlign();
    void numberStyleReRunsPrintSetOverEdits();
};

void TestPrintSet::jobSizeLimit_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<bool>("opens");
    QTest::newRow("80 x 5 = 400") << 80 << 5 << true;
    QTest::newRow("81 x 5 = 405") << 81 << 5 << false;
    QTest::newRow("400 x 1") << 400 << 1 << true;
    QTest::newRow("201 x 2") << 201 << 2 << false;
}

void TestPrintSet::jobSizeLimit()
{
    QFETCH(int, samples);
    QFETCH(int, repeat);
    QFETCH(bool, opens);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    clickRow(w.ListBox2, samples - 1);
    clickRow(w.ListBox1, repeat - 1);
    printSet(w);
    QCOMPARE(w.pnlPrint->isHidden(), !opens);
    QCOMPARE(w.pnlMain->isHidden(), opens);
    if (opens) {
        QVERIFY(fx.dialogs->messages.isEmpty());
    } else {
        QCOMPARE(fx.dialogs->messages,
                 QStringList{QStringLiteral(
                     "プリントラベル数が４００を越えていますので、再設定お願いいたします。")});
        QVERIFY(w.cmdBack->isHidden());
        QCOMPARE(w.editor().sampleCount, samples);
    }
}

void TestPrintSet::circleProofShowsFiveBytes_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("proof");
    QTest::newRow("long ASCII") << "ABCDEFGHIJ"
                                << "ABCDE";
    QTest::newRow("full-width") << "あいうえ"
                                << "あい";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("short") << "AB"
                           << "AB";
}

void TestPrintSet::circleProofShowsFiveBytes()
{
    QFETCH(QString, entry);
    QFETCH(QString, proof);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    // Entered while another type is current, so Edit2 holds more than a circle label takes.
    chooseType(w, 2);
    w.Edit2->setText(entry);
    chooseType(w, 1);
    printSet(w);
    QVERIFY(!w.pnl150->isHidden());
    QCOMPARE(w.Label7->text(), proof);
}

void TestPrintSet::numberTextPerStyle_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("panelPoints"); // 0: not set by PrintSet
    for (int type : {1, 2, 5, 6, 8, 9}) {
        const QByteArray t = QByteArray::number(type);
        const int padded = type == 1 || type == 2 ? 0 : 12;
        const int plain = type == 1 || type == 2 ? 0 : 18;
        QTest::newRow(t + " padded") << type << 0 << "0007" << padded;
        QTest::newRow(t + " plain") << type << 1 << "7" << plain;
    }
}

void TestPrintSet::numberTextPerStyle()
{
    QFETCH(int, type);
    QFETCH(int, style);
    QFETCH(QString, number);
    QFETCH(int, panelPoints);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    if (type != 1)
        chooseType(w, type);
    clickRow(w.ListBox12, 6);
    (style == 0 ? w.N2 : w.N3)->trigger();
    printSet(w);
    const QString shown = type == 1 ? w.Label6->text() : w.Panel5->text();
    QCOMPARE(shown, number);
    if (panelPoints)
        QCOMPARE(w.Panel5->font().pointSize(), panelPoints);
}

void TestPrintSet::markerProof_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("marker");
    QTest::newRow("-20") << 0 << QStringLiteral("－２０℃");
    QTest::newRow("-80") << 1 << QStringLiteral("－８０℃");
    QTest::newRow("caution") << 2 << QStringLiteral("注意");
    QTest::newRow("danger") << 3 << QStringLiteral("危険");
}

void TestPrintSet::markerProof()
{
    QFETCH(int, item);
    QFETCH(QString, marker);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 4);
    QTest::mouseClick(w.RadioGroup1Items[item], Qt::LeftButton);
    printSet(w);
    QVERIFY(!w.pnlmemo->isHidden());
    QCOMPARE(w.Memo7->toPlainText(), marker);
    QCOMPARE(w.Memo7->font().pointSize(), 24);
    QCOMPARE(background(w.Memo7), kRed);
    QCOMPARE(foreground(w.Memo7), kWhite);
    QCOMPARE(w.ListBox19->selectedRow(), 5);
    QCOMPARE(w.ListBox21->selectedRow(), 8);
    QCOMPARE(w.ListBox19->currentItem()->text(), QStringLiteral("Red"));
    QCOMPARE(w.ListBox21->currentItem()->text(), QStringLiteral("White"));
}

void TestPrintSet::memoProofCopiesFourLines()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 3);
    typeText(w.Memo5, QStringLiteral("one\ntwo\nthree\nfour"));
    printSet(w);
    QVERIFY(!w.pnlmemo->isHidden());
    QCOMPARE(w.Memo7->toPlainText(), QStringLiteral("one\ntwo\nthree\nfour"));
}

void TestPrintSet::textOnlyTypesCopyMemo8()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 10);
    typeText(w.Memo8, QStringLiteral("AB\nCD"));
    printSet(w);
    QVERIFY(!w.pnlNum->isHidden());
    QVERIFY(w.Panel5->isHidden());
    QCOMPARE(w.Memo3->toPlainText(), QStringLiteral("AB\nCD"));
}

void TestPrintSet::frameRingAndDisc()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    printSet(w);
    QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
    QVERIFY(w.CheckBox1->isChecked());
    clickRow(w.ListBox19, 1);
    QCOMPARE(w.Shape1->fillColour(), kYellow);
    QCOMPARE(w.Shape2->fillColour(), kWhite);
    QCOMPARE(w.Shape2->outlineColour(), kWhite);
    QCOMPARE(background(w.Label7), kWhite);
    QCOMPARE(background(w.Label6), kWhite);

    QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
    QVERIFY(!w.CheckBox1->isChecked());
    QCOMPARE(w.Shape1->fillColour(), kYellow);
    QCOMPARE(w.Shape2->fillColour(), kYellow);
    QCOMPARE(w.Shape2->outlineColour(), kYellow);
    QCOMPARE(background(w.Label7), kYellow);
    QCOMPARE(background(w.Label6), kYellow);
}

void TestPrintSet::colourActionsPerProof_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("back");
    QTest::addColumn<int>("text");
    QTest::addColumn<QColor>("backColour");
    QTest::addColumn<QColor>("textColour");
    QTest::newRow("circle skyblue/blue")
        << 1 << 2 << 2 << QColor(166, 202, 240) << QColor(0, 0, 255);
    QTest::newRow("number silver/magenta")
        << 5 << 4 << 5 << QColor(192, 192, 192) << QColor(255, 0, 255);
    QTest::newRow("memo lime/green") << 3 << 7 << 3 << QColor(0, 255, 0) << QColor(0, 128, 0);
    QTest::newRow("text-only aqua/yellow")
        << 7 << 6 << 4 << QColor(0, 255, 255) << QColor(255, 255, 0);
}

void TestPrintSet::colourActionsPerProof()
{
    QFETCH(int, type);
    QFETCH(int, back);
    QFETCH(int, text);
    QFETCH(QColor, backColour);
    QFETCH(QColor, textColour);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    if (type != 1)
        chooseType(w, type);
    printSet(w);
    clickRow(w.ListBox19, back);
    clickRow(w.ListBox21, text);
    QList<QWidget *> backs, texts;
    if (type == 1) {
        QCOMPARE(w.Shape1->fillColour(), backColour);
        QCOMPARE(w.Shape2->fillColour(), backColour);
        backs = {w.Label7, w.Label6};
        texts = {w.Label7, w.Label6};
    } else if (type == 3) {
        backs = {w.Memo7};
        texts = {w.Memo7};
    } else {
        backs = {w.Memo3, w.Panel5};
        texts = {w.Memo3, w.Panel5};
    }
    for (QWidget *b : backs)
        QCOMPARE(background(b), backColour);
    for (QWidget *t : texts)
        QCOMPARE(foreground(t), textColour);
}

void TestPrintSet::colourResetAfterPrint()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    printSet(w);
    clickRow(w.ListBox19, 1);
    clickRow(w.ListBox21, 1);
    pressPrint(w);
    QVERIFY(fx.dialogs->errors.isEmpty());
    QVERIFY(!w.pnlMain->isHidden());
    QVERIFY(w.editor().colorsResetPending);
    // The lists keep their choice until the next PrintSet, the proof is already white.
    QCOMPARE(w.ListBox19->selectedRow(), 1);
    QCOMPARE(background(w.Memo3), kWhite);
    QCOMPARE(foreground(w.Memo3), kBlack);
    QCOMPARE(background(w.Panel5), kWhite);
    QCOMPARE(w.Shape1->fillColour(), kWhite);

    printSet(w);
    QCOMPARE(w.ListBox19->selectedRow(), 0);
    QCOMPARE(w.ListBox21->selectedRow(), 0);
    QCOMPARE(background(w.Memo3), kWhite);
    QCOMPARE(foreground(w.Memo3), kBlack);
    QCOMPARE(foreground(w.Panel5), kBlack);
    QVERIFY(!w.editor().colorsResetPending);
}

void TestPrintSet::markerTypeLeavesResetPending()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    printSet(w);
    pressPrint(w);
    QVERIFY(w.editor().colorsResetPending);
    chooseType(w, 4);
    printSet(w);
    QVERIFY(w.editor().colorsResetPending);
    QCOMPARE(w.ListBox19->selectedRow(), 5);
    QTest::mouseClick(w.cmdBack, Qt::LeftButton);
    chooseType(w, 2);
    printSet(w);
    QVERIFY(!w.editor().colorsResetPending);
    QCOMPARE(w.ListBox19->selectedRow(), 0);
}

void TestPrintSet::memoFontSizeFollowsShownText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("points");
    QTest::newRow("2: 5 and 7 bytes") << 2 << "12345\n1234567" << 10;
    QTest::newRow("2: both 5 or less") << 2 << "12345\n123" << 12;
    QTest::newRow("5: 8 bytes") << 5 << "12345678" << 9;
    QTest::newRow("8: 10 bytes or more") << 8 << "1234567890" << 8;
    QTest::newRow("7: 6 bytes on line 2") << 7 << "1\n123456" << 10;
    QTest::newRow("3: memo text") << 3 << "123456789" << 9;
}

void TestPrintSet::memoFontSizeFollowsShownText()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(int, points);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, type);
    typeText(type == 3 ? static_cast<QWidget *>(w.Memo5) : w.Memo8, text);
    printSet(w);
    const QPlainTextEdit *proof = type == 3 ? w.Memo7 : w.Memo3;
    QCOMPARE(proof->toPlainText(), text);
    QCOMPARE(proof->font().pointSize(), points);
}

void TestPrintSet::fontDialogStartsBoldAndCancelKeepsFont()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    printSet(w);
    QFont italic(QStringLiteral("IPAPGothic"));
    italic.setItalic(true);
    italic.setPointSize(14);
    fx.dialogs->fontToChoose = italic;
    const int startSize = w.editor().labelFont.pointSize();
    w.Font1->trigger();
    QCOMPARE(fx.dialogs->fontAsked, 1);
    QCOMPARE(fx.dialogs->fontOffered.family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(fx.dialogs->fontOffered.pointSize(), startSize);
    QVERIFY(fx.dialogs->fontOffered.bold());
    QCOMPARE(w.editor().labelFont, italic);

    fx.dialogs->fontAccepted = false;
    w.Font1->trigger();
    QCOMPARE(fx.dialogs->fontOffered.pointSize(), 14);
    QVERIFY(fx.dialogs->fontOffered.bold());
    QVERIFY(!fx.dialogs->fontOffered.italic());
    QCOMPARE(w.editor().labelFont, italic);
    QVERIFY(w.editor().labelFont.italic());
}

void TestPrintSet::alignmentButtonsSetPrintAlign()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 6);
    printSet(w);
    QVERIFY(!w.GroupBox2->isHidden());
    QTest::mouseClick(w.RadioButton7, Qt::LeftButton);
    QCOMPARE(int(w.editor().printAlign), 2);
    QTest::mouseClick(w.RadioButton8, Qt::LeftButton);
    QCOMPARE(int(w.editor().printAlign), 3);
    QTest::mouseClick(w.RadioButton4, Qt::LeftButton);
    QCOMPARE(int(w.editor().printAlign), 1);
}

void TestPrintSet::numberStyleReRunsPrintSetOverEdits()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 5);
    typeText(w.Memo8, QStringLiteral("ENTRY"));
    clickRow(w.ListBox2, 199);
    printSet(w);
    QCOMPARE(w.ListBox20->count(), 3);
    clickRow(w.ListBox20, 2);
    w.Memo3->setPlainText(QStringLiteral("edited"));
    w.N3->trigger();
    QCOMPARE(w.Memo3->toPlainText(), QStringLiteral("ENTRY"));
    QCOMPARE(w.Panel5->text(), QStringLiteral("1"));
    QCOMPARE(w.ListBox20->selectedRow(), 0);
    QCOMPARE(w.tube95Shapes[1]->fillColour(), QColor(255, 0, 0));
}

QTEST_MAIN(TestPrintSet)
#include "tst_printset.moc"
