// SPDX-License-Identifier: GPL-3.0-or-later
#include "JobProgress.h"

#include "job/TextCharacters.h"

#include <QProgressDialog>
#include <QPushButton>

namespace corvial {

namespace {

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

JobProgress::JobProgress(QWidget *parent) : mParent(parent)
{
    mDelay.setSingleShot(true);
    mDelay.setInterval(ShowAfterMs);
    connect(&mDelay, &QTimer::timeout, this, &JobProgress::showNow);
}

JobProgress::~JobProgress()
{
    delete mDialog;
}

QString JobProgress::dialogName()
{
    return QStringLiteral("JobProgress");
}

QString JobProgress::jobText(const QString &printer, int jobId, const JobStatus &status)
{
    return QStringLiteral("プリンター「%1」のジョブ %2 の印刷を待っています。\n状態: %3")
        .arg(visibleText(printer))
        .arg(jobId)
        .arg(stateText(status));
}

void JobProgress::waitAt(const QString &text, const QString &button, bool showLater)
{
    mText = text;
    mButton = button;
    if (mDialog) {
        mDialog->setLabelText(text);
        mDialog->setCancelButtonText(button);
    } else if (!showLater) {
        mDelay.stop();
    } else if (!mDelay.isActive()) {
        mDelay.start();
    }
}

void JobProgress::showNow()
{
    mDelay.stop();
    if (mDialog || !mParent)
        return;
    // Made anew each time: a QProgressDialog left hidden would show itself again after its
    // own minimum duration.
    mDialog = new QProgressDialog(mParent);
    mDialog->setObjectName(dialogName());
    mDialog->setWindowTitle(QStringLiteral("印刷"));
    // No bar to fill: how long a history or CUPS takes is not known.
    mDialog->setRange(0, 0);
    mDialog->setAutoReset(false);
    mDialog->setAutoClose(false);
    mDialog->setLabelText(mText);
    // Enter meant for the print dialog that may open over it must not give the print up:
    // the button takes a click only.
    auto *button = new QPushButton(mButton, mDialog);
    button->setAutoDefault(false);
    button->setDefault(false);
    mDialog->setCancelButton(button);
    // Escape rejects the dialog without its cancel signal; both mean the person is done.
    connect(mDialog.data(), &QProgressDialog::canceled, this, [this] {
        hide();
        emit cancelled();
    });
    connect(mDialog.data(), &QDialog::rejected, this, [this] {
        hide();
        emit cancelled();
    });
    mDialog->open();
}

void JobProgress::hide()
{
    mDelay.stop();
    QProgressDialog *dialog = mDialog;
    if (!dialog)
        return;
    mDialog = nullptr;
    dialog->disconnect(this);
    dialog->hide();
    // It may be hiding from inside its own signal.
    dialog->deleteLater();
}

} // namespace corvial
