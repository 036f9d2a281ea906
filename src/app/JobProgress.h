// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "print/JobFollow.h"

#include <QPointer>
#include <QProgressDialog>

class QWidget;

namespace corvial {

// The window's watcher of a printer job: after a short moment a small dialog shows where
// the job stands in CUPS, with a button to stop waiting. A job that ends quickly shows
// nothing. The window's own controls take no input while it waits.
class JobProgress : public TimeBoundWatcher
{
public:
    // parent: the window the dialog belongs to; seconds: the longest wait, as TimeBoundWatcher.
    explicit JobProgress(QWidget *parent, int seconds = DefaultJobWaitSeconds);
    ~JobProgress() override;
    JobProgress(const JobProgress &) = delete;
    JobProgress &operator=(const JobProgress &) = delete;

    // False once the time is up or the user chose not to wait; shows or updates the dialog.
    bool keepWaiting(const QString &printer, int jobId, const JobStatus &status) override;
    // Handles the window's events for ms milliseconds, or until the user stops waiting.
    void pause(int ms) override;
    // Closes the dialog.
    void finished(const JobStatus &status) override;

    // The dialog's object name, for whoever needs to find it (the widget tests).
    static QString dialogName();

private:
    QWidget *mParent;
    QPointer<QProgressDialog> mDialog;
    bool mStopped = false;
};

} // namespace corvial
