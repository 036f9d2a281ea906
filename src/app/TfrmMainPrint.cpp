// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen: PrintSet and the proof label, the sheet preview, printing and export.
#include "TfrmMain.h"

#include "Controls.h"
#include "Dialogs.h"
#include "PrintScreen.h"
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
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QRadioButton>
#include <QStatusBar>

namespace corvial {

namespace {

// On the status line while labels the person stopped waiting for are still being sent.
const QString kStillSending =
    QStringLiteral("ラベルはプリンターへ送られています。結果を待たずに続けます。");

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
    mPrintScreen->setUp();
    ArrangeToolButtons(ToolRow::Print);
    ListBox25->selectRow(mJob.offsetX[f]);
    ListBox23->selectRow(mJob.offsetY[f]);
    // A marker label keeps the colours its proof just set; the reset waits for another type.
    if (mJob.colorsResetPending && !isMarkerType(mJob.sheetType)) {
        ListBox19->selectRow(0);
        mPrintScreen->ListBox19Click();
        ListBox21->selectRow(0);
        mPrintScreen->ListBox21Click();
        mJob.colorsResetPending = false;
    }
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

void TfrmMain::SetUpPreview(int f)
{
    mPrintScreen->SetUpPreview(f);
}

void TfrmMain::PaintPreviewSheet(int f, int sheet)
{
    mPrintScreen->PaintPreviewSheet(f, sheet);
}

QPoint TfrmMain::previewPointer() const
{
    return mPrintScreen->previewPointer();
}

void TfrmMain::cmdPrintClick()
{
    if (isBusy())
        return;
    // The line speaks of the latest Print only: one cancelled or failed leaves it empty.
    if (auto *bar = findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        bar->clearMessage();
    const LabelJob job = labelJobOf(mJob);
    printOnPrinter(job, this, nullptr, [this, job](bool printed) {
        if (!printed)
            return;
        const JobAdvance next = advanceAfterPrint(job);
        statusLine()->showMessage(printedSummaryText(next));
        // The start position has moved on and is saved.
        mPrintScreen->resetProofColoursAfterPrint();
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
    });
}

bool TfrmMain::isBusy() const
{
    return mPrintRun || mListProgress;
}

void TfrmMain::setBusy(bool busy)
{
    // The main window itself stays enabled: its progress and question dialogs are its
    // children and would be disabled with it.
    centralWidget()->setEnabled(!busy);
    menuBar()->setEnabled(!busy);
}

PrintRun::Asks TfrmMain::printAsks(QWidget *owner)
{
    const QPointer<QWidget> asker(owner);
    PrintRun::Asks asks;
    asks.printWithoutRecord = [this, asker](const QString &why) {
        return mEnv.dialogs->askYesNoDefaultNo(
            asker ? asker.data() : this, QStringLiteral("印刷履歴"),
            why + QStringLiteral("\n\n履歴に残さずに印刷しますか？"));
    };
    // The printer is the run's until it ends, so that nothing else sets it up meanwhile.
    asks.choosePrinter = [this, asker]() -> std::unique_ptr<QPrinter> {
        if (!mEnv.dialogs->choosePrinter(asker ? asker.data() : this, keptPrinter()))
            return nullptr;
        mPrinterSetup = PrinterSetup::of(*mPrinter);
        return std::move(mPrinter);
    };
    return asks;
}

void TfrmMain::printOnPrinter(const LabelJob &job, QWidget *owner, const HistoryEntry *reprinted,
                              std::function<void(bool printed)> then)
{
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
    PrintPolicy policy;
    policy.program = QStringLiteral("corvial-manager");
    policy.outputProblem = [settings = request.settingsPath](const QString &path) {
        return ownOutputProblem(path, settings);
    };
    policy.canvasFor = mEnv.canvasFactory;
    // The advance is saved here once the result is back: the worker touches no window state.
    const auto work = [request](const PrintPolicy &p) {
        PrintRecorder history(QStringLiteral("corvial-manager"));
        return runPrintSequence(request, p, history);
    };
    const QPointer<QWidget> asker(owner);
    const int f = job.sheetType.info().family;
    startPrintRun(owner, work, policy, [this, asker, f, then](const PrintOutcome &printed) {
        then(printRunEnded(printed, asker ? asker.data() : this, f));
    });
}

void TfrmMain::startPrintRun(QWidget *owner, PrintRun::Work work, const PrintPolicy &policy,
                             std::function<void(const PrintOutcome &)> then)
{
    auto *run = new PrintRun(owner, this);
    mPrintRun = run;
    setBusy(true);
    const QPointer<QWidget> asker(owner);
    connect(run, &PrintRun::cancelled, this, [this, run, asker](bool givenUp) {
        printRunCancelled(run, asker ? asker.data() : this, givenUp);
    });
    connect(run, &PrintRun::ended, this, [this, run, then](const PrintOutcome &outcome) {
        run->deleteLater();
        // A print given up before it went out ended for the window already; another may
        // have been started since, with a printer of its own.
        std::unique_ptr<QPrinter> printer = run->takePrinter();
        if (printer && !mPrinter)
            mPrinter = std::move(printer);
        if (run->givenUp()) {
            if (!outcome.recordError.isEmpty())
                mEnv.dialogs->error(this, outcome.recordError);
            return;
        }
        // The line speaks of how the print ended from here on.
        if (statusLine()->currentMessage() == kStillSending)
            statusLine()->clearMessage();
        then(outcome);
        mPrintRun = nullptr;
        setBusy(false);
    });
    run->start(std::move(work), policy, printAsks(owner));
}

void TfrmMain::printRunCancelled(PrintRun *run, QWidget *owner, bool givenUp)
{
    if (!givenUp) {
        // The labels may be on their way: the window waits for the result, which saves the
        // advance before another job can start on the same sheet.
        statusLine()->showMessage(kStillSending);
        return;
    }
    if (mPrintRun == run) {
        mPrintRun = nullptr;
        setBusy(false);
    }
    mEnv.dialogs->message(owner, QStringLiteral("印刷をやめました。ラベルは印刷されていません。"
                                                "\n開始位置と番号は変わっていません。"));
}

bool TfrmMain::printRunEnded(const PrintOutcome &printed, QWidget *owner, int f)
{
    if (printed.printed()) {
        // SaveSettings tells the user itself when start.txt cannot be written.
        mJob.startPos[f] = printed.advance.nextStartPos;
        SaveSettings();
    }
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
            mEnv.dialogs->error(owner, printed.reason +
                                           QStringLiteral("\n開始位置と番号は変わっていません。"));
        return false;
    }
    if (!printed.notice.isEmpty())
        mEnv.dialogs->message(owner, printed.notice);
    return true;
}

void TfrmMain::cmdExcelClick()
{
    if (!isExportableType(mJob.sheetType))
        return;
    const QString path =
        workbookPathFor(mEnv.dialogs->saveFileName(this, QStringLiteral("Excel files (*.xls)")));
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
        mPrintScreen->proofTextChanged();
    }
    const ExportJob job = exportJobOf(labelJobOf(mJob), mEnv.today());
    const ExportResult result = writeWorkbook(*mEnv.workbook, path, job, &bookHandle);
    if (!result.written()) {
        mEnv.dialogs->error(this, exportErrorText(path, result));
        return;
    }
    statusLine()->showMessage(exportWrittenText(path, job));
}

} // namespace corvial
