// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen: the proof label, the colours, the offsets, the sheet preview and the code.
#include "PrintScreen.h"

#include "CodeView.h"
#include "Controls.h"
#include "Dialogs.h"
#include "SheetPicture.h"
#include "TextBoxControls.h"
#include "barcode/CodeRules.h"
#include "job/Colours.h"
#include "job/JobRules.h"
#include "preview/PreviewRules.h"
#include "ui_TfrmMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace corvial {

namespace {

// Background of a label, panel or text box.
void setBackground(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::Base, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// Text colour of a label, panel or text box.
void setForeground(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

void setPointSize(QWidget *w, int points)
{
    QFont f = w->font();
    f.setPointSize(points);
    w->setFont(f);
}

QString noCodeRoomText(SheetType type)
{
    return QStringLiteral("%1 の丸いラベルには、文字と番号の横に読み取れる大きさの2次元コードを"
                          "印刷する場所がありません。")
        .arg(sheetTypeWord(type));
}

// Makes the prefix box stop at type's longest prefix as it is typed, and says so on the box.
// A prefix typed for another type that is longer is cut to it: the message saying so is
// returned, empty when nothing was cut.
QString limitPrefix(QLineEdit *box, SheetType type)
{
    const int longest = longestPrefix(type);
    QString cut;
    if (box->text().size() > longest) {
        cut = prefixProblem(box->text(), type);
        box->setText(box->text().left(longest));
    }
    box->setMaxLength(longest);
    box->setToolTip(QStringLiteral("ASCII の文字（空白を除く）%1 文字まで").arg(longest));
    return cut;
}

} // namespace

PrintScreen::PrintScreen(Ui::TfrmMain &ui, JobEditor &job, PreviewCells cells, CodeControls code,
                         PrintScreenHost host, QObject *parent)
    : QObject(parent), mUi(&ui), mJob(job), mCells(cells), chkCode(code.chkCode),
      lblCodePrefix(code.lblCodePrefix), edtCodePrefix(code.edtCodePrefix), imgCode(code.imgCode),
      mHost(std::move(host))
{
}

void PrintScreen::connectControls()
{
    connect(mUi->ListBox23, &ChoiceList::userClicked, this, &PrintScreen::ListBox23Click);
    connect(mUi->ListBox25, &ChoiceList::userClicked, this, &PrintScreen::ListBox25Click);
    connect(mUi->ListBox19, &ChoiceList::userClicked, this, &PrintScreen::ListBox19Click);
    connect(mUi->ListBox21, &ChoiceList::userClicked, this, &PrintScreen::ListBox21Click);
    connect(mUi->ListBox20, &ChoiceList::userClicked, this, &PrintScreen::ListBox20Click);
    connect(mUi->CheckBox1, &QCheckBox::clicked, this, &PrintScreen::CheckBox1Click);
    connect(mUi->RadioButton4, &QRadioButton::clicked, this, &PrintScreen::RadioButton4Click);
    connect(mUi->RadioButton7, &QRadioButton::clicked, this, &PrintScreen::RadioButton7Click);
    connect(mUi->RadioButton8, &QRadioButton::clicked, this, &PrintScreen::RadioButton8Click);
    // The proofs the user may edit hold what the labels print.
    connect(mUi->Memo3, &QPlainTextEdit::textChanged, this, &PrintScreen::proofTextChanged);
    connect(mUi->Memo7, &QPlainTextEdit::textChanged, this, &PrintScreen::proofTextChanged);
    ClickSurface *const surfaces[FamilyCount] = {mUi->image7, mUi->Image2, mUi->Image4,
                                                 mUi->Image6};
    for (int f = 1; f <= FamilyCount; ++f) {
        connect(surfaces[f - 1], &ClickSurface::mouseMoved, this, &PrintScreen::previewMouseMove);
        connect(surfaces[f - 1], &ClickSurface::clicked, this, [this, f] { previewClick(f); });
    }
    connect(chkCode, &QCheckBox::clicked, this, &PrintScreen::chkCodeClick);
    connect(edtCodePrefix, &QLineEdit::textEdited, this, &PrintScreen::edtCodePrefixChange);
}

void PrintScreen::setUp()
{
    const int f = family();
    SetUpPreview(f);
    mUi->ListBox20->selectRow(0);
    buildProofLabel();
    proofTextChanged();
    updateCodeProof();
}

void PrintScreen::writeCircleProof(const ProofLabelContent &p)
{
    mUi->Label7->setText(p.circleText);
    mUi->Label6->setText(p.circleNumber);
    proofTextChanged();
}

void PrintScreen::buildProofLabel()
{
    const ProofLabelContent p = proofLabelFor(proofInputOf(mJob, mUi->Memo7->toPlainText()));
    mHost.showProofPanel(p.kind);
    switch (p.kind) {
    case ProofKind::Circle:
        writeCircleProof(p);
        return;
    case ProofKind::Memo:
        mUi->Memo7->setPlainText(p.text);
        setPointSize(mUi->Memo7, p.textPoints);
        if (p.fixedColours) {
            setBackground(mUi->Memo7, toQColor(BackColorOf(p.backColourIndex)));
            setForeground(mUi->Memo7, toQColor(TextColorOf(p.textColourIndex)));
            // The lists show the colours this label prints with.
            mUi->ListBox19->selectRow(p.backColourIndex);
            mUi->ListBox21->selectRow(p.textColourIndex);
            mJob.backColourIndex = p.backColourIndex;
            mJob.textColourIndex = p.textColourIndex;
        }
        return;
    case ProofKind::Number:
    case ProofKind::TextOnly:
        mUi->Memo3->setPlainText(p.text);
        if (!p.number.isEmpty())
            mUi->Panel5->setText(p.number);
        if (p.numberPoints > 0)
            setPointSize(mUi->Panel5, p.numberPoints);
        setPointSize(mUi->Memo3, p.textPoints);
        return;
    }
}

void PrintScreen::setCircleProofColours(const QColor &c)
{
    const QColor inner = mUi->CheckBox1->isChecked() ? toQColor(BackColorOf(0)) : c;
    mUi->Shape2->setFillColour(inner);
    mUi->Shape2->setOutlineColour(inner);
    setBackground(mUi->Label7, inner);
    setBackground(mUi->Label6, inner);
}

QList<QWidget *> PrintScreen::proofTextControls() const
{
    // The colour actions follow the proof of the current sheet type, whichever screen is
    // shown (Back recolours the proof on its way out).
    switch (proofKindOf(mJob.sheetType)) {
    case ProofKind::Circle:
        return {mUi->Label7, mUi->Label6};
    case ProofKind::Number:
    case ProofKind::TextOnly:
        return {mUi->Memo3, mUi->Panel5};
    case ProofKind::Memo:
        break;
    }
    return {mUi->Memo7};
}

void PrintScreen::ListBox19Click()
{
    mJob.backColourIndex = mUi->ListBox19->selectedRow();
    const QColor c = toQColor(BackColorOf(mJob.backColourIndex));
    if (proofKindOf(mJob.sheetType) == ProofKind::Circle) {
        mUi->Shape1->setFillColour(c);
        setCircleProofColours(c);
        return;
    }
    for (QWidget *w : proofTextControls())
        setBackground(w, c);
}

void PrintScreen::ListBox21Click()
{
    mJob.textColourIndex = mUi->ListBox21->selectedRow();
    const QColor t = toQColor(TextColorOf(mJob.textColourIndex));
    for (QWidget *w : proofTextControls())
        setForeground(w, t);
}

void PrintScreen::CheckBox1Click()
{
    mJob.frame = mUi->CheckBox1->isChecked();
    setCircleProofColours(toQColor(BackColorOf(mUi->ListBox19->selectedRow())));
}

void PrintScreen::RadioButton4Click()
{
    mJob.printAlign = PrintAlign::Left;
}

void PrintScreen::RadioButton7Click()
{
    mJob.printAlign = PrintAlign::Centre;
}

void PrintScreen::RadioButton8Click()
{
    mJob.printAlign = PrintAlign::Right;
}

const QVector<ShapeCell *> &PrintScreen::shapesOf(int f) const
{
    switch (f) {
    case 1:
        return mCells.circleShapes;
    case 2:
        return mCells.rectShapes;
    case 3:
        return mCells.tube95Shapes;
    default:
        return mCells.tube72Shapes;
    }
}

void PrintScreen::SetUpPreview(int f)
{
    if (f < 1 || f > FamilyCount)
        return;
    if (isCircleFamily(f))
        writeCircleProof(
            circleProof(mUi->Edit2->text(), mJob.initialValue, NumberStyle(mJob.numberStyle)));
    mJob.sheetCount =
        sheetCountFor(familyInfo(f), mJob.sampleCount * mJob.repeatCount, mJob.startPos[f]);
    mUi->ListBox20->clear();
    QStringList sheets;
    for (int k = 1; k <= mJob.sheetCount; ++k)
        sheets << QString::number(k);
    mUi->ListBox20->addItems(sheets);
    // A one-sheet circle job leaves the selector without a selection.
    if (!isCircleFamily(f) || mJob.sheetCount >= 2)
        mUi->ListBox20->selectRow(0);
    PaintPreviewSheet(f, 1);
}

void PrintScreen::PaintPreviewSheet(int f, int sheet)
{
    if (f < 1 || f > FamilyCount)
        return;
    paintSheetCells(shapesOf(f), f, mJob.sampleCount * mJob.repeatCount, mJob.startPos[f],
                    mJob.sheetCount, sheet);
}

void PrintScreen::previewMouseMove(int x, int y)
{
    mouseX = x;
    mouseY = y;
}

void PrintScreen::previewClick(int f)
{
    // While a later sheet is shown the preview is read-only.
    if (mUi->ListBox20->selectedRow() > 0)
        return;
    const int position = hitPosition(familyInfo(f), mouseX, mouseY);
    if (position == 0)
        return;
    mJob.startPos[f] = position;
    const StartClickSave save = familyInfo(f).startClickSave;
    if (save == StartClickSave::BeforeRepaint)
        mHost.saveSettings();
    SetUpPreview(f);
    if (save == StartClickSave::AfterRepaint)
        mHost.saveSettings();
}

void PrintScreen::ListBox20Click()
{
    const int row = mUi->ListBox20->selectedRow();
    if (row >= 0)
        PaintPreviewSheet(family(), row + 1);
}

void PrintScreen::proofTextChanged()
{
    // The proof the type shows holds what its labels print.
    switch (proofKindOf(mJob.sheetType)) {
    case ProofKind::Circle:
        mJob.proofText = mUi->Label7->text();
        break;
    case ProofKind::Memo:
        mJob.proofText = mUi->Memo7->toPlainText();
        break;
    case ProofKind::Number:
    case ProofKind::TextOnly:
        mJob.proofText = mUi->Memo3->toPlainText();
        break;
    }
}

void PrintScreen::resetProofColoursAfterPrint()
{
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    setBackground(mUi->Memo7, white);
    setBackground(mUi->Memo3, white);
    setBackground(mUi->Panel5, white);
    setForeground(mUi->Memo7, black);
    setForeground(mUi->Memo3, black);
    setForeground(mUi->Panel5, black);
    mUi->Shape1->setFillColour(white);
    setForeground(mUi->Label6, black);
    setBackground(mUi->Label6, white);
    setBackground(mUi->Label7, white);
    setForeground(mUi->Label7, black);
}

bool PrintScreen::codeChosen() const
{
    return chkCode->isChecked() && hasCodeRoom(mJob.sheetType);
}

void PrintScreen::showCodeChoice(SheetType chosen)
{
    // The round labels number their samples too, so a user looks for the code there: the
    // choice is shown greyed out with the reason. The labels without a number have no ID to
    // put in a code, and the choice is not shown at all.
    const bool room = hasCodeRoom(chosen);
    const bool shown = room || chosen.family().shape == LabelShape::Ellipse;
    const QString why = room ? QString() : noCodeRoomText(chosen);
    for (QWidget *w : std::initializer_list<QWidget *>{chkCode, lblCodePrefix, edtCodePrefix}) {
        w->setVisible(shown);
        w->setEnabled(room);
        w->setToolTip(why);
    }
    if (room) {
        const QString cut = limitPrefix(edtCodePrefix, chosen);
        if (!cut.isEmpty())
            mHost.dialogs->message(mHost.owner, cut);
    }
    // A type without room prints no code, whatever was chosen on another type.
    mJob.code = codeChosen();
    mJob.codePrefix = edtCodePrefix->text();
    updateCodeProof();
}

void PrintScreen::updateCodeProof()
{
    const bool shown =
        codeChosen() && mUi->pnlNum->isVisibleTo(mUi->pnlPrint) && !mUi->Panel5->isHidden();
    if (shown)
        imgCode->setData(codeData(edtCodePrefix->text(), mUi->Panel5->text()));
    imgCode->setVisible(shown);
}

void PrintScreen::chkCodeClick()
{
    mJob.code = codeChosen();
    updateCodeProof();
}

void PrintScreen::edtCodePrefixChange()
{
    // Refused characters go as they are typed, like an over-long text; the box's own limit
    // already stops a prefix at the longest one the sheet type's code holds.
    const QString typed = edtCodePrefix->text();
    const QString kept = prefixCharactersOnly(typed);
    if (kept != typed) {
        const int cursor = edtCodePrefix->cursorPosition() - int(typed.size() - kept.size());
        edtCodePrefix->setText(kept);
        edtCodePrefix->setCursorPosition(qBound(0, cursor, int(kept.size())));
    }
    mJob.codePrefix = edtCodePrefix->text();
    updateCodeProof();
}

void PrintScreen::ListBox23Click()
{
    mJob.offsetY[family()] = mUi->ListBox23->currentRow();
    mHost.saveSettings();
}

void PrintScreen::ListBox25Click()
{
    mJob.offsetX[family()] = mUi->ListBox25->currentRow();
    mHost.saveSettings();
}

} // namespace corvial
