// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryLocation.h"
#include "history/HistoryRecord.h"
#include "history/JobLookup.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

class QSortFilterProxyModel;
template <typename T> class QFutureWatcher;

namespace Ui {
class HistoryWindow;
}

namespace corvial {

class Dialogs;
class HistoryTableModel;
struct HistoryFilter;
struct HistoryLoadStep;

// Asked to print samples firstIndex..lastIndex (0-based, within the job's samples) of a job
// in the history again; owner: the window the reprint's own dialogs belong to.
using ReprintRequest =
    std::function<void(QWidget *owner, const HistoryEntry &entry, int firstIndex, int lastIndex)>;

// The print history window (印刷履歴): the jobs newest first (a click on a heading sorts by
// that column), a search by sample number, text and the days they were started, export of
// the shown jobs to CSV and reprinting of a job's samples. The history is read on a worker
// thread and the rows come in pages as they are read; the window never waits for the
// database or the print server. Its controls come from HistoryWindow.ui.
class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    // Starts listing the history at where at once; the first listing also asks lookup (on
    // the worker; null: nobody) about this PC's jobs left waiting and tells once which ended
    // unprinted. Hidden until shown.
    HistoryWindow(const HistoryLocation &where, Dialogs &dialogs, ReprintRequest reprint,
                  std::function<JobPhaseLookup> lookup, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // The rows as read, in the store's order (the table may show them sorted).
    HistoryTableModel *model() const { return mModel; }
    // True while a listing is being read.
    bool isLoading() const { return mLoad != nullptr; }

    // Lists the jobs matching the search row, dropping a listing still being read; a
    // malformed number is told through Dialogs::error, a range that ends before it starts
    // in the status line.
    void search();
    // Asks for a file and writes the shown jobs to it as CSV with a byte order mark.
    void exportCsv();
    // Opens the reprint choice for the selected job (when it has its samples recorded).
    void reprintSelected();

signals:
    // A listing ended: all its rows are shown, or its failure is shown and told.
    void loadEnded();

private:
    bool readFilter(HistoryFilter *filter);
    void startLoad(const HistoryFilter &filter);
    void stopLoad();
    void takeSteps(int begin, int end);
    void takeStep(const HistoryLoadStep &step);
    void loadFinished();
    void showStatus();
    const HistoryEntry *selectedEntry() const;
    void updateButtons();

    std::unique_ptr<Ui::HistoryWindow> mUi;
    HistoryLocation mWhere;
    Dialogs &mDialogs;
    ReprintRequest mReprint;
    std::function<JobPhaseLookup> mLookup; // null once the waiting jobs have been looked at
    HistoryTableModel *mModel = nullptr;
    QSortFilterProxyModel *mSorted = nullptr;
    QFutureWatcher<HistoryLoadStep> *mLoad = nullptr; // the listing being read, if any
    QString mFailure;                                 // why the last listing failed
    QString mNotice;         // the jobs the look at the waiting ones found ended, told at the end
    QStringList mLookErrors; // what that look could not do, told at the end
    bool mMore = false;      // the last search matched more jobs than are shown
};

// The print history window over the history at where, listing it at once; hidden.
HistoryWindow *openPrintHistory(QWidget *parent, const HistoryLocation &where, Dialogs &dialogs,
                                ReprintRequest reprint,
                                const std::function<JobPhaseLookup> &lookup);
// Opens the print history at where over parent (modal to it, without waiting for it to
// close), asking lookup (null: the print server) about jobs that were still waiting; the
// window deletes itself when closed.
HistoryWindow *showPrintHistory(QWidget *parent, const HistoryLocation &where, Dialogs &dialogs,
                                ReprintRequest reprint,
                                const std::function<JobPhaseLookup> &lookup = {});

} // namespace corvial
