// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "print/CupsQueue.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QProgressDialog;
class QWidget;

namespace corvial {

// The small dialog a person waits at while the window prints: it tells where the print
// stands and offers one button. A print that ends quickly shows nothing. It runs no loop of
// its own: it is shown and left, and its button is reported by a signal.
class JobProgress : public QObject
{
    Q_OBJECT

public:
    // Milliseconds a print runs before its dialog comes up: most end within this, and a
    // dialog that flashes up and vanishes only startles.
    static constexpr int ShowAfterMs = 500;

    // parent: the window the dialog belongs to; the dialog keeps input from it while shown.
    explicit JobProgress(QWidget *parent);
    ~JobProgress() override;
    JobProgress(const JobProgress &) = delete;
    JobProgress &operator=(const JobProgress &) = delete;

    // What the print does now (text) and what the button does (button). A dialog that is
    // up shows them at once; one that is not comes up after a short moment when showLater,
    // and is kept from coming up otherwise.
    void waitAt(const QString &text, const QString &button, bool showLater);
    // Shows the dialog now, with what waitAt gave it.
    void showNow();
    // Takes the dialog away (another dialog asks something, or the print is over).
    void hide();

    // What the dialog says of job jobId on queue printer after the latest look at it.
    static QString jobText(const QString &printer, int jobId, const JobStatus &status);
    // The dialog's object name, for whoever needs to find it (the widget tests).
    static QString dialogName();

signals:
    // The button was pressed or the dialog closed; it is gone by then.
    void cancelled();

private:
    QPointer<QWidget> mParent;
    QPointer<QProgressDialog> mDialog;
    QTimer mDelay;
    QString mText;
    QString mButton;
};

} // namespace corvial
