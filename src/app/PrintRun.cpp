// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintRun.h"

#include "JobProgress.h"
#include "print/JobFollow.h"
#include "print/PageCanvas.h"
#include "print/PrinterCanvas.h"

#include <QPrinter>
#include <QtConcurrent/QtConcurrentRun>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace corvial {

namespace {

const QString kOpening = QStringLiteral("印刷履歴を開いています…");
const QString kRecording = QStringLiteral("印刷履歴に記録しています…");
const QString kPreparing = QStringLiteral("印刷の準備をしています…");
const QString kSending = QStringLiteral("ラベルをプリンターへ送っています…");
const QString kGiveUp = QStringLiteral("印刷をやめる");
const QString kDontWait = QStringLiteral("待たずに続ける");

// Stands in for the printer's canvas once the person gave the print up while its record was
// being written: the document never begins, and the record says why.
class GivenUpCanvas : public PageCanvas
{
public:
    int resolutionX() const override { return 300; }
    int resolutionY() const override { return 300; }
    bool beginDocument() override { return false; }
    bool newPage() override { return false; }
    bool endDocument() override { return false; }
    void setPen(int, ColourValue) override {}
    void setSolidBrush(ColourValue) override {}
    void clearBrush() override {}
    void ellipse(int, int, int, int) override {}
    void rectangle(int, int, int, int) override {}
    void fillRectangles(const QVector<QRect> &, ColourValue) override {}
    void line(int, int, int, int) override {}
    void setFont(const QFont &) override {}
    void setFontSize(int) override {}
    void setFontColour(ColourValue) override {}
    void textOut(int, int, const QString &) override {}
    int textWidth(const QString &) const override { return 0; }
    QString errorString() const override
    {
        return QStringLiteral("印刷は取り消されました。ラベルは送られていません。");
    }
};

} // namespace

// What the interface thread and the worker share. The worker never touches the run itself
// but through post and ask, which go to the interface thread; run turns null when the run is
// deleted, and from then on no question is put and no job followed.
struct PrintRun::Shared
{
    std::mutex mutex;
    std::condition_variable wake;
    PrintRun *run = nullptr;
    bool sending = false;     // the document may have begun: giving up is too late
    bool givenUp = false;     // the person gave the print up before that
    bool stopWaiting = false; // the person no longer waits for the queue's job
    std::unique_ptr<QPrinter> printer;
};

// Follows the queue's job for the default time, showing each look in the dialog, until the
// person stops waiting or the run is gone.
class PrintRun::Watcher : public TimeBoundWatcher
{
public:
    explicit Watcher(std::shared_ptr<Shared> shared)
        : TimeBoundWatcher(DefaultJobWaitSeconds), mShared(std::move(shared))
    {
    }

    bool keepWaiting(const QString &printer, int jobId, const JobStatus &status) override
    {
        if (!TimeBoundWatcher::keepWaiting(printer, jobId, status) || !wanted())
            return false;
        const bool showNow = elapsed() >= JobProgress::ShowAfterMs;
        post(*mShared, [printer, jobId, status, showNow](PrintRun *run) {
            if (run->mOver)
                return;
            run->mProgress->waitAt(JobProgress::jobText(printer, jobId, status), kDontWait, false);
            if (showNow)
                run->mProgress->showNow();
        });
        return true;
    }

    void pause(int ms) override
    {
        std::unique_lock<std::mutex> lock(mShared->mutex);
        mShared->wake.wait_for(lock, std::chrono::milliseconds(ms),
                               [this] { return mShared->stopWaiting || !mShared->run; });
    }

    void finished(const JobStatus &) override
    {
        post(*mShared, [](PrintRun *run) {
            if (!run->mOver)
                run->mProgress->waitAt(run->mRecording ? kRecording : kSending, kDontWait, false);
        });
    }

private:
    bool wanted()
    {
        std::lock_guard<std::mutex> lock(mShared->mutex);
        return !mShared->stopWaiting && mShared->run;
    }

    std::shared_ptr<Shared> mShared;
};

void PrintRun::post(Shared &shared, std::function<void(PrintRun *)> step)
{
    std::lock_guard<std::mutex> lock(shared.mutex);
    // Queued to the run itself: a run deleted meanwhile drops the step with its events.
    if (PrintRun *run = shared.run)
        QMetaObject::invokeMethod(
            run, [run, step] { step(run); }, Qt::QueuedConnection);
}

