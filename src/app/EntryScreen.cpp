// SPDX-License-Identifier: GPL-3.0-or-later
#include "EntryScreen.h"

#include "Controls.h"
#include "job/BytesLeft.h"
#include "job/JobRules.h"
#include "job/TextLimits.h"
#include "ui_TfrmMain.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextBlock>
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

EntryScreen::EntryScreen(Ui::TfrmMain &ui, JobEditor &job, EntryHost host, QObject *parent)
    : QObject(parent), mUi(ui), mJob(job), mHost(std::move(host))
{
    connect(mUi.ListBox2, &ChoiceList::userClicked, this, &EntryScreen::ListBox2Click);
    connect(mUi.ListBox1, &ChoiceList::userClicked, this, &EntryScreen::ListBox1Click);
    connect(mUi.ListBox12, &ChoiceList::userClicked, this, &EntryScreen::ListBox12Click);
    connect(mUi.Edit2, &QLineEdit::textChanged, this, &EntryScreen::Edit2Change);
    connect(mUi.Memo8, &QPlainTextEdit::textChanged, this, &EntryScreen::Memo8Change);
    connect(mUi.Memo5, &QPlainTextEdit::textChanged, this, &EntryScreen::Memo5Change);
    // The room left is that of the line being typed, so the counter follows the caret too.
    connect(mUi.Memo8, &QPlainTextEdit::cursorPositionChanged, this, &EntryScreen::updateBytesLeft);
    connect(mUi.Memo5, &QPlainTextEdit::cursorPositionChanged, this, &EntryScreen::updateBytesLeft);
    connect(mUi.cmdContinue, &QPushButton::clicked, this, &EntryScreen::continueNumbers);
    watchCharacters(mUi.Edit2, labelTextWord());
    watchCharacters(mUi.Memo5, labelTextWord());
    watchCharacters(mUi.Memo8, labelTextWord());
    showLastJob(std::nullopt);
}

void EntryScreen::chooseSheetType(SheetType type)
{
    const SheetTypeInfo &info = type.info();
    mJob.sheetType = type;
    if (!info.repeatShown) {
        mJob.repeatCount = 1;
        mUi.ListBox1->selectRow(0);
    }
    ShowEntryLayout(info.entryLayout);
    ShowRepeatChoice(info.repeatShown);
    // Only a type whose text is a few lines sets how much Memo8 holds; the others leave Memo8
    // its maximum, which the next such type replaces.
    if (info.textBox.kind == TextBoxKind::Lines) {
        mMemo8MaxLength = info.textBox.totalBytes;
        const QSignalBlocker blocker(mUi.Memo8);
        mUi.Memo8->clear();
        mJob.linesText.clear();
    }
    // The last job shown was another type's: it goes until the window has looked again.
    showLastJob(std::nullopt);
    if (mHost.typeChosen)
        mHost.typeChosen();
    refresh();
}

void EntryScreen::ShowEntryLayout(int layout)
{
    mUi.RadioGroup1->hide();
    switch (layout) {
    case 1:
        mUi.Edit2->show();
        mUi.Memo5->hide();
        mUi.Memo8->hide();
        mUi.Label5->show();
        mUi.Edit2->setFocus();
        break;
    case 2:
    case 5:
    case 6:
    case 7:
        mUi.Edit2->hide();
        mUi.Memo5->hide();
        mUi.Memo8->show();
        mUi.Memo8->setFocus();
        break;
    case 3:
        mUi.Edit2->hide();
        mUi.Memo8->hide();
        mUi.Memo5->show();
        mUi.Memo5->setFocus();
        break;
    case 4:
        mUi.Edit2->hide();
        mUi.Memo5->hide();
        mUi.Memo8->hide();
        mUi.RadioGroup1->show();
        break;
    default:
        break;
    }
    const bool numbered = layout != 4;
    mUi.ListBox12->setVisible(numbered);
    mUi.Label3->setVisible(numbered);
    mUi.Label14->setVisible(numbered);
    updateBytesLeft();
}

void EntryScreen::ShowRepeatChoice(bool shown)
{
    mUi.ListBox1->setVisible(shown);
    mUi.Label5->setVisible(shown);
}

void EntryScreen::ListBox2Click()
{
    mJob.sampleCount = mUi.ListBox2->currentRow() + 1;
    refresh();
}

void EntryScreen::ListBox1Click()
{
    mJob.repeatCount = mUi.ListBox1->currentRow() + 1;
    refresh();
}

void EntryScreen::ListBox12Click()
{
    mJob.initialValue = mUi.ListBox12->currentRow() + 1;
}

