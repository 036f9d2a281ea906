// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sequence/PrintSequence.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace corvial {

class JobProgress;

// One print of the window, run on a worker thread so that the interface never waits for a
// history, a printer or CUPS. What only the interface may do (the questions, the print
// dialog) is put to the person on the interface thread while the worker waits for the
// answer; a progress dialog shows where the print stands and lets the person give it up.
// The result comes back as a signal.
class PrintRun : public QObject
{
    Q_OBJECT

public:
    // Called on the interface thread while the worker waits.
    struct Asks
    {
        // Asked when the history cannot be used (why: the message); true prints without a
        // record.
        std::function<bool(const QString &why)> printWithoutRecord;
        // The print dialog: the printer confirmed, lent to the run until it ends (see
        // takePrinter); null when the person declined.
        std::function<std::unique_ptr<QPrinter>()> choosePrinter;
    };
    // Runs on the worker: one print through the policy it is handed, whose questions, printer
    // choice, canvas and job watcher are the run's.
    using Work = std::function<PrintOutcome(const PrintPolicy &policy)>;

    // owner: the window the progress dialog belongs to; parent: the run's owner, whose end
    // ends the run's questions (they are answered as declined from then on).
    PrintRun(QWidget *owner, QObject *parent);
    ~PrintRun() override;
    PrintRun(const PrintRun &) = delete;
    PrintRun &operator=(const PrintRun &) = delete;

    // Starts work once, on a worker, with policy as the front end sets it up (program,
    // record, outputProblem, canvasFor; its questions and watcher are replaced) and asks.
    void start(Work work, PrintPolicy policy, Asks asks);
    // As the progress dialog's button. Before the document began the print is given up:
    // nothing goes out, the run's result will say so, and true is returned. After it, the
    // queue's job is no longer followed (it counts as waiting) and false is returned.
    bool cancel();
    // True once cancel gave the print up before the document began.
    bool givenUp() const;
    // The printer choosePrinter lent, once the run has ended; null before, or when none.
    std::unique_ptr<QPrinter> takePrinter();

signals:
    // The worker has ended, with how the print went; also for a print cancel gave up.
    void ended(const corvial::PrintOutcome &outcome);
    // The progress dialog's button was pressed; givenUp: as cancel returned.
    void cancelled(bool givenUp);

private:
    struct Shared;
    class Watcher;

    template <class R>
    static R ask(const std::shared_ptr<Shared> &shared, std::function<R(PrintRun *)> question);
    static void post(Shared &shared, std::function<void(PrintRun *)> step);
    template <class R> R answered(const std::function<R()> &question);
    void workEnded();

    std::shared_ptr<Shared> mShared;
    Asks mAsks;
    JobProgress *mProgress;
    QFutureWatcher<PrintOutcome> mResult;
    bool mRecording = true;
    bool mOver = false; // ended, or the person pressed the button: the dialog stays away
};

} // namespace corvial
