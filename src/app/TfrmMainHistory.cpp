// SPDX-License-Identifier: GPL-3.0-or-later
// The print history: the history of this window's start.txt shown over the window, reprints
// from it, and the look at the jobs left waiting when the program starts.
#include "Controls.h"
#include "Dialogs.h"
#include "HistoryWindow.h"
#include "ReprintStartDialog.h"
#include "SheetPicture.h"
#include "TfrmMain.h"

#include "history/HistoryLocation.h"
#include "history/HistoryNumbers.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "history/WaitingJobs.h"
#include "job/JobRules.h"
#include "print/CupsQueue.h"
#include "sequence/CupsJobLookup.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QPointer>
#include <QStatusBar>
#include <QtConcurrent>

namespace corvial {

namespace {

// Runs on a worker thread: a PostgreSQL server or a print server that does not answer must
// not hold up the window. Starting the program never makes a history; without one nothing
// can be waiting.
WaitingRecheck recheckHistoryOf(const QString &settingsPath,
                                const std::function<JobPhaseLookup> &lookup)
{
    WaitingRecheck result;
    HistoryLocation where;
    QString error;
    if (!historyLocationForSettings(settingsPath, &where, &error)) {
        result.errors << error;
        return result;
    }
    if (where.kind == HistoryLocation::Kind::SqliteFile && !QFileInfo::exists(where.filePath))
        return result;
    HistoryStore store;
    if (!store.open(where, &error)) {
        result.errors << error;
        return result;
    }
    return recheckWaitingJobs(store, recordHostName(), cupsServerName(), lookup);
}

// What a look for the last job of a type found: the job (nothing without a history or such a
// job) or why the history could not be read.
struct LastJobLook
{
    std::optional<LastJob> job;
    QString error;
};

// Runs on a worker thread, like the look at the waiting jobs, and as that one it makes no
// history where there is none.
LastJobLook lookForLastJob(const QString &settingsPath, SheetType type)
{
    LastJobLook look;
    HistoryLocation where;
    if (!historyLocationForSettings(settingsPath, &where, &look.error))
        return look;
    if (where.kind == HistoryLocation::Kind::SqliteFile && !QFileInfo::exists(where.filePath))
        return look;
    HistoryStore store;
    if (!store.open(where, &look.error))
        return look;
    LastJob job;
    if (lastJobOfType(store, type, &job, &look.error) && job.found)
        look.job = job;
    return look;
}

// "番号 0002〜0004（3 検体、1 枚ずつ）", or the count alone for a type without numbers.
QString reprintedSamplesText(const HistoryEntry &entry, int firstIndex, int lastIndex, int repeat)
{
    const HistoryRecord &r = entry.record;
    const int samples = lastIndex - firstIndex + 1;
    QString what = QStringLiteral("%1 検体、%2 枚ずつ").arg(samples).arg(repeat);
    if (!recordIsNumbered(r))
        return what;
    const QString first = recordNumberText(r, recordSampleNumber(r, firstIndex));
    const QString last = recordNumberText(r, recordSampleNumber(r, lastIndex));
    return QStringLiteral("番号 %1（%2）")
        .arg(samples == 1 ? first : first + QStringLiteral("〜") + last, what);
}

} // namespace

void TfrmMain::mnuHistoryClick()
{
    HistoryLocation where;
    QString error;
    if (!historyLocationForSettings(settingsFilePath(appDir), &where, &error)) {
        mEnv.dialogs->error(this, error);
        return;
    }
    // The window opens at once and reads the history away from this thread. The history
    // stays open while a reprint is chosen and printed; it then shows the new record.
    HistoryWindow *window = showPrintHistory(
        this, where, *mEnv.dialogs,
        [this](QWidget *owner, const HistoryEntry &entry, int firstIndex, int lastIndex) {
            reprintFromHistory(owner, entry, firstIndex, lastIndex);
        },
        mEnv.jobLookup);
    // The start's look at the waiting jobs may still be going on. Only the look that writes a
    // job's end tells of it, so none is told twice; once the start's look has been told, the
    // history is listed again to show what it found.
    if (mWaitingRecheck && !mWaitingRecheck->isFinished())
        connect(this, &TfrmMain::waitingJobsRechecked, window, &HistoryWindow::search,
                Qt::SingleShotConnection);
}

void TfrmMain::reprintFromHistory(QWidget *owner, const HistoryEntry &entry, int firstIndex,
                                  int lastIndex)
{
    if (isBusy()) {
        mEnv.dialogs->message(owner,
                              QStringLiteral("印刷中です。終わってから再印刷してください。"));
        return;
    }
    const HistoryRecord &r = entry.record;
    LabelJob job;
    QString error;
    if (!reprintJob(entry, recordSampleNumber(r, firstIndex), recordSampleNumber(r, lastIndex),
                    &job, &error)) {
        mEnv.dialogs->error(owner, error);
        return;
    }
    const int f = job.sheetType.info().family;
    job.offsetX = mJob.offsetX[f];
    job.offsetY = mJob.offsetY[f];

    // Where it starts is chosen as for any print, from where the family goes on.
    const auto [panel, surface] = previewOf(f);
    auto *picture = new SheetPicture(f, panel->size(), surface->geometry());
    picture->setJob(job.sampleCount * job.repeatCount, mJob.startPos[f]);
    const QString what = reprintedSamplesText(entry, firstIndex, lastIndex, job.repeatCount);
    auto *start = new ReprintStartDialog(
        QStringLiteral("履歴 %1 の再印刷: %2").arg(entry.id).arg(what), picture, owner);
    start->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<QWidget> asker(owner);
    connect(start, &QDialog::accepted, this, [this, start, job, entry, what, asker]() mutable {
        job.startPos = start->picture()->startPos();
        if (isBusy())
            return;
        printOnPrinter(job, asker ? asker.data() : this, &entry,
                       [this, job, entry, what, asker](bool printed) {
                           reprintEnded(job, entry, what, asker, printed);
                       });
    });
    start->open();
}

void TfrmMain::reprintEnded(const LabelJob &job, const HistoryEntry &entry, const QString &what,
                            QWidget *owner, bool printed)
{
    // The reprint is a job of its own in the history, printed or not; the history shows it.
    if (auto *history = qobject_cast<HistoryWindow *>(owner))
        history->search();
    if (!printed)
        return;
    // The labels use up the sheet like any print; the numbering stays where it was.
    JobAdvance next = advanceAfterPrint(job);
    next.nextInitialValue = mJob.initialValue;
    statusLine()->showMessage(QStringLiteral("履歴 %1 の再印刷: %2。%3")
                                  .arg(entry.id)
                                  .arg(what, printedSummaryText(next)));
    const int f = job.sheetType.info().family;
    if (!pnlPrint->isHidden() && family() == f)
        SetUpPreview(f);
}

void TfrmMain::refreshLastJob()
{
    const int look = ++mLastJobLook;
    mEntry->showLastJob(std::nullopt);
    if (!mJob.sheetType.info().numbered)
        return;
    auto *watcher = new QFutureWatcher<LastJobLook>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, look] {
        watcher->deleteLater();
        // A later type switch or print has asked again: its answer is the one that counts.
        if (look != mLastJobLook)
            return;
        const LastJobLook found = watcher->result();
        if (!found.error.isEmpty() && !mLastJobFailureTold) {
            mLastJobFailureTold = true;
            statusLine()->showMessage(QStringLiteral("前回の番号を印刷履歴から読めませんでした: ") +
                                      found.error);
        }
        mEntry->showLastJob(found.job);
        emit lastJobLooked();
    });
    watcher->setFuture(QtConcurrent::run(lookForLastJob, settingsFilePath(appDir), mJob.sheetType));
}

