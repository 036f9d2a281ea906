// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/JobRules.h"
#include "job/LabelJob.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;

namespace corvial {

class JobWatcher;
class PageCanvas;
class PrintRecorder;

// How one run of the print sequence ended.
enum class PrintEnd {
    Printed,   // the pages went out: a whole PDF written, or CUPS printed the job
    Waiting,   // CUPS holds the job and prints it later; counts as printed
    Failed,    // nothing went out, or not whole; reason says why
    Aborted,   // CUPS gave up on the job
    Cancelled, // the job was cancelled in CUPS before it printed
    Declined,  // the user chose not to print (a dialog answered so); nothing to say
};

// The step at which a sequence that did not print stopped.
enum class PrintStep {
    None,    // it printed
    Scale,   // the printer's scale in corvial.ini could not be used
    Font,    // a character no installed face draws
    History, // the history could not be opened or the record written, and that was refused
    Printer, // no printer chosen, or it could not be set up
    Output,  // the output file is one of the program's own
    Print,   // the document did not go out whole, or CUPS did not print it
};

// What happened, for the front end to tell and the history to keep.
struct PrintOutcome
{
    PrintEnd end = PrintEnd::Failed;
    PrintStep stoppedAt = PrintStep::None;
    QString reason;      // for an end that did not print: why, in Japanese, naming the target
    QString notice;      // for a printed job: what the user should know (a paused queue...)
    QString queue;       // the CUPS queue it went to, empty for a PDF
    QString pdfPath;     // the PDF it went to (absolute), empty for a queue
    int cupsJobId = 0;   // the queue's job id, from the submission itself; 0: none
    qint64 recordId = 0; // the history record, 0 when the job was not recorded
    // For a job that printed: why its record could not be completed, naming the record; the
    // labels went out all the same.
    QString recordError;
    JobAdvance advance; // where the next job starts: valid for a job that printed
    QString saveError;  // for a job that printed: why start.txt could not be saved
    QStringList notes;  // further things to tell (what the look at waiting jobs found)

    bool printed() const { return end == PrintEnd::Printed || end == PrintEnd::Waiting; }
};

// What the sequence prints and where its settings are.
struct PrintRequest
{
    LabelJob job;            // with its start position and offsets; the scale is set here
    QString settingsPath;    // start.txt, whose corvial.ini gives the scale; empty: 100 %
    QString historyDb;       // a --history-db value; empty: the history of historySettings
    QString historySettings; // the start.txt whose history records the job
    int scaleXPermille = 0;  // given for this job: used instead of corvial.ini's; 0: not given
    int scaleYPermille = 0;
    QString listFile; // the sample list the texts came from, for the record
    QString listSha256;
    QString jobFile; // the job file the job came from (absolute, or "-"), for the record
    QString jobSha256;
    qint64 reprintOf = 0;       // the record this job prints again, 0: a new job
    int reprintNextNumber = -1; // for a reprint: the first number that follows it, unchanged
};

// What differs between the programs that print: a person who is asked, or a command that
// refuses; a dialog that shows the job's progress, or a time bound.
struct PrintPolicy
{
    QString program;    // "corvial-manager", "corvial-batch": the records carry it
    bool record = true; // false: nothing is recorded (--no-history)
    // Asked when the history cannot be opened or the record written (why: the message);
    // true prints without a record. Null refuses.
    std::function<bool(const QString &why)> printWithoutRecord;
    // Run once the history is open: the messages to pass on (the look at waiting jobs).
    std::function<QStringList(PrintRecorder &)> historyOpened;
    // The page target, chosen once the history is open: null when the user declined (then
    // *error is empty) or it cannot be used (*error says why). The printer stays the caller's.
    std::function<QPrinter *(QString *error)> choosePrinter;
    // The job's own check of an output file: a message when path may not be written.
    std::function<QString(const QString &path)> outputProblem;
    // The canvas drawing on the printer; null: the printer's own.
    std::function<std::unique_ptr<PageCanvas>(QPrinter *)> canvasFor;
    // Follows a queue's job; null: for DefaultJobWaitSeconds.
    JobWatcher *watcher = nullptr;
    // Saves where the next job starts, after a job that printed. Null: nothing is saved.
    std::function<bool(const JobAdvance &next, QString *error)> saveAdvance;
};

// Prints request.job as every front end does: the printer's scale, the font check, the
// history opened (history may already be open, as for a reprint) and the record written
// before anything goes out, the page target, the document drawn and sent, the CUPS job id
// written to the record as soon as the queue took the job, the job followed to its end, the
// record completed with how it ended, and for a job that printed the advance saved.
PrintOutcome runPrintSequence(const PrintRequest &request, const PrintPolicy &policy,
                              PrintRecorder &history);

// Gives a PDF page the origin the sheet geometry is measured from in both programs: the
// paper's corner, without margins, as printer pages are measured from their drawable area.
void measurePdfFromPaperCorner(QPrinter &printer);

} // namespace corvial