void EntryScreen::Edit2Change()
{
    if (mInTextLimit)
        return;
    const QString text = mUi.Edit2->text();
    const QString limited = limitOneLineText(text, mJob.sheetType.info().textBox);
    if (limited != text) {
        mInTextLimit = true;
        mUi.Edit2->setText(limited);
        mInTextLimit = false;
    }
    mJob.oneLineText = mUi.Edit2->text();
    updateBytesLeft();
}

void EntryScreen::Memo8Change()
{
    if (mInTextLimit)
        return;
    mInTextLimit = true;
    const TextBox &box = mJob.sheetType.info().textBox;
    const int maxLength = mMemo8MaxLength;
    limitMemo(mUi.Memo8,
              [&box, maxLength](const QString &t) { return limitLinesText(t, box, maxLength); });
    mInTextLimit = false;
    mJob.linesText = mUi.Memo8->toPlainText();
    updateBytesLeft();
}

void EntryScreen::Memo5Change()
{
    if (mInTextLimit)
        return;
    mInTextLimit = true;
    const TextBox &box = mJob.sheetType.info().textBox;
    limitMemo(mUi.Memo5, [&box](const QString &t) { return limitMemoText(t, box); });
    mInTextLimit = false;
    mJob.memoText = mUi.Memo5->toPlainText();
    updateBytesLeft();
}

QString EntryScreen::labelTextWord()
{
    return QStringLiteral("ラベルの文字");
}

// The boxes refuse such a character before it reaches their text, so the cut of an over-long
// text above never sees it and works as it always has.
void EntryScreen::watchCharacters(MemoBox *box, const QString &what)
{
    connect(box, &MemoBox::refused, this,
            [this, what](const ForbiddenCharacter &c) { characterRefused(what, c); });
}

void EntryScreen::watchCharacters(LineBox *box, const QString &what)
{
    connect(box, &LineBox::refused, this,
            [this, what](const ForbiddenCharacter &c) { characterRefused(what, c); });
}

void EntryScreen::characterRefused(const QString &what, const ForbiddenCharacter &character)
{
    mHost.message(QStringLiteral("%1に%2は入力できません。ラベルに印刷できない"
                                 "文字なので、入力を取り消しました。")
                      .arg(what, forbiddenCharacterWords(character)));
}

void EntryScreen::refresh()
{
    const std::optional<ListExtent> list =
        mHost.listExtent ? mHost.listExtent() : std::optional<ListExtent>();
    mUi.lblJobSummary->setText(summarizeJob(mJob.sheetType, mJob.sampleCount, mJob.repeatCount,
                                            mJob.startPos[mJob.family()], list)
                                   .text);
    updateBytesLeft();
}

void EntryScreen::updateBytesLeft()
{
    QLabel *counter = mUi.lblBytesLeft;
    const std::pair<QWidget *, TextBoxKind> boxes[] = {{mUi.Edit2, TextBoxKind::OneLine},
                                                       {mUi.Memo8, TextBoxKind::Lines},
                                                       {mUi.Memo5, TextBoxKind::Memo}};
    for (const auto &[box, kind] : boxes) {
        // A list's texts fill a read-only box: nothing is typed there, so nothing is counted.
        const bool readOnly = box->property("readOnly").toBool();
        if (box->isHidden() || readOnly)
            continue;
        QString text;
        int line = 0;
        if (const auto *memo = qobject_cast<QPlainTextEdit *>(box)) {
            text = memo->toPlainText();
            line = memo->textCursor().blockNumber();
        } else {
            text = mUi.Edit2->text();
        }
        const QString shown = bytesLeftText(bytesLeft(kind, mJob.sheetType, text, line));
        if (shown.isEmpty())
            break;
        // Beside the box, in the room left before the first number's list.
        const int left = box->geometry().right() + 6;
        counter->setGeometry(left, box->y(), mUi.ListBox12->x() - left - 2, counter->height());
        // Two short lines fit the narrow room where one would run into the list.
        counter->setText(QString(shown).replace(shown.indexOf(QLatin1Char(' ')), 1, u'\n'));
        counter->show();
        return;
    }
    counter->hide();
}

void EntryScreen::showLastJob(const std::optional<LastJob> &job)
{
    const QString text = job ? lastJobText(*job) : QString();
    mNextNumber = text.isEmpty() ? 0 : job->nextNumber;
    mUi.lblLastJob->setText(text);
    mUi.lblLastJob->setVisible(!text.isEmpty());
    // A number the first-number list does not hold cannot be chosen as a click would.
    mUi.cmdContinue->setVisible(mNextNumber >= 1 && mNextNumber <= FirstNumberListMax);
}

void EntryScreen::continueNumbers()
{
    if (mNextNumber < 1 || mNextNumber > FirstNumberListMax)
        return;
    mUi.ListBox12->selectRow(mNextNumber - 1);
    ListBox12Click();
    mHost.status(QStringLiteral("初期値を前回の続きの %1 にしました。").arg(mNextNumber));
}

} // namespace corvial
