// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen: PrintSet and the proof label, the sheet preview, printing and export.
#include "TfrmMain.h"

#include "Controls.h"
#include "Dialogs.h"
#include "JobProgress.h"
#include "SheetPicture.h"
#include "TextBoxControls.h"
#include "export/WorkbookExport.h"
#include "export/XlsApi.h"
#include "files/BoundedFile.h"
#include "history/PrintRecorder.h"
#include "job/Colours.h"
#include "job/Fonts.h"
#include "job/JobRules.h"
#include "job/NumberText.h"
#include "job/ProofLabel.h"
#include "job/ShiftJis.h"
#include "lists/ListTable.h"
#include "preview/PreviewRules.h"
#include "print/PageCanvas.h"
#include "print/PrintJob.h"
#include "sequence/OwnFiles.h"
#include "sequence/PrintSequence.h"
#include "settings/SettingsFile.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRadioButton>
#include <QStatusBar>

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

} // namespace

QStatusBar *TfrmMain::statusLine()
{
    // Made on first use; the window grows by its height so that it covers none of the
    // controls placed at the bottom.
    if (auto *bar = findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        return bar;
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusLine"));
    resize(width(), height() + bar->sizeHint().height());
    return bar;
}

void TfrmMain::cmdPrintSetClick()
{
    LabelJob size;
    size.sampleCount = mJob.sampleCount;
    size.repeatCount = mJob.repeatCount;
    if (exceedsJobSize(size)) {
        mEnv.dialogs->message(this, tooManyLabelsText());
        return;
    }
    const int f = family();
    ShowScreen(Screen::Print);
    SetUpPreview(f);
    ListBox20->selectRow(0);
    buildProofLabel();
    proofTextChanged();
    updateCodeProof();
    ArrangeToolButtons(ToolRow::Print);
    ListBox25->selectRow(mJob.offsetX[f]);
    ListBox23->selectRow(mJob.offsetY[f]);
    // A marker label keeps the colours its proof just set; the reset waits for another type.
    if (mJob.colorsResetPending && !isMarkerType(mJob.sheetType)) {
        ListBox19->selectRow(0);
        ListBox19Click();
        ListBox21->selectRow(0);
        ListBox21Click();
        mJob.colorsResetPending = false;
    }
}

void TfrmMain::writeCircleProof(const ProofLabelContent &p)
{
    Label7->setText(p.circleText);
    Label6->setText(p.circleNumber);
    proofTextChanged();
}

void TfrmMain::buildProofLabel()
{
    const ProofLabelContent p = proofLabelFor(proofInputOf(mJob, Memo7->toPlainText()));
    ShowProofPanel(p.kind);
    switch (p.kind) {
    case ProofKind::Circle:
        writeCircleProof(p);
        return;
    case ProofKind::Memo:
        Memo7->setPlainText(p.text);
        setPointSize(Memo7, p.textPoints);
        if (p.fixedColours) {
            setBackground(Memo7, toQColor(BackColorOf(p.backColourIndex)));
            setForeground(Memo7, toQColor(TextColorOf(p.textColourIndex)));
            // The lists show the colours this label prints with.
            ListBox19->selectRow(p.backColourIndex);
            ListBox21->selectRow(p.textColourIndex);
            mJob.backColourIndex = p.backColourIndex;
            mJob.textColourIndex = p.textColourIndex;
        }
        return;
    case ProofKind::Number:
    case ProofKind::TextOnly:
        Memo3->setPlainText(p.text);
        if (!p.number.isEmpty())
            Panel5->setText(p.number);
        if (p.numberPoints > 0)
            setPointSize(Panel5, p.numberPoints);
        setPointSize(Memo3, p.textPoints);
        return;
    }
}

void TfrmMain::setCircleProofColours(const QColor &c)
{
    const QColor inner = CheckBox1->isChecked() ? toQColor(BackColorOf(0)) : c;
    Shape2->setFillColour(inner);
    Shape2->setOutlineColour(inner);
    setBackground(Label7, inner);
    setBackground(Label6, inner);
}

QList<QWidget *> TfrmMain::proofTextControls() const
{
    // The colour actions follow the proof of the current sheet type, whichever screen is
    // shown (Back recolours the proof on its way out).
    switch (proofKindOf(mJob.sheetType)) {
    case ProofKind::Circle:
        return {Label7, Label6};
    case ProofKind::Number:
    case ProofKind::TextOnly:
        return {Memo3, Panel5};
    case ProofKind::Memo:
        break;
    }
    return {Memo7};
}

void TfrmMain::ListBox19Click()
{
    mJob.backColourIndex = ListBox19->selectedRow();
    const QColor c = toQColor(BackColorOf(mJob.backColourIndex));
    if (proofKindOf(mJob.sheetType) == ProofKind::Circle) {
        Shape1->setFillColour(c);
        setCircleProofColours(c);
        return;
    }
    for (QWidget *w : proofTextControls())
        setBackground(w, c);
}

void TfrmMain::ListBox21Click()
{
    mJob.textColourIndex = ListBox21->selectedRow();
    const QColor t = toQColor(TextColorOf(mJob.textColourIndex));
    for (QWidget *w : proofTextControls())
        setForeground(w, t);
}

void TfrmMain::CheckBox1Click()
{
    mJob.frame = CheckBox1->isChecked();
    setCircleProofColours(toQColor(BackColorOf(ListBox19->selectedRow())));
}

void TfrmMain::Font1Click()
{
    QFont start = mFontDialogFont;
    if (mJob.labelFont.pointSize() > 0)
        start.setPointSize(mJob.labelFont.pointSize());
    start.setBold(true);
    start.setItalic(false);
    start.setUnderline(false);
    start.setStrikeOut(false);
    mFontDialogFont = start;
    QFont chosen = start;
    if (mEnv.dialogs->chooseFont(this, &chosen)) {
        mJob.labelFont = chosen;
        mFontDialogFont = chosen;
        mLabelFontProblem = labelFontProblem(mJob.labelFont);
    }
}

void TfrmMain::RadioButton4Click()
{
    mJob.printAlign = PrintAlign::Left;
}

void TfrmMain::RadioButton7Click()
{
    mJob.printAlign = PrintAlign::Centre;
}

void TfrmMain::RadioButton8Click()
{
    mJob.printAlign = PrintAlign::Right;
}

const QVector<ShapeCell *> &TfrmMain::shapesOf(int f) const
{
    switch (f) {
    case 1:
        return circleShapes;
    case 2:
        return rectShapes;
    case 3:
        return tube95Shapes;
    default:
        return tube72Shapes;
    }
}

void TfrmMain::SetUpPreview(int f)
{
    if (f < 1 || f > FamilyCount)
        return;
    if (isCircleFamily(f))
        writeCircleProof(circleProof(Edit2->text(), mJob.initialValue, NumberStyle(mJob.numberStyle)));
    mJob.sheetCount = sheetCountFor(familyInfo(f), mJob.sampleCount * mJob.repeatCount, mJob.startPos[f]);
    ListBox20->clear();
    QStringList sheets;
    for (int k = 1; k <= mJob.sheetCount; ++k)
        sheets << QString::number(k);
    ListBox20->addItems(sheets);
    // A one-sheet circle job leaves the selector without a selection.
    if (!isCircleFamily(f) || mJob.sheetCount >= 2)
        ListBox20->selectRow(0);
    PaintPreviewSheet(f, 1);
}

void TfrmMain::PaintPreviewSheet(int f, int sheet)
{
    if (f < 1 || f > FamilyCount)
        return;
    paintSheetCells(shapesOf(f), f, mJob.sampleCount * mJob.repeatCount, mJob.startPos[f], mJob.sheetCount, sheet);
}

void TfrmMain::previewMouseMove(int x, int y)
{
    mouseX = x;
    mouseY = y;
}

void TfrmMain::previewClick(int f)
{
    // While a later sheet is shown the preview is read-only.
    if (ListBox20->selectedRow() > 0)
        return;
    const int position = hitPosition(familyInfo(f), mouseX, mouseY);
    if (position == 0)
        return;
    mJob.startPos[f] = position;
    const StartClickSave save = familyInfo(f).startClickSave;
    if (save == StartClickSave::BeforeRepaint)
        SaveSettings();
    SetUpPreview(f);
    if (save == StartClickSave::AfterRepaint)
        SaveSettings();
}

void TfrmMain::ListBox20Click()
{
    const int row = ListBox20->selectedRow();
    if (row >= 0)
        PaintPreviewSheet(family(), row + 1);
}

void TfrmMain::proofTextChanged()
{
    // The proof the type shows holds what its labels print.
    switch (proofKindOf(mJob.sheetType)) {
    case ProofKind::Circle:
        mJob.proofText = Label7->text();
        break;
    case ProofKind::Memo:
        mJob.proofText = Memo7->toPlainText();
        break;
    case ProofKind::Number:
    case ProofKind::TextOnly:
        mJob.proofText = Memo3->toPlainText();
        break;
    }
}

void TfrmMain::cmdPrintClick()
{
    // The line speaks of the latest Print only: one cancelled or failed leaves it empty.
    if (auto *bar = findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        bar->clearMessage();
    const LabelJob job = labelJobOf(mJob);
    if (!printOnPrinter(job))
        return;

    const JobAdvance next = advanceAfterPrint(job);
    statusLine()->showMessage(printedSummaryText(next));
    // The sequence has moved the start position on and saved it.
    resetProofColoursAfterPrint();
    mJob.colorsResetPending = true;
    ShowScreen(Screen::Entry);
    if (isMarkerType(mJob.sheetType))
        chooseSheetType(mJob.sheetType);
    ArrangeToolButtons(ToolRow::Entry);
    if (next.numbered) {
        mJob.initialValue = next.nextInitialValue;
        ListBox12->selectRow(mJob.initialValue - 1);
    }
    refreshLastJob(); // the job just printed is now the last one
}

bool TfrmMain::printOnPrinter(const LabelJob &job, QWidget *owner, const HistoryEntry *reprinted)
{
    if (!owner)
        owner = this;
    const QString nothingMoved = QStringLiteral("\n開始位置と番号は変わっていません。");
    PrintRequest request;
    request.job = job;
    request.settingsPath = settingsFilePath(appDir);
    request.historySettings = request.settingsPath;
    // A reprint's texts come from its record, not from the list loaded now; the number that
    // follows it is the window's, which it leaves alone.
    if (reprinted) {
        request.reprintOf = reprinted->id;
        request.reprintNextNumber = mJob.initialValue;
    } else if (!mListPath.isEmpty()) {
        request.listFile = QFileInfo(mListPath).absoluteFilePath();
        request.listSha256 = mListSha256;
    }

    JobProgress progress(owner);
    PrintPolicy policy;
    policy.program = QStringLiteral("corvial-manager");
    policy.printWithoutRecord = [&](const QString &why) {
        return mEnv.dialogs->askYesNoDefaultNo(
            owner, QStringLiteral("印刷履歴"),
            why + QStringLiteral("\n\n履歴に残さずに印刷しますか？"));
    };
    policy.choosePrinter = [&](QString *) -> QPrinter * {
        if (!mEnv.dialogs->choosePrinter(owner, keptPrinter()))
            return nullptr;
        mPrinterSetup = PrinterSetup::of(*mPrinter);
        return mPrinter.get();
    };
    policy.outputProblem = [this](const QString &path) {
        return ownOutputProblem(path, settingsFilePath(appDir));
    };
    policy.canvasFor = mEnv.canvasFactory;
    policy.watcher = &progress;
    const int f = job.sheetType.info().family;
    policy.saveAdvance = [this, f](const JobAdvance &next, QString *) {
        // SaveSettings tells the user itself when start.txt cannot be written.
        mJob.startPos[f] = next.nextStartPos;
        SaveSettings();
        return true;
    };

    PrintRecorder history(QStringLiteral("corvial-manager"));
    const PrintOutcome printed = runPrintSequence(request, policy, history);
    if (!printed.recordError.isEmpty())
        mEnv.dialogs->error(owner, printed.recordError);
    switch (printed.stoppedAt) {
    case PrintStep::None:
        break;
    case PrintStep::Scale:
        mEnv.dialogs->error(owner, QStringLiteral("印刷できませんでした。開始位置と番号は"
                                                  "変わっていません。\n") +
                                       printed.reason);
        return false;
    default:
        // Nothing moves on for a job that did not print; a declined dialog needs no word.
        if (!printed.reason.isEmpty())
            mEnv.dialogs->error(owner, printed.reason + nothingMoved);
        return false;
    }
    if (!printed.notice.isEmpty())
        mEnv.dialogs->message(owner, printed.notice);
    return true;
}

void TfrmMain::resetProofColoursAfterPrint()
{
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    setBackground(Memo7, white);
    setBackground(Memo3, white);
    setBackground(Panel5, white);
    setForeground(Memo7, black);
    setForeground(Memo3, black);
    setForeground(Panel5, black);
    Shape1->setFillColour(white);
    setForeground(Label6, black);
    setBackground(Label6, white);
    setBackground(Label7, white);
    setForeground(Label7, black);
}

void TfrmMain::cmdExcelClick()
{
    if (!isExportableType(mJob.sheetType))
        return;
    const QString path = mEnv.dialogs->saveFileName(this, QStringLiteral("Excel files (*.xls)"));
    if (path.isEmpty())
        return;
    // Asked before the overwrite question: the answer would not matter.
    const QString own = ownOutputProblem(path, settingsFilePath(appDir));
    if (!own.isEmpty()) {
        mEnv.dialogs->error(this, QStringLiteral("Excel ファイルに書き出せません。\n") + own);
        return;
    }
    if (QFileInfo::exists(path) &&
        !mEnv.dialogs->askYesNo(this, QStringLiteral("警告"),
                                QStringLiteral("同名のファイルがあります。重ねがきしますか？")))
        return;

    // The circle proof shows what the workbook gets.
    if (isCircleType(mJob.sheetType)) {
        Label7->setText(exportedProofText(labelJobOf(mJob)));
        proofTextChanged();
    }
    const ExportJob job = exportJobOf(labelJobOf(mJob), mEnv.today());
    const ExportResult result = writeWorkbook(*mEnv.workbook, path, job, &bookHandle);
    if (!result.written())
        mEnv.dialogs->error(this, exportErrorText(path, result));
}

} // namespace corvial
