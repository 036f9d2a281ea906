// SPDX-License-Identifier: GPL-3.0-or-later
// The entry screen: sheet types, the number lists, the label texts and the number style.
#include "TfrmMain.h"

#include "Controls.h"
#include "job/TextLimits.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextBlock>

namespace corvial {

namespace {

// Puts a corrected text into a memo and keeps the caret where the user was typing: on the
// same line, at the same column or at the end of the line if that was cut.
void replaceMemoText(QPlainTextEdit *memo, const QString &text)
{
    const QTextCursor before = memo->textCursor();
    const int line = before.blockNumber();
    const int column = before.positionInBlock();
    memo->setPlainText(text);
    QTextDocument *doc = memo->document();
    const QTextBlock block = doc->findBlockByNumber(qMin(line, doc->blockCount() - 1));
    QTextCursor after(block);
    after.setPosition(block.position() + qMin(column, block.length() - 1));
    memo->setTextCursor(after);
}

} // namespace

void TfrmMain::chooseSheetType(int k)
{
    const SheetTypeInfo &info = sheetTypeInfo(k);
    sheetType = k;
    if (!info.repeatShown) {
        repeatCount = 1;
        ListBox1->selectRow(0);
    }
    ShowEntryLayout(info.entryLayout);
    ShowRepeatChoice(info.repeatShown ? 1 : 0);
    if (info.memo8Limit > 0) {
        setMemo8MaxLength(info.memo8Limit);
        const QSignalBlocker blocker(Memo8);
        Memo8->clear();
    }
}

void TfrmMain::setMemo8MaxLength(int bytes)
{
    mMemo8MaxLength = bytes;
    Memo8->setProperty("maxLength", bytes);
}

void TfrmMain::ShowEntryLayout(int layout)
{
    RadioGroup1->hide();
    switch (layout) {
    case 1:
        Edit2->show();
        Memo5->hide();
        Memo8->hide();
        Label5->show();
        Edit2->setFocus();
        break;
    case 2:
    case 5:
    case 6:
    case 7:
        Edit2->hide();
        Memo5->hide();
        Memo8->show();
        Memo8->setFocus();
        break;
    case 3:
        Edit2->hide();
        Memo8->hide();
        Memo5->show();
        Memo5->setFocus();
        break;
    case 4:
        Edit2->hide();
        Memo5->hide();
        Memo8->hide();
        RadioGroup1->show();
        break;
    default:
        break;
    }
    const bool numbered = layout != 4;
    ListBox12->setVisible(numbered);
    Label3->setVisible(numbered);
    Label14->setVisible(numbered);
}

void TfrmMain::ShowRepeatChoice(int flag)
{
    ListBox1->hide();
    Label5->hide();
    if (flag == 1) {
        ListBox1->show();
        Label5->show();
    }
}

void TfrmMain::ListBox2Click()
{
    sampleCount = ListBox2->currentRow() + 1;
}

void TfrmMain::ListBox1Click()
{
    repeatCount = ListBox1->currentRow() + 1;
}

void TfrmMain::ListBox12Click()
{
    initialValue = ListBox12->currentRow() + 1;
}

void TfrmMain::Edit2Change()
{
    if (mInTextLimit)
        return;
    const QString text = Edit2->text();
    const QString limited = limitEdit2Text(text, sheetType);
    if (limited == text)
        return;
    mInTextLimit = true;
    Edit2->setText(limited);
    mInTextLimit = false;
}

void TfrmMain::Memo8Change()
{
    if (mInTextLimit)
        return;
    const QString text = Memo8->toPlainText();
    const QString limited = limitMemo8Text(text, sheetType, mMemo8MaxLength);
    if (limited == text)
        return;
    mInTextLimit = true;
    replaceMemoText(Memo8, limited);
    mInTextLimit = false;
}

void TfrmMain::Memo5Change()
{
    if (mInTextLimit)
        return;
    const QString text = Memo5->toPlainText();
    const QString limited = limitMemo5Text(text, sheetType);
    if (limited == text)
        return;
    mInTextLimit = true;
    replaceMemoText(Memo5, limited);
    mInTextLimit = false;
}

void TfrmMain::N2Click()
{
    setNumberStyle(0);
}

void TfrmMain::N3Click()
{
    setNumberStyle(1);
}

void TfrmMain::setNumberStyle(int style)
{
    numberStyle = style;
    N2->setChecked(style == 0);
    N3->setChecked(style == 1);
    if (!pnlPrint->isHidden())
        cmdPrintSetClick();
}

} // namespace corvial
