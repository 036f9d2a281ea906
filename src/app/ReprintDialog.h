// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryRecord.h"

#include <QDialog>
#include <memory>

namespace Ui {
class ReprintDialog;
}

namespace corvial {

class Dialogs;

// The choice of which samples of a recorded job to print again: all of them, or a run of its
// sample numbers as printed. Its controls come from ReprintDialog.ui.
class ReprintDialog : public QDialog
{
    Q_OBJECT

public:
    // entry: a job with its samples recorded. Hidden until shown.
    ReprintDialog(const HistoryEntry &entry, Dialogs &dialogs, QWidget *parent = nullptr);
    ~ReprintDialog() override;

    // The chosen samples as 0-based indices into the job; valid once accepted.
    int firstIndex() const { return mFirst; }
    int lastIndex() const { return mLast; }

    // Closes with the choice when it names samples of the job; otherwise tells why through
    // Dialogs::error and stays open.
    void accept() override;

private:
    std::unique_ptr<Ui::ReprintDialog> mUi;
    HistoryEntry mEntry;
    Dialogs &mDialogs;
    int mFirst = 0;
    int mLast = 0;
};

} // namespace corvial
