// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen: PrintSet and the proof label, the sheet preview, printing and export.
#include "TfrmMain.h"

#include "Controls.h"
#include "Dialogs.h"
#include "export/WorkbookExport.h"
#include "export/XlsApi.h"
#include "job/Colours.h"
#include "job/Fonts.h"
#include "job/NumberText.h"
#include "job/ProofLabel.h"
#include "job/ShiftJis.h"
#include "preview/PreviewRules.h"
#include "print/PageCanvas.h"
#include "print/PrintJob.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
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

const QString kTooManyLabels =
    QStringLiteral("プリントラベル数が４００を越えていますので、再設定お願いいたします。");

} // namespace

void TfrmMain::cmdPrintSetClick()
{
    if (repeatCount * sampleCount > MaxJobLabels) {
        mEnv.dialogs->message(this, kTooManyLabels);
        return;
    }
    const int f = family();
    ShowScreen(sheetType);
    SetUpPreview(f);
    ListBox20->selectRow(0);
    buildProofLabel();
    ArrangeToolButtons(1);
    ListBox25->selectRow(offsetX[f]);
    ListBox23->selectRow(offsetY[f]);
    if (colorsResetPending && sheetType != 4) {
        ListBox19->selectRow(0);
        ListBox19Click();
        ListBox21->selectRow(0);
        ListBox21Click();
        colorsResetPending = false;
    }
}

