// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/PrintSequence.h"

#include "history/HistoryRecord.h"
#include "history/PrintRecorder.h"
#include "job/Fonts.h"
#include "print/CupsQueue.h"
#include "print/JobFollow.h"
#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"
#include "settings/PrinterScaleFile.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>

namespace corvial {

namespace {

// Passes the following of a queue job on to the front end's watcher, and writes the job's id
// to the record the moment the queue took it: a completion lost later (a database gone, the
// program killed) then still leaves a record that the next look at waiting jobs can follow.
class RecordingWatcher : public JobWatcher
{
public:
    RecordingWatcher(JobWatcher *inner, PrintRecorder &history, bool recording)
        : mInner(inner ? inner : &mUsual), mHistory(history), mRecording(recording)
    {
    }

    void sent(const QString &printer, int jobId) override
    {
        if (mRecording && !mHistory.sent(jobId, &mError))
            mFailed = true;
        mInner->sent(printer, jobId);
    }
    bool keepWaiting(const QString &printer, int jobId, const JobStatus &status) override
    {
        return mInner->keepWaiting(printer, jobId, status);
    }
    void pause(int ms) override { mInner->pause(ms); }
    void finished(const JobStatus &status) override { mInner->finished(status); }

    // Why the job's id could not be written, empty when it was (or nothing was sent).
    QString error() const { return mFailed ? mError : QString(); }

private:
    TimeBoundWatcher mUsual{DefaultJobWaitSeconds};
    JobWatcher *mInner;
    PrintRecorder &mHistory;
    bool mRecording;
    bool mFailed = false;
    QString mError;
};

PrintOutcome stopped(PrintStep step, const QString &reason, PrintEnd end = PrintEnd::Failed)
{
    PrintOutcome o;
    o.end = end;
    o.stoppedAt = step;
    o.reason = reason;
    return o;
}

// The printer's scale: what the request gives, the rest from corvial.ini. A bad saved value
// stops the job rather than print it at a scale nobody chose; when both factors are given
// the file is not needed.
bool takeScale(const PrintRequest &request, PrinterScale *scale, QString *error)
{
    *scale = PrinterScale();
    const bool bothGiven = request.scaleXPermille > 0 && request.scaleYPermille > 0;
    if (!request.settingsPath.isEmpty() && !bothGiven &&
        !readPrinterScale(request.settingsPath, scale, error))
        return false;
    if (request.scaleXPermille > 0)
        scale->permilleX = request.scaleXPermille;
    if (request.scaleYPermille > 0)
        scale->permilleY = request.scaleYPermille;
    return true;
}

bool openHistory(const PrintRequest &request, const PrintPolicy &policy, PrintRecorder &history,
                 PrintOutcome *outcome, QString *error)
{
    const bool opened = request.historyDb.isEmpty()
                            ? history.openForSettings(request.historySettings, error)
                            : history.openValue(request.historyDb, error);
    if (opened && policy.historyOpened)
        outcome->notes << policy.historyOpened(history);
    return opened;
}

JobOutcome historyOutcome(PrintEnd end)
{
    switch (end) {
    case PrintEnd::Printed:
        return JobOutcome::Printed;
    case PrintEnd::Waiting:
        return JobOutcome::Waiting;
    case PrintEnd::Aborted:
        return JobOutcome::Aborted;
    case PrintEnd::Cancelled:
        return JobOutcome::Cancelled;
    case PrintEnd::Failed:
    case PrintEnd::Declined:
        break;
    }
    return JobOutcome::Failed;
}

PrintEnd endOf(bool drawn, JobEnd queue)
{
    if (drawn)
        return queue == JobEnd::StillWaiting ? PrintEnd::Waiting : PrintEnd::Printed;
    if (queue == JobEnd::Aborted)
        return PrintEnd::Aborted;
    if (queue == JobEnd::Cancelled)
        return PrintEnd::Cancelled;
    return PrintEnd::Failed;
}

// The title the queue lists the job under: the program and, when there is one, its record,
// so that an administrator looking at the queue can tell whose job it is.
QString documentTitle(const QString &program, qint64 recordId)
{
    const QString name = program.isEmpty() ? QStringLiteral("corvial") : program;
    return recordId > 0 ? QStringLiteral("%1 record %2").arg(name).arg(recordId) : name;
}

// One job's way through the steps, each a function; what they found is kept in outcome.
struct Sequence
{
    const PrintRequest &request;
    const PrintPolicy &policy;
    PrintRecorder &history;
    const LabelJob &job;
    PrintOutcome outcome;
    bool recording;
    QString error;
    // Kept until the job's last step, as the printer is handed back only when they go.
    std::unique_ptr<PageCanvas> canvas;
    std::unique_ptr<RecordingWatcher> watcher;

    // What the look at waiting jobs found is told however the job ends.
    PrintOutcome stop(PrintStep step, const QString &why, PrintEnd end) const
    {
        PrintOutcome o = stopped(step, why, end);
        o.notes = outcome.notes;
        return o;
    }

    // A history that cannot be used is asked about (the window) or refuses the job.
    bool withoutRecord(const QString &why, PrintOutcome *refusal)
    {
        if (policy.printWithoutRecord && policy.printWithoutRecord(why))
            return true;
        *refusal = stop(PrintStep::History, policy.printWithoutRecord ? QString() : why,
                        policy.printWithoutRecord ? PrintEnd::Declined : PrintEnd::Failed);
        return false;
    }

