// SPDX-License-Identifier: GPL-3.0-or-later
#include "JobProgress.h"

#include "job/TextCharacters.h"

#include <QEventLoop>
#include <QTimer>

namespace corvial {

namespace {

// Most jobs end within this; a dialog that flashes up and vanishes only startles.
constexpr qint64 kShowAfterMs = 500;

QString stateText(const JobStatus &status)
{
    if (status.phase == JobPhase::Unknown)
        return QStringLiteral("CUPS の応答を待っています（%1）").arg(visibleText(status.error));
    QString text = status.held         ? QStringLiteral("保留中")
                   : status.processing ? QStringLiteral("印刷中")
                                       : QStringLiteral("順番待ち");
    if (!status.message.isEmpty())
        text += QStringLiteral("（%1）").arg(visibleText(status.message));
    return text;
}

} // namespace

JobProgress::JobProgress(QWidget *parent, int seconds) : TimeBoundWatcher(seconds), mParent(parent)
{
}

JobProgress::~JobProgress()
{
    delete mDialog;
}

QString JobProgress::dialogName()
{
    return QStringLiteral("JobProgress");
}

bool JobProgress::keepWaiting(const QString &printer, int jobId, const JobStatus &status)
{
    const bool inTime = TimeBoundWatcher::keepWaiting(printer, jobId, status);
    if (mStopped || !inTime)
        return false;
    if (!mDialog && elapsed() >= kShowAfterMs) {
        mDialog = new QProgressDialog(mParent);
        mDialog->setObjectName(dialogName());
        mDialog->setWindowTitle(QStringLiteral("印刷"));
        mDialog->setCancelButtonText(QStringLiteral("待たずに続ける"));
        // No bar to fill: how long CUPS takes is not known.
        mDialog->setRange(0, 0);
        mDialog->setWindowModality(Qt::WindowModal);
        mDialog->setAutoReset(false);
        mDialog->setAutoClose(false);
        QObject::connect(mDialog.data(), &QProgressDialog::canceled, mDialog.data(),
                         [this] { mStopped = true; });
        mDialog->show();
    }
    if (mDialog)
        mDialog->setLabelText(QStringLiteral("プリンター「%1」のジョブ %2 の印刷を待っています。\n"
                                             "状態: %3")
                                  .arg(visibleText(printer))
                                  .arg(jobId)
                                  .arg(stateText(status)));
    return true;
}

void JobProgress::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QMetaObject::Connection stop;
    if (mDialog)
        stop =
            QObject::connect(mDialog.data(), &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    // Until the dialog shows, a click on the window must wait: it would start another job
    // while this one is being followed.
    loop.exec(mDialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    QObject::disconnect(stop);
}

void JobProgress::finished(const JobStatus &)
{
    if (mDialog)
        mDialog->hide();
}

} // namespace corvial
