// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryLocation.h"
#include "history/HistoryRecord.h"
#include "history/JobLookup.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class HistoryWindow;
}

namespace corvial {

class Dialogs;
class HistoryStore;
class HistoryTableModel;

// Asked to print samples firstIndex..lastIndex (0-based, within the job's samples) of a job
// in the history again; owner: the window the reprint's own dialogs belong to.
using ReprintRequest =
    std::function<void(QWidget *owner, const HistoryEntry &entry, int firstIndex, int lastIndex)>;

// The print history window (印刷履歴): the jobs newest first, a search by sample number and
// text, export of the shown jobs to CSV and reprinting of a job's samples. Its controls come
// from HistoryWindow.ui.
class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    // Takes an open store; lists its newest jobs at once. Hidden until shown.
    HistoryWindow(std::unique_ptr<HistoryStore> store, Dialogs &dialogs, ReprintRequest reprint,
                  QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // The rows the table shows.
    HistoryTableModel *model() const { return mModel; }

    // Lists the jobs matching the search row; a malformed number or a failed read is told
    // through Dialogs::error.
    void search();
    // Asks for a file and writes the shown jobs to it as CSV with a byte order mark.
    void exportCsv();
    // Opens the reprint choice for the selected job (when it has its samples recorded).
    void reprintSelected();

private:
    const HistoryEntry *selectedEntry() const;
    void updateButtons();

    std::unique_ptr<Ui::HistoryWindow> mUi;
    std::unique_ptr<HistoryStore> mStore;
    Dialogs &mDialogs;
    ReprintRequest mReprint;
    HistoryTableModel *mModel = nullptr;
    bool mMore = false; // the last search matched more jobs than are shown
};

// Opens the history at where, records the waiting jobs lookup reports ended without printing
// (telling the user once which samples did not print), and builds the window, hidden. nullptr
// after telling dialogs.error why the history could not be opened.
HistoryWindow *openPrintHistory(QWidget *parent, const HistoryLocation &where, Dialogs &dialogs,
                                ReprintRequest reprint,
                                const std::function<JobPhaseLookup> &lookup);
// Shows the print history at where modally over parent, asking lookup (null: the print
// server) about jobs that were still waiting; returns when it is closed.
void showPrintHistory(QWidget *parent, const HistoryLocation &where, Dialogs &dialogs,
                      ReprintRequest reprint, const std::function<JobPhaseLookup> &lookup = {});

} // namespace corvial