void TfrmMain::buildProofLabel()
{
    const QString number = numberText(initialValue, numberStyle);
    const SheetTypeInfo &info = sheetTypeInfo(sheetType);
    ShowProofPanel(info.proofKind);
    switch (sheetType) {
    case 1:
        Label7->setText(circleProofText(Edit2->text()));
        Label6->setText(number);
        break;
    case 3: {
        const QStringList entry = memoLines(Memo5->toPlainText());
        if (entry.size() >= 5 && !entry.at(4).isEmpty()) {
            // Only the four lines a memo label holds are carried over, line by line.
            QStringList proof = memoLines(Memo7->toPlainText());
            for (int i = 0; i < 4 && i < proof.size(); ++i)
                proof[i] = entry.at(i);
            Memo7->setPlainText(proof.join(QLatin1Char('\n')));
        } else {
            Memo7->setPlainText(Memo5->toPlainText());
        }
        // The size follows the text the proof shows.
        setPointSize(Memo7, memoFontSizeForText(Memo5->toPlainText()));
        break;
    }
    case 4: {
        int marker = 0;
        for (int i = 0; i < 4; ++i) {
            if (RadioGroup1Items[i]->isChecked())
                marker = i;
        }
        Memo7->setPlainText(markerText(marker));
        setPointSize(Memo7, 24);
        setBackground(Memo7, toQColor(0x0000FF));
        setForeground(Memo7, toQColor(0xFFFFFF));
        // The lists show the colours this label prints with.
        ListBox19->selectRow(5);
        ListBox21->selectRow(8);
        break;
    }
    case 2:
        Memo3->setPlainText(Memo8->toPlainText());
        Panel5->setText(number);
        setPointSize(Memo3, memoFontSizeForText(Memo8->toPlainText()));
        break;
    case 5:
    case 6:
    case 8:
    case 9:
        Memo3->setPlainText(Memo8->toPlainText());
        Panel5->setText(number);
        setPointSize(Panel5, NumberFontSize(initialValue, numberStyle));
        setPointSize(Memo3, memoFontSizeForText(Memo8->toPlainText()));
        break;
    case 7:
    case 10:
        Memo3->setPlainText(Memo8->toPlainText());
        setPointSize(Memo3, memoFontSizeForText(Memo8->toPlainText()));
        break;
    default:
        break;
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

void TfrmMain::ListBox19Click()
{
    const QColor c = toQColor(BackColorOf(ListBox19->selectedRow()));
    if (!pnl150->isHidden()) {
        Shape1->setFillColour(c);
        setCircleProofColours(c);
    } else if (!pnlNum->isHidden()) {
        setBackground(Panel5, c);
        setBackground(Memo3, c);
    } else if (!pnlmemo->isHidden()) {
        setBackground(Memo7, c);
    }
}

void TfrmMain::ListBox21Click()
{
    const QColor t = toQColor(TextColorOf(ListBox21->selectedRow()));
    if (!pnl150->isHidden()) {
        setForeground(Label7, t);
        setForeground(Label6, t);
    } else if (!pnlNum->isHidden()) {
        setForeground(Memo3, t);
        setForeground(Panel5, t);
    } else if (!pnlmemo->isHidden()) {
        setForeground(Memo7, t);
    }
}

void TfrmMain::CheckBox1Click()
{
    setCircleProofColours(toQColor(BackColorOf(ListBox19->selectedRow())));
}

void TfrmMain::Font1Click()
{
    QFont start = mFontDialogFont;
    if (labelFont.pointSize() > 0)
        start.setPointSize(labelFont.pointSize());
    start.setBold(true);
    start.setItalic(false);
    start.setUnderline(false);
    start.setStrikeOut(false);
    mFontDialogFont = start;
    QFont chosen = start;
    if (mEnv.dialogs->chooseFont(this, &chosen)) {
        labelFont = chosen;
        mFontDialogFont = chosen;
    }
}

void TfrmMain::RadioButton4Click()
{
    printAlign = 1;
}

void TfrmMain::RadioButton7Click()
{
    printAlign = 2;
}

void TfrmMain::RadioButton8Click()
{
    printAlign = 3;
}

const QVector<TShape *> &TfrmMain::shapesOf(int f) const
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
    if (f == 1) {
        Label7->setText(circleProofText(Edit2->text()));
        Label6->setText(numberText(initialValue, numberStyle));
    }
    sheetCount = sheetCountFor(f, sampleCount * repeatCount, startPos[f]);
    ListBox20->clear();
    QStringList sheets;
    for (int k = 1; k <= sheetCount; ++k)
        sheets << QString::number(k);
    ListBox20->addItems(sheets);
    // A one-sheet circle job leaves the selector without a selection.
    if (f != 1 || sheetCount >= 2)
        ListBox20->selectRow(0);
    PaintPreviewSheet(f, 1);
}

void TfrmMain::PaintPreviewSheet(int f, int sheet)
{
    if (f < 1 || f > FamilyCount)
        return;
    const QVector<CellColour> cells =
        previewCells(f, sampleCount * repeatCount, startPos[f], sheetCount, sheet);
    const QVector<TShape *> &shapes = shapesOf(f);
    for (int i = 1; i < shapes.size() && i <= cells.size(); ++i)
        shapes[i]->setFillColour(toQColor(cellColourValue(cells[i - 1])));
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
    const int position = hitPosition(f, mouseX, mouseY);
    if (position == 0)
        return;
    startPos[f] = position;
    switch (f) {
    case 1:
        SaveSettings();
        SetUpPreview(1);
        break;
    case 2:
        // The rectangle sheet's choice reaches start.txt with the next save for any reason.
        SetUpPreview(2);
        break;
    default:
        SetUpPreview(f);
        SaveSettings();
        break;
    }
}

void TfrmMain::ListBox20Click()
{
    const int row = ListBox20->selectedRow();
    if (row >= 0)
        PaintPreviewSheet(family(), row + 1);
}

void TfrmMain::cmdPrintClick()
{
    const int s = startPos[family()];
    bool printed = false;
    switch (family()) {
    case 1:
        printed = PrintCircleJob();
        break;
    case 2:
        printed = PrintRectJob(sheetType);
        break;
    case 3:
        printed = PrintTube95Job(sheetType);
        break;
    case 4:
        printed = PrintTube72Job(sheetType);
        break;
    default:
        break;
    }
    if (!printed)
        return;

    const int f = family();
    startPos[f] = nextStartPos(sampleCount * repeatCount, s, LabelsPerSheet(sheetType));
    resetProofColoursAfterPrint();
    colorsResetPending = true;
    SaveSettings();
    ShowScreen(0);
    if (sheetType == 4)
        chooseSheetType(4);
    ArrangeToolButtons(0);
    if (isNumberedType(sheetType)) {
        initialValue = advancedInitialValue(initialValue, sampleCount);
        ListBox12->selectRow(initialValue - 1);
    }
}

bool TfrmMain::PrintCircleJob()
{
    return runPrintJob(1);
}

bool TfrmMain::PrintRectJob(int type)
{
    return runPrintJob(type);
}

bool TfrmMain::PrintTube95Job(int type)
{
    return runPrintJob(type);
}

bool TfrmMain::PrintTube72Job(int type)
{
    return runPrintJob(type);
}

bool TfrmMain::runPrintJob(int type)
{
    if (!mPrinter)
        mPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!mEnv.dialogs->choosePrinter(this, mPrinter.get()))
        return false;

    const int f = FamilyOfType(type);
    PrintSnapshot job;
    job.sheetType = type;
    job.sampleCount = sampleCount;
    job.repeatCount = repeatCount;
    job.initialValue = initialValue;
    job.numberStyle = numberStyle;
    job.printAlign = printAlign;
    job.startPos = startPos[f];
    job.offsetX = offsetX[f];
    job.offsetY = offsetY[f];
    job.entryText = Edit2->text();
    job.memo3 = Memo3->toPlainText();
    job.memo7 = Memo7->toPlainText();
    job.textColourIndex = ListBox21->selectedRow();
    job.backColourIndex = ListBox19->selectedRow();
    job.frame = CheckBox1->isChecked();
    job.labelFont = labelFont;

    const std::unique_ptr<PageCanvas> canvas = mEnv.canvasFactory(mPrinter.get());
    QString error;
    if (!printJob(*canvas, job, &error)) {
        // Nothing moves on for a job that did not print.
        mEnv.dialogs->error(this, error);
        return false;
    }
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
    if (!isExportableType(sheetType))
        return;
    const QString path = mEnv.dialogs->saveFileName(this, QStringLiteral("Excel files (*.xls)"));
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) &&
        !mEnv.dialogs->askYesNo(this, QStringLiteral("警告"),
                                QStringLiteral("同名のファイルがあります。重ねがきしますか？")))
        return;

    if (sheetType == 1 && Label7->text().isEmpty())
        Label7->setText(QStringLiteral(" "));
    ExportJob job;
    job.sheetType = sheetType;
    job.sampleCount = sampleCount;
    job.initialValue = initialValue;
    job.numberStyle = numberStyle;
    job.circleText = Label7->text();
    job.proofText = Memo3->toPlainText();
    job.textColourIndex = ListBox21->selectedRow();
    job.backColourIndex = ListBox19->selectedRow();
    job.frame = CheckBox1->isChecked();
    job.date = mEnv.today();
    const ExportResult result = writeWorkbook(*mEnv.workbook, path, job, &bookHandle);
    if (!result.written())
        mEnv.dialogs->error(this, exportErrorText(path, result));
}

} // namespace corvial
