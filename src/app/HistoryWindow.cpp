// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryWindow.h"

#include "Dialogs.h"
#include "HistoryTableModel.h"
#include "ReprintDialog.h"
#include "files/SafeFile.h"
#include "history/HistoryExport.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "history/WaitingJobs.h"
#include "job/TextCharacters.h"
#include "print/CupsQueue.h"
#include "sequence/CupsJobLookup.h"
#include "ui_HistoryWindow.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QIntValidator>
#include <QPromise>
#include <QSortFilterProxyModel>
#include <QtConcurrent>

#include <utility>

namespace corvial {

// What the worker reading a listing reports, one step at a time in this order: pages of rows,
// then what the look at the waiting jobs found (when one was asked for), then the end.
struct HistoryLoadStep
{
    QList<HistoryEntry> rows; // the next page, newest first
    QString error;            // the history could not be opened or read: why, in Japanese
    bool looked = false;      // recheck holds the look at the waiting jobs
    WaitingRecheck recheck;
    bool done = false; // the listing is complete
    bool more = false; // with done: more jobs match than were listed
};

namespace {

// Small, so that the first rows show at once; the store makes the later pages larger.
constexpr int kFirstPage = 50;

struct LoadRequest
{
    HistoryLocation where;
    HistoryFilter filter;
    std::function<JobPhaseLookup> lookup; // null: no look at the waiting jobs
};

// Runs on a worker thread with a store of its own: a locked database, a PostgreSQL server or
// a print server that does not answer must not hold up the window. The rows come first,
// since the look asks the print server and may write.
void loadHistory(QPromise<HistoryLoadStep> &promise, const LoadRequest &request)
{
    HistoryStore store;
    HistoryLoadStep failed;
    if (!store.open(request.where, &failed.error)) {
        promise.addResult(failed);
        return;
    }
    const auto page = [&promise](const QList<HistoryEntry> &rows, QString *) {
        HistoryLoadStep step;
        step.rows = rows;
        promise.addResult(step);
        return !promise.isCanceled();
    };
    HistoryLoadStep done;
    done.done = true;
    const bool listed =
        store.entriesNewestFirst(request.filter, kFirstPage, page, &failed.error, &done.more);
    if (promise.isCanceled())
        return;
    if (!listed) {
        promise.addResult(failed);
        return;
    }
    if (request.lookup) {
        HistoryLoadStep looked;
        looked.looked = true;
        looked.recheck =
            recheckWaitingJobs(store, recordHostName(), cupsServerName(), request.lookup);
        promise.addResult(looked);
    }
    promise.addResult(done);
}

} // namespace

HistoryWindow::HistoryWindow(const HistoryLocation &where, Dialogs &dialogs, ReprintRequest reprint,
                             std::function<JobPhaseLookup> lookup, QWidget *parent)
    : QDialog(parent), mUi(std::make_unique<Ui::HistoryWindow>()), mWhere(where), mDialogs(dialogs),
      mReprint(std::move(reprint)), mLookup(std::move(lookup)), mModel(new HistoryTableModel(this)),
      mSorted(new QSortFilterProxyModel(this))
{
    mUi->setupUi(this);
    mUi->numberEdit->setValidator(new QIntValidator(0, HistoryNumberWrap - 1, mUi->numberEdit));
    const QDate today = QDate::currentDate();
    mUi->fromDate->setDate(today.addMonths(-1));
    mUi->toDate->setDate(today);
    mSorted->setSourceModel(mModel);
    mSorted->setSortRole(HistoryTableModel::SortRole);
    mUi->table->setModel(mSorted);
    mUi->table->verticalHeader()->hide();
    mUi->table->horizontalHeader()->setStretchLastSection(true);
    // No column is sorted until a heading is clicked: the rows stay in the store's order.
    mUi->table->horizontalHeader()->setSortIndicator(-1, Qt::DescendingOrder);
    mUi->table->setSortingEnabled(true);

    connect(mUi->searchButton, &QPushButton::clicked, this, &HistoryWindow::search);
    connect(mUi->numberEdit, &QLineEdit::returnPressed, this, &HistoryWindow::search);
    connect(mUi->textEdit, &QLineEdit::returnPressed, this, &HistoryWindow::search);
    connect(mUi->rangeCheck, &QCheckBox::toggled, this, [this](bool on) {
        mUi->fromDate->setEnabled(on);
        mUi->toDate->setEnabled(on);
        search();
    });
    for (QDateEdit *edit : {mUi->fromDate, mUi->toDate}) {
        connect(edit, &QDateEdit::dateChanged, this, [this] {
            if (mUi->rangeCheck->isChecked())
                search();
        });
    }
    connect(mUi->exportButton, &QPushButton::clicked, this, &HistoryWindow::exportCsv);
    connect(mUi->reprintButton, &QPushButton::clicked, this, &HistoryWindow::reprintSelected);
    connect(mUi->closeButton, &QPushButton::clicked, this, &HistoryWindow::reject);
    connect(mUi->table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::updateButtons);
    connect(mUi->table, &QTableView::doubleClicked, this, &HistoryWindow::reprintSelected);
    startLoad(HistoryFilter());
}

HistoryWindow::~HistoryWindow()
{
    // The worker holds copies only; asked to stop, it ends at its next page.
    stopLoad();
}

bool HistoryWindow::readFilter(HistoryFilter *filter)
{
    const QString number = mUi->numberEdit->text().trimmed();
    if (!number.isEmpty()) {
        bool ok = false;
        filter->sampleNumber = number.toInt(&ok);
        if (!ok || filter->sampleNumber < 0 || filter->sampleNumber >= HistoryNumberWrap) {
            mDialogs.error(this,
                           QStringLiteral("検体番号は 0〜%1 の数で入力してください（「%2」）。")
                               .arg(HistoryNumberWrap - 1)
                               .arg(visibleText(number)));
            return false;
        }
    }
    filter->text = mUi->textEdit->text();
    if (!mUi->rangeCheck->isChecked())
        return true;
    // Whole local days, as the dates read: from the first one's midnight to the last one's end.
    const QDate from = mUi->fromDate->date();
    const QDate to = mUi->toDate->date();
    if (from > to) {
        stopLoad();
        mModel->setEntries({});
        mFailure = QStringLiteral("期間の始まり（%1）が終わり（%2）より後です。始まりを終わり"
                                  "と同じ日かその前にしてください。")
                       .arg(from.toString(QStringLiteral("yyyy/MM/dd")),
                            to.toString(QStringLiteral("yyyy/MM/dd")));
        showStatus();
        updateButtons();
        return false;
    }
    filter->since = from.startOfDay();
    filter->before = to.addDays(1).startOfDay();
    return true;
}

void HistoryWindow::search()
{
    HistoryFilter filter;
    if (readFilter(&filter))
        startLoad(filter);
}

void HistoryWindow::startLoad(const HistoryFilter &filter)
{
    stopLoad();
    mModel->setEntries({});
    mFailure.clear();
    mMore = false;
    mLoad = new QFutureWatcher<HistoryLoadStep>(this);
    connect(mLoad, &QFutureWatcherBase::resultsReadyAt, this, &HistoryWindow::takeSteps);
    connect(mLoad, &QFutureWatcherBase::finished, this, &HistoryWindow::loadFinished);
    // The look at the waiting jobs goes with each listing until one has made it.
    mLoad->setFuture(QtConcurrent::run(loadHistory, LoadRequest{mWhere, filter, mLookup}));
    showStatus();
    updateButtons();
}

void HistoryWindow::stopLoad()
{
    if (!mLoad)
        return;
    mLoad->disconnect(this);
    mLoad->cancel();
    mLoad->deleteLater();
    mLoad = nullptr;
}

void HistoryWindow::takeSteps(int begin, int end)
{
    for (int i = begin; i < end; ++i)
        takeStep(mLoad->resultAt(i));
}

void HistoryWindow::takeStep(const HistoryLoadStep &step)
{
    if (!step.rows.isEmpty()) {
        const bool first = mModel->rowCount() == 0;
        mModel->appendEntries(step.rows);
        // Sized to the first page: measuring every cell of a thousand rows took longer than
        // reading them.
        if (first)
            mUi->table->resizeColumnsToContents();
    }
    if (!step.error.isEmpty())
        mFailure = step.error;
    if (step.looked) {
        mLookup = nullptr;
        mModel->updateEntries(step.recheck.ended);
        mNotice = unprintedJobsNotice(step.recheck.ended);
        mLookErrors = step.recheck.errors;
    }
    if (step.done)
        mMore = step.more;
    showStatus();
}

void HistoryWindow::loadFinished()
{
    mLoad->deleteLater();
    mLoad = nullptr;
    showStatus();
    updateButtons();
    // Told once the rows are in, so that the table behind the message shows what it says.
    const QString failure = mFailure;
    const QString notice = std::exchange(mNotice, QString());
    const QStringList lookErrors = std::exchange(mLookErrors, QStringList());
    if (!failure.isEmpty())
        mDialogs.error(this, failure);
    if (!lookErrors.isEmpty())
        mDialogs.error(this, lookErrors.join(QLatin1Char('\n')));
    if (!notice.isEmpty())
        mDialogs.message(this, notice);
    emit loadEnded();
}

void HistoryWindow::showStatus()
{
    const qsizetype shown = mModel->entries().size();
    QString text;
    if (!mFailure.isEmpty())
        text = mFailure;
    else if (mLoad)
        text = QStringLiteral("印刷履歴を読み込んでいます…（%1 件）").arg(shown);
    else if (mMore)
        text = QStringLiteral("条件に合う印刷はほかにもあります。新しい %1 件だけを表示しています。"
                              "検索で絞り込んでください。")
                   .arg(shown);
    else
        text = QStringLiteral("%1 件").arg(shown);
    mUi->statusLabel->setText(text);
}

void HistoryWindow::exportCsv()
{
    const QString path =
        mDialogs.saveFileName(this, QStringLiteral("CSV ファイル (*.csv);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    const QString shown = displayPath(path);
    if (QFileInfo::exists(path) &&
        !mDialogs.askYesNo(this, QStringLiteral("CSV に書き出し"),
                           QStringLiteral("%1 はすでにあります。置き換えますか？").arg(shown)))
        return;
    QString reason = outputProblem(path);
    StagedFile file(path);
    if (reason.isEmpty() && file.create(&reason) &&
        file.write(historyCsv(mModel->entries(), /*bom=*/true), &reason) && file.commit(&reason)) {
        // What was written is what the table shows; when the search matched more, say that
        // the rest is not in the file.
        if (mMore)
            mDialogs.message(this, QStringLiteral("%1 に表示中の %2 件を書き出しました。条件に合う"
                                                  "印刷はほかにもありますが、書き出していません。"
                                                  "検索で絞り込んでから書き出してください。")
                                       .arg(shown)
                                       .arg(mModel->entries().size()));
        return;
    }
    mDialogs.error(this,
                   QStringLiteral("印刷履歴を書き出せませんでした: %1\n%2").arg(shown, reason));
}

const HistoryEntry *HistoryWindow::selectedEntry() const
{
    const QModelIndexList rows = mUi->table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    const int row = mSorted->mapToSource(rows.first()).row();
    if (row < 0 || row >= mModel->entries().size())
        return nullptr;
    return &mModel->entries().at(row);
}

void HistoryWindow::updateButtons()
{
    // The samples' texts are what a reprint prints; a job recorded without them has nothing
    // to give back.
    const HistoryEntry *entry = selectedEntry();
    mUi->reprintButton->setEnabled(mReprint && entry && entry->record.samples > 0 &&
                                   entry->record.sampleTexts.size() == entry->record.samples);
    // A listing still coming in is not yet what the search matched.
    mUi->exportButton->setEnabled(!mLoad && !mModel->entries().isEmpty());
}

void HistoryWindow::reprintSelected()
{
    if (!mUi->reprintButton->isEnabled())
        return;
    const HistoryEntry entry = *selectedEntry();
    auto *dialog = new ReprintDialog(entry, mDialogs, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, entry] {
        mReprint(this, entry, dialog->firstIndex(), dialog->lastIndex());
        // The reprint is a job of its own in the history; show it.
        search();
    });
    dialog->open();
}

HistoryWindow *openPrintHistory(QWidget *parent, const HistoryLocation &where, Dialogs &dialogs,
                                ReprintRequest reprint, const std::function<JobPhaseLookup> &lookup)
{
    return new HistoryWindow(where, dialogs, std::move(reprint), lookup, parent);
}

HistoryWindow *showPrintHistory(QWidget *parent, const HistoryLocation &where, Dialogs &dialogs,
                                ReprintRequest reprint, const std::function<JobPhaseLookup> &lookup)
{
    HistoryWindow *window =
        openPrintHistory(parent, where, dialogs, std::move(reprint),
                         lookup ? lookup : std::function<JobPhaseLookup>(&cupsJobLooks));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->open();
    return window;
}

} // namespace corvial