void TfrmMain::startWaitingJobsRecheck()
{
    if (mWaitingRecheck)
        return;
    mWaitingRecheck = new QFutureWatcher<WaitingRecheck>(this);
    connect(mWaitingRecheck, &QFutureWatcherBase::finished, this,
            &TfrmMain::waitingJobsRecheckEnded);
    mWaitingRecheck->setFuture(
        QtConcurrent::run(recheckHistoryOf, settingsFilePath(appDir), mEnv.jobLookup));
}

void TfrmMain::waitingJobsRecheckEnded()
{
    const WaitingRecheck found = mWaitingRecheck->result();
    // A failed look is no reason to stop anyone working: the line says it, and the history
    // window looks again when it is opened.
    // The corvial.ini warnings shown just before stay beside the failure they may explain.
    if (!found.errors.isEmpty()) {
        const QString before = statusLine()->currentMessage();
        const QString failure = found.errors.join(QLatin1Char(' '));
        statusLine()->showMessage(!before.isEmpty() && before == mCompanionWarnings
                                      ? before + QLatin1Char(' ') + failure
                                      : failure);
    }
    if (!found.ended.isEmpty())
        mEnv.dialogs->message(this, unprintedJobsNotice(found.ended));
    emit waitingJobsRechecked();
}

} // namespace corvial