    bool openRecord(PrintOutcome *refusal)
    {
        if (recording && !history.isOpen() &&
            !openHistory(request, policy, history, &outcome, &error)) {
            if (!withoutRecord(error, refusal))
                return false;
            recording = false;
        }
        return true;
    }

    QPrinter *choosePrinter(PrintOutcome *refusal)
    {
        QPrinter *printer = policy.choosePrinter ? policy.choosePrinter(&error) : nullptr;
        if (!printer) {
            *refusal = stop(PrintStep::Printer, error,
                            error.isEmpty() ? PrintEnd::Declined : PrintEnd::Failed);
            return nullptr;
        }
        const bool toPdf = printer->outputFormat() == QPrinter::PdfFormat;
        if (toPdf) {
            outcome.pdfPath = QFileInfo(printer->outputFileName()).absoluteFilePath();
            const QString own =
                policy.outputProblem ? policy.outputProblem(outcome.pdfPath) : QString();
            if (!own.isEmpty()) {
                *refusal = stop(PrintStep::Output, own, PrintEnd::Failed);
                return nullptr;
            }
            measurePdfFromPaperCorner(*printer);
        } else {
            outcome.queue = printer->printerName();
        }
        return printer;
    }

    // The record is written before anything goes out, so a job whose program dies while
    // sending it still shows in the history.
    bool beginRecord(PrintOutcome *refusal)
    {
        if (!recording)
            return true;
        if (request.reprintOf > 0)
            history.setReprintOf(request.reprintOf, request.reprintNextNumber);
        if (!outcome.queue.isEmpty())
            history.setCupsServer(cupsServerName());
        if (!request.listFile.isEmpty() && !job.sampleTexts.isEmpty())
            history.setList(request.listFile, request.listSha256);
        if (!request.jobFile.isEmpty())
            history.setJobFile(request.jobFile, request.jobSha256);
        if (!history.begin(job, outcome.queue, outcome.pdfPath, &error)) {
            if (!withoutRecord(error, refusal))
                return false;
            recording = false;
        }
        outcome.recordId = recording ? history.recordId() : 0;
        return true;
    }

    void print(QPrinter *printer)
    {
        canvas =
            policy.canvasFor ? policy.canvasFor(printer) : std::make_unique<PrinterCanvas>(printer);
        watcher = std::make_unique<RecordingWatcher>(policy.watcher, history, recording);
        canvas->setJobWatcher(watcher.get());
        canvas->setDocumentTitle(documentTitle(policy.program, outcome.recordId));
        const bool drawn = printJob(*canvas, job, &error);
        const QueueJob sent = canvas->queueJob();
        outcome.cupsJobId = sent.id;
        outcome.end = endOf(drawn, sent.end);
        if (!drawn) {
            outcome.stoppedAt = PrintStep::Print;
            outcome.reason = error;
        } else {
            outcome.notice = canvas->notice();
        }
        if (recording)
            finishRecord(drawn, sent.id, watcher->error());
    }

    // A job id the queue took was written to the record at once; without it the record
    // could not be followed later.
    void finishRecord(bool drawn, int sentId, const QString &idError)
    {
        QString historyError;
        if (history.finish(historyOutcome(outcome.end), drawn ? QString() : error, sentId,
                           &historyError))
            return;
        const QString kept =
            sentId > 0 && idError.isEmpty()
                ? QStringLiteral("（CUPS のジョブ %1 は記録にあります）").arg(sentId)
                : QString();
        outcome.recordError =
            QStringLiteral("印刷履歴の記録 %1 を完了できませんでした%2: %3")
                .arg(outcome.recordId)
                .arg(kept, historyError) +
            (outcome.printed() ? QStringLiteral("\nラベルは印刷されています。") : QString());
    }

    void advance()
    {
        outcome.advance = advanceAfterPrint(job);
        if (request.reprintOf > 0 && request.reprintNextNumber >= 0)
            outcome.advance.nextInitialValue = request.reprintNextNumber;
        if (policy.saveAdvance && !policy.saveAdvance(outcome.advance, &outcome.saveError) &&
            outcome.saveError.isEmpty())
            outcome.saveError = QStringLiteral("スタートファイルを保存できませんでした。");
    }
};

} // namespace

void measurePdfFromPaperCorner(QPrinter &printer)
{
    // A PDF has no unprintable border: Qt's default margins would only move every label by
    // them, so the window's Print to File and the batch printer's --pdf would disagree.
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

PrintOutcome runPrintSequence(const PrintRequest &request, const PrintPolicy &policy,
                              PrintRecorder &history)
{
    LabelJob job = request.job;
    QString error;
    if (!takeScale(request, &job.scale, &error))
        return stopped(PrintStep::Scale, error);
    // Asked before the printer is chosen: a job that would print empty boxes goes nowhere.
    const QString fontProblem = jobFontProblem(job);
    if (!fontProblem.isEmpty())
        return stopped(PrintStep::Font, fontProblem);

    Sequence run{request, policy, history, job, {}, policy.record, {}, {}, {}};
    PrintOutcome refusal;
    if (!run.openRecord(&refusal))
        return refusal;
    QPrinter *printer = run.choosePrinter(&refusal);
    if (!printer)
        return refusal;
    if (!run.beginRecord(&refusal))
        return refusal;
    run.print(printer);
    if (!run.outcome.printed())
        return run.outcome;
    run.advance();
    return run.outcome;
}

} // namespace corvial
