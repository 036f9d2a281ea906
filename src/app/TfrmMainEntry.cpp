// SPDX-License-Identifier: GPL-3.0-or-later
// The entry screen: sheet types, the number lists, the label texts and the number style.
#include "TfrmMain.h"

#include "Controls.h"
#include "Dialogs.h"
#include "TextBoxControls.h"
#include "job/TextLimits.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>

namespace corvial {

namespace {

// Puts the corrected text into a memo and keeps the caret where the user was typing. The
// text before the caret, corrected by the same rule, is what the user typed up to there, so
// its length is where the caret belongs: at the end of a cut line, or where it was before a
// keystroke the limits refused.
template <typename Limit> void limitMemo(QPlainTextEdit *memo, Limit limit)
{
    const QString text = memo->toPlainText();
    const QString limited = limit(text);
    if (limited == text)
        return;
    const int caret = memo->textCursor().position();
    const int newCaret = int(qMin(limit(text.left(caret)).size(), limited.size()));
    memo->setPlainText(limited);
    QTextCursor c = memo->textCursor();
    c.setPosition(newCaret);
    memo->setTextCursor(c);
}

} // namespace

QWidget *textBoxControl(const TfrmMain &w, TextBoxKind kind)
{
    switch (kind) {
    case TextBoxKind::OneLine:
        return w.Edit2;
    case TextBoxKind::Lines:
        return w.Memo8;
    case TextBoxKind::Memo:
        return w.Memo5;
    case TextBoxKind::Marker:
        break;
    }
    return nullptr;
}

QString textBoxText(const QWidget *control)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    if (const auto *memo = qobject_cast<const QPlainTextEdit *>(control))
        return memo->toPlainText();
    return QString();
}

void setTextBoxText(QWidget *control, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(text);
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(control))
        memo->setPlainText(text);
}

SheetType chosenSheetType(int choice)
{
    return SheetType::fromCode(choice).value_or(SheetType());
}

void TfrmMain::chooseSheetType(SheetType type)
{
    const SheetTypeInfo &info = type.info();
    mJob.sheetType = type;
    if (!info.repeatShown) {
        mJob.repeatCount = 1;
        ListBox1->selectRow(0);
    }
    ShowEntryLayout(info.entryLayout);
    ShowRepeatChoice(info.repeatShown);
    // Only a type whose text is a few lines sets how much Memo8 holds; the others leave Memo8
    // its maximum, which the next such type replaces.
    if (info.textBox.kind == TextBoxKind::Lines) {
        setMemo8MaxLength(info.textBox.totalBytes);
        const QSignalBlocker blocker(Memo8);
        Memo8->clear();
        mJob.linesText.clear();
    }
    showListOnEntryScreen();
    updateListActions();
}

void TfrmMain::setMemo8MaxLength(int bytes)
{
    mMemo8MaxLength = bytes;
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

void TfrmMain::ShowRepeatChoice(bool shown)
{
    ListBox1->setVisible(shown);
    Label5->setVisible(shown);
}

void TfrmMain::ListBox2Click()
{
    mJob.sampleCount = ListBox2->currentRow() + 1;
}

void TfrmMain::ListBox1Click()
{
    mJob.repeatCount = ListBox1->currentRow() + 1;
}

void TfrmMain::ListBox12Click()
{
    mJob.initialValue = ListBox12->currentRow() + 1;
}

void TfrmMain::Edit2Change()
{
    if (mInTextLimit)
        return;
    const QString text = Edit2->text();
    const QString limited = limitOneLineText(text, mJob.sheetType.info().textBox);
    if (limited != text) {
        mInTextLimit = true;
        Edit2->setText(limited);
        mInTextLimit = false;
    }
    mJob.oneLineText = Edit2->text();
}

void TfrmMain::Memo8Change()
{
    if (mInTextLimit)
        return;
    mInTextLimit = true;
    const TextBox &box = mJob.sheetType.info().textBox;
    limitMemo(Memo8,
              [this, &box](const QString &t) { return limitLinesText(t, box, mMemo8MaxLength); });
    mInTextLimit = false;
    mJob.linesText = Memo8->toPlainText();
}

void TfrmMain::Memo5Change()
{
    if (mInTextLimit)
        return;
    mInTextLimit = true;
    const TextBox &box = mJob.sheetType.info().textBox;
    limitMemo(Memo5, [&box](const QString &t) { return limitMemoText(t, box); });
    mInTextLimit = false;
    mJob.memoText = Memo5->toPlainText();
}

QString TfrmMain::labelTextWord()
{
    return QStringLiteral("ラベルの文字");
}

// The boxes refuse such a character before it reaches their text, so the cut of an over-long
// text above never sees it and works as it always has.
void TfrmMain::watchCharacters(MemoBox *box, const QString &what)
{
    connect(box, &MemoBox::refused, this,
            [this, what](const ForbiddenCharacter &c) { characterRefused(what, c); });
}

void TfrmMain::watchCharacters(LineBox *box, const QString &what)
{
    connect(box, &LineBox::refused, this,
            [this, what](const ForbiddenCharacter &c) { characterRefused(what, c); });
}

void TfrmMain::characterRefused(const QString &what, const ForbiddenCharacter &character)
{
    mEnv.dialogs->message(this, QStringLiteral("%1に%2は入力できません。ラベルに印刷できない"
                                               "文字なので、入力を取り消しました。")
                                    .arg(what, forbiddenCharacterWords(character)));
}

void TfrmMain::N2Click()
{
    setNumberStyle(NumberStyle::Padded);
}

void TfrmMain::N3Click()
{
    setNumberStyle(NumberStyle::Plain);
}

void TfrmMain::setNumberStyle(NumberStyle style)
{
    mJob.numberStyle = style;
    N2->setChecked(style == NumberStyle::Padded);
    N3->setChecked(style == NumberStyle::Plain);
    if (!pnlPrint->isHidden())
        cmdPrintSetClick();
}

} // namespace corvial
