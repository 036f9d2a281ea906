// SPDX-License-Identifier: GPL-3.0-or-later
// Seeing before printing: the page preview of the job and the calibration sheet.
#include "TfrmMain.h"

#include "Dialogs.h"
#include "TextBoxControls.h"
#include "print/CalibrationSheet.h"
#include "print/PageCanvas.h"
#include "print/PrintJob.h"

#include <QApplication>
#include <QFrame>
#include <QMetaObject>
#include <QPrinter>

namespace corvial {

namespace {

const QString kPreviewFailed = QStringLiteral("印刷プレビューを作成できませんでした。\n");
const QString kCalibrationFailed = QStringLiteral("位置合わせシートを印刷できませんでした。\n");

// Runs on the print's worker: the calibration sheet on the printer policy chooses, followed
// in the queue as a job is. Nothing is recorded and nothing moves on.
PrintOutcome printCalibrationAway(const PrintPolicy &policy, SheetType type, int offsetXIndex,
                                  int offsetYIndex, PrinterScale scale)
{
    PrintOutcome outcome;
    QString error;
    QPrinter *printer = policy.choosePrinter(&error);
    if (!printer) {
        outcome.end = error.isEmpty() ? PrintEnd::Declined : PrintEnd::Failed;
        outcome.reason = error;
        return outcome;
    }
    const std::unique_ptr<PageCanvas> canvas = policy.canvasFor(printer);
    canvas->setJobWatcher(policy.watcher);
    if (printCalibrationSheet(*canvas, type, offsetXIndex, offsetYIndex, &error, scale))
        outcome.end = PrintEnd::Printed;
    else
        outcome.reason = error;
    return outcome;
}

} // namespace

QPrinter *TfrmMain::keptPrinter()
{
    if (!mPrinter)
        mPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // A dialog may change the printer and then be cancelled: every dialog and preview starts
    // again from the choice last confirmed.
    if (mPrinterSetup)
        mPrinterSetup->applyTo(mPrinter.get());
    return mPrinter.get();
}

void TfrmMain::N5Click()
{
    if (pnlPrint->isHidden())
        return;
    // The pages Print would send: the same job, renderer and printer settings. Nothing of the
    // window's state is touched, so previewing moves no start position or number.
    LabelJob job = labelJobOf(mJob);
    if (!savedPrinterScale(&job.scale, nullptr, kPreviewFailed))
        return;
    const auto paint = [this, job](QPrinter *printer) {
        const std::unique_ptr<PageCanvas> canvas = mEnv.canvasFactory(printer);
        QString error;
        if (printJob(*canvas, job, &error))
            return;
        // The preview is being built while this runs and must not be re-entered: the message
        // follows as soon as control is back in the preview's event loop.
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                QWidget *modal = QApplication::activeModalWidget();
                mEnv.dialogs->error(modal ? modal : this, kPreviewFailed + error);
            },
            Qt::QueuedConnection);
    };
    const bool printWanted = mEnv.dialogs->previewPages(this, keptPrinter(), paint);
    // The page set-up confirmed inside the preview is the choice Print starts from.
    mPrinterSetup = PrinterSetup::of(*mPrinter);
    if (printWanted)
        cmdPrintClick();
}

void TfrmMain::N6Click()
{
    if (pnlPrint->isHidden() || isBusy())
        return;
    PrinterScale scale;
    if (!savedPrinterScale(&scale, nullptr, kCalibrationFailed))
        return;
    const int f = family();
    const SheetType type = mJob.sheetType;
    const int ox = mJob.offsetX[f];
    const int oy = mJob.offsetY[f];
    PrintPolicy policy;
    policy.record = false;
    policy.canvasFor = mEnv.canvasFactory;
    startPrintRun(
        this,
        [type, ox, oy, scale](const PrintPolicy &p) {
            return printCalibrationAway(p, type, ox, oy, scale);
        },
        policy,
        [this](const PrintOutcome &printed) {
            if (!printed.reason.isEmpty())
                mEnv.dialogs->error(this, kCalibrationFailed + printed.reason);
        });
}

} // namespace corvial