template <class R>
R PrintRun::ask(const std::shared_ptr<Shared> &shared, std::function<R(PrintRun *)> question)
{
    // The answer is kept apart from this frame: a run deleted before it answers leaves the
    // worker waiting for nothing, and the answer, if any, lands in a box nobody reads.
    auto answer = std::make_shared<std::optional<R>>();
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->run || shared->givenUp)
        return R();
    PrintRun *run = shared->run;
    QMetaObject::invokeMethod(
        run,
        [shared, answer, question, run] {
            R value = run->givenUp() ? R() : question(run);
            std::lock_guard<std::mutex> done(shared->mutex);
            *answer = std::move(value);
            shared->wake.notify_all();
        },
        Qt::QueuedConnection);
    shared->wake.wait(lock, [&] { return answer->has_value() || !shared->run; });
    return answer->has_value() ? std::move(**answer) : R();
}

template <class R> R PrintRun::answered(const std::function<R()> &question)
{
    // One dialog at a time: the progress dialog makes way for the question and comes back
    // after it if the print still takes long.
    mProgress->hide();
    R value = question();
    if (!mOver)
        mProgress->waitAt(mRecording ? kRecording : kPreparing, kGiveUp, true);
    return value;
}

PrintRun::PrintRun(QWidget *owner, QObject *parent)
    : QObject(parent), mShared(std::make_shared<Shared>()), mProgress(new JobProgress(owner))
{
    mProgress->setParent(this);
    mShared->run = this;
    connect(mProgress, &JobProgress::cancelled, this, &PrintRun::cancel);
    connect(&mResult, &QFutureWatcherBase::finished, this, &PrintRun::workEnded);
}

PrintRun::~PrintRun()
{
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mShared->run = nullptr;
    mShared->wake.notify_all();
}

void PrintRun::start(Work work, PrintPolicy policy, Asks asks)
{
    mAsks = std::move(asks);
    mRecording = policy.record;
    const std::shared_ptr<Shared> shared = mShared;
    policy.printWithoutRecord = [shared](const QString &why) {
        return ask<bool>(shared, [why](PrintRun *run) {
            return run->answered<bool>([run, why] { return run->mAsks.printWithoutRecord(why); });
        });
    };
    policy.choosePrinter = [shared](QString *) -> QPrinter * {
        const bool chosen = ask<bool>(shared, [shared](PrintRun *run) {
            std::unique_ptr<QPrinter> printer = run->answered<std::unique_ptr<QPrinter>>(
                [run] { return run->mAsks.choosePrinter(); });
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->printer = std::move(printer);
            return shared->printer != nullptr;
        });
        std::lock_guard<std::mutex> lock(shared->mutex);
        return chosen ? shared->printer.get() : nullptr;
    };
    // The last moment the print can be given up: after it the document may be on its way.
    policy.canvasFor =
        [shared, canvasFor = policy.canvasFor](QPrinter *printer) -> std::unique_ptr<PageCanvas> {
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->givenUp || !shared->run)
                return std::make_unique<GivenUpCanvas>();
            shared->sending = true;
        }
        post(*shared, [](PrintRun *run) {
            if (!run->mOver)
                run->mProgress->waitAt(kSending, kDontWait, false);
        });
        return canvasFor ? canvasFor(printer) : std::make_unique<PrinterCanvas>(printer);
    };
    mResult.setFuture(QtConcurrent::run([work = std::move(work), policy, shared]() mutable {
        Watcher watcher(shared);
        policy.watcher = &watcher;
        return work(policy);
    }));
    mProgress->waitAt(mRecording ? kOpening : kPreparing, kGiveUp, true);
}

bool PrintRun::cancel()
{
    if (mOver)
        return givenUp();
    mOver = true;
    mProgress->hide();
    bool unsent = false;
    {
        std::lock_guard<std::mutex> lock(mShared->mutex);
        if (!mShared->sending)
            mShared->givenUp = true;
        mShared->stopWaiting = true;
        unsent = mShared->givenUp;
        mShared->wake.notify_all();
    }
    emit cancelled(unsent);
    return unsent;
}

bool PrintRun::givenUp() const
{
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return mShared->givenUp;
}

std::unique_ptr<QPrinter> PrintRun::takePrinter()
{
    if (!mResult.isFinished())
        return nullptr;
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return std::move(mShared->printer);
}

void PrintRun::workEnded()
{
    mOver = true;
    mProgress->hide();
    emit ended(mResult.result());
}

} // namespace corvial
