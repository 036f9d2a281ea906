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
#include <QHeaderView>
#include <QIntValidator>

namespace corvial {

HistoryWindow::HistoryWindow(std::unique_ptr<HistoryStore> store, Dialogs &dialogs,
                             ReprintRequest reprint, QWidget *parent)
    : QDialog(parent), mUi(std::make_unique<Ui::HistoryWindow>()), mStore(std::move(store)),
      mDialogs(dialogs), mReprint(std::move(reprint)), mModel(new HistoryTableModel(this))
{
    mUi->setupUi(this);
    mUi->numberEdit->setValidator(new QIntValidator(0, HistoryNumberWrap - 1, mUi->numberEdit));
    mUi->table->setModel(mModel);
    mUi->table->verticalHeader()->hide();
    mUi->table->horizontalHeader()->setStretchLastSection(true);

    connect(mUi->searchButton, &QPushButton::clicked, this, &HistoryWindow::search);
    connect(mUi->numberEdit, &QLineEdit::returnPressed, this, &HistoryWindow::search);
    connect(mUi->textEdit, &QLineEdit::returnPressed, this, &HistoryWindow::search);
    connect(mUi->exportButton, &QPushButton::clicked, this, &HistoryWindow::exportCsv);
    connect(mUi->reprintButton, &QPushButton::clicked, this, &HistoryWindow::reprintSelected);
    connect(mUi->closeButton, &QPushButton::clicked, this, &HistoryWindow::reject);
    connect(mUi->table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::updateButtons);
    connect(mUi->table, &QTableView::doubleClicked, this, &HistoryWindow::reprintSelected);
    search();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::search()
{
    HistoryFilter filter;
    const QString number = mUi->numberEdit->text().trimmed();
    if (!number.isEmpty()) {
        bool ok = false;
        filter.sampleNumber = number.toInt(&ok);
        if (!ok || filter.sampleNumber < 0 || filter.sampleNumber >= HistoryNumberWrap) {
            mDialogs.error(this,
                           QStringLiteral("検体番号は 0〜%1 の数で入力してください（「%2」）。")
                               .arg(HistoryNumberWrap - 1)
                               .arg(visibleText(number)));
            return;
        }
    }
    filter.text = mUi->textEdit->text();

    QList<HistoryEntry> found;
    QString error;
    mMore = false;
    if (!mStore->entries(filter, &found, &error, &mMore)) {
        mModel->setEntries({});
        mUi->moreLabel->clear();
        updateButtons();
        mDialogs.error(this, error);
        return;
    }
    mModel->setEntries(found);
    // The header samples a bounded number of rows, so this stays quick for a full page.
    mUi->table->resizeColumnsToContents();
    mUi->moreLabel->setText(
        mMore
            ? QStringLiteral("条件に合う印刷はほかにもあります。新しい %1 件だけを表示しています。"
                             "検索で絞り込んでください。")
                  .arg(found.size())
            : QStringLiteral("%1 件").arg(found.size()));
    updateButtons();
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
    if (rows.isEmpty() || rows.first().row() >= mModel->entries().size())
        return nullptr;
    return &mModel->entries().at(rows.first().row());
}

void HistoryWindow::updateButtons()
{
    // The samples' texts are what a reprint prints; a job recorded without them has nothing
    // to give back.
    const HistoryEntry *entry = selectedEntry();
    mUi->reprintButton->setEnabled(mReprint && entry && entry->record.samples > 0 &&
                                   entry->record.sampleTexts.size() == entry->record.samples);
    mUi->exportButton->setEnabled(!mModel->entries().isEmpty());
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
    auto store = std::make_unique<HistoryStore>();
    QString error;
    if (!store->open(where, &error)) {
        dialogs.error(parent, error);
        return nullptr;
    }
    const WaitingRecheck recheck =
        recheckWaitingJobs(*store, recordHostName(), cupsServerName(), lookup);
    auto *window = new HistoryWindow(std::move(store), dialogs, std::move(reprint), parent);
    if (!recheck.errors.isEmpty())
        dialogs.error(window, recheck.errors.join(QLatin1Char('\n')));
    if (!recheck.ended.isEmpty())
        dialogs.message(window, unprintedJobsNotice(recheck.ended));
    return window;
}

void showPrintHistory(QWidget *parent, const HistoryLocation &where, Dialogs &dialogs,
                      ReprintRequest reprint, const std::function<JobPhaseLookup> &lookup)
{
    std::unique_ptr<HistoryWindow> window(
        openPrintHistory(parent, where, dialogs, std::move(reprint),
                         lookup ? lookup : std::function<JobPhaseLookup>(&cupsJobLooks)));
    if (window)
        window->exec();
}

} // namespace corvial
