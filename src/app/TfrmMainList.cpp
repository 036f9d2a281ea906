// SPDX-License-Identifier: GPL-3.0-or-later
// Sample lists: each sample's own text from a file instead of one typed text.
#include "TfrmMain.h"

#include "Controls.h"
#include "Dialogs.h"
#include "TextBoxControls.h"
#include "files/BoundedFile.h"
#include "history/PrintRecorder.h"
#include "job/JobRules.h"
#include "job/TextCharacters.h"
#include "lists/ListColumns.h"
#include "lists/SampleList.h"
#include "sequence/OwnFiles.h"
#include "settings/SettingsFile.h"
#include "ui_TfrmMain.h"

#include <QAction>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

namespace corvial {

namespace {

const QString kFilter = QStringLiteral("サンプルリスト (*.csv *.tsv *.txt *.xls *.xlsx)");
const QString kCaption = QStringLiteral("サンプルリスト");
// A read quicker than this shows no progress dialog: it would only flash.
constexpr int kProgressDelayMs = 400;

} // namespace

void TfrmMain::buildListControls()
{
    mnuListLoad = mUi->mnuListLoad;
    mnuListUnload = mUi->mnuListUnload;
    lblList = new QLabel(pnlMain);
    lblList->setObjectName(QStringLiteral("lblList"));
    lblList->setGeometry(64, 162, 400, 14);
    lblList->hide();
    connect(mnuListLoad, &QAction::triggered, this, &TfrmMain::mnuListLoadClick);
    connect(mnuListUnload, &QAction::triggered, this, &TfrmMain::mnuListUnloadClick);
}

void TfrmMain::updateListActions()
{
    const bool enabled = !pnlMain->isHidden() && !isMarkerType(mJob.sheetType);
    mnuListLoad->setEnabled(enabled);
    mnuListUnload->setEnabled(enabled && mList.has_value());
}

QStringList TfrmMain::listSampleTexts() const
{
    QStringList texts;
    if (!mList)
        return texts;
    for (int i = 0; i < mList->count(); ++i)
        texts << mList->sampleText(i);
    return texts;
}

void TfrmMain::mnuListLoadClick()
{
    if (isBusy())
        return;
    // Lists are the user's documents, not the program's files: the dialog opens where the
    // last list came from, or in the documents folder.
    const QString folder =
        !mListPath.isEmpty() ? QFileInfo(mListPath).absolutePath()
                             : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = mEnv.dialogs->openFileName(this, kFilter, folder);
    if (path.isEmpty())
        return;
    // The settings or the history read as samples would print the program's own lines.
    const QString own = ownFileProblem(path, {settingsFilePath(appDir)});
    if (!own.isEmpty()) {
        mEnv.dialogs->error(this, QStringLiteral("リストを読み込めません。\n") + own);
        return;
    }
    // Read once; the heading question and every later check use what was read now.
    readListAway(path);
}

void TfrmMain::listFileRead(const QString &path, const ListFileRead &read)
{
    const ListTableRead &table = read.table;
    if (!table.ok()) {
        mEnv.dialogs->error(this, sampleListFailureText(path, table.reason));
        return;
    }
    // The question shows the row itself, so the user judges the data rather than a
    // setting; the platform's file dialog has no room for a check box of ours.
    const QStringList first = firstRowOf(table.table);
    const bool heading =
        !first.isEmpty() &&
        mEnv.dialogs->askYesNo(
            this, kCaption,
            QStringLiteral("1 行目は見出しですか?\n\n%1").arg(first.join(QStringLiteral(" | "))));
    const SampleListRead built = buildSampleList(table.table, {mJob.sheetType, heading}, path);
    if (!built.ok()) {
        mEnv.dialogs->error(this, built.error);
        return;
    }
    if (!mList)
        mTypedEntry = {Edit2->text(), Memo8->toPlainText(), Memo5->toPlainText(),
                       ListBox2->currentRow()};
    mList = built.list;
    mJob.sampleTexts = listSampleTexts();
    mListPath = path;
    mListSha256 = read.sha256;
    mListHeading = heading;
    showListOnEntryScreen();
    updateListActions();
    const QString notice = sampleListNotice(*mList, mJob.sheetType);
    if (!notice.isEmpty())
        mEnv.dialogs->message(this, notice);
}

void TfrmMain::readListAway(const QString &path)
{
    // A large workbook takes seconds to read; the window keeps drawing meanwhile and the user
    // may give up. The worker gets only the path and a reader that touches no widget.
    std::function<ListTableRead(const QString &)> reader = mEnv.readList;
    if (!reader)
        reader = [](const QString &p) { return readListTable(p); };
    auto *progress = new QProgressDialog(QStringLiteral("サンプルリスト「%1」を読み込んでいます…")
                                             .arg(visibleText(QFileInfo(path).fileName())),
                                         QStringLiteral("キャンセル"), 0, 0, this);
    progress->setObjectName(QStringLiteral("dlgListProgress"));
    progress->setWindowTitle(kCaption);
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    // It comes up by itself after the delay; a quicker read never shows it.
    progress->setMinimumDuration(kProgressDelayMs);
    progress->setValue(0); // starts the dialog's own clock
    connect(progress, &QProgressDialog::canceled, this, &TfrmMain::endListRead);
    mListProgress = progress;
    // Until the dialog is up nothing else would stop a click from starting something else.
    setBusy(true);

    auto *watcher = new QFutureWatcher<ListFileRead>(this);
    mListRead = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, path] {
        watcher->deleteLater();
        if (mListRead != watcher)
            return; // cancelled: the result is dropped with its watcher
        endListRead();
        listFileRead(path, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([reader, path] {
        ListFileRead read{reader(path), QString()};
        QByteArray bytes;
        QString why;
        if (read.table.ok() && readBoundedFile(path, MaxListFileBytes, &bytes, &why))
            read.sha256 = sha256Hex(bytes);
        return read;
    }));
}

void TfrmMain::endListRead()
{
    // Also the cancel: a cancelled read runs on to its end in the pool, and the window stays
    // as it was.
    mListRead = nullptr;
    if (QProgressDialog *progress = std::exchange(mListProgress, nullptr)) {
        progress->disconnect(this);
        // Its clock would show it again after a quick read, over the question that follows,
        // while its deletion waits for that question to be answered.
        progress->reset();
        progress->hide();
        // It may be cancelling from inside its own signal.
        progress->deleteLater();
    }
    setBusy(false);
}

void TfrmMain::mnuListUnloadClick()
{
    if (!mList)
        return;
    mList.reset();
    mJob.sampleTexts.clear();
    updateListActions();
    setListReadOnly(false);
    lblList->hide();
    ListBox2->setEnabled(true);
    ListBox2->selectRow(mTypedEntry.sampleRow);
    mJob.sampleCount = mTypedEntry.sampleRow + 1;
    Edit2->setText(mTypedEntry.edit2);
    Memo8->setPlainText(mTypedEntry.memo8);
    Memo5->setPlainText(mTypedEntry.memo5);
    mEntry->refresh();
}

void TfrmMain::setListReadOnly(bool readOnly)
{
    Edit2->setReadOnly(readOnly);
    Memo8->setReadOnly(readOnly);
    Memo5->setReadOnly(readOnly);
    // Printing and export read each sample's own text, so an edit of the proof would
    // show something that is not printed.
    Memo3->setReadOnly(readOnly);
    Memo7->setReadOnly(readOnly);
}

// A type that prints no text (the marker type) sets a loaded list aside rather than dropping
// it: the list is shown as not printed, and comes back with the next type that prints texts.
// Markers are put on a few samples between list jobs; making the user read the file and
// answer the heading question again afterwards would only cost time.
void TfrmMain::showListOnEntryScreen()
{
    if (!mList)
        return;
    const ListColumns columns = listColumnsFor(*mList, mJob.sheetType);
    const QString notice = setAsideNotice(columns, mJob.sheetType);
    lblList->setText(notice.isEmpty()
                         ? sampleListStatusLine(*mList)
                         : sampleListStatusLine(*mList) + QStringLiteral("　") + notice);
    lblList->show();
    if (listColumnsOfType(mJob.sheetType) == 0) {
        mJob.sampleTexts.clear();
        ListBox2->setEnabled(true);
        mEntry->refresh();
        return;
    }
    mJob.sampleTexts = listSampleTexts();
    mJob.sampleCount = mList->count();
    ListBox2->selectRow(mJob.sampleCount - 1);
    ListBox2->setEnabled(false);
    const QString text = mList->sampleText(0);
    setTextBoxText(textBoxControl(*this, mJob.sheetType.info().textBox.kind), text);
    setListReadOnly(true);
    mEntry->refresh();
}

std::optional<ListExtent> TfrmMain::listExtent() const
{
    if (!mList || listColumnsOfType(mJob.sheetType) == 0)
        return std::nullopt;
    const QList<int> printed = listColumnsFor(*mList, mJob.sheetType).printed;
    return ListExtent{mList->count(), printed.isEmpty() ? 0 : printed.last() + 1};
}

bool TfrmMain::keepsListFor(SheetType newType)
{
    if (!mList || newType == mJob.sheetType)
        return true;
    const ListColumns columns = listColumnsFor(*mList, newType);
    const QString notice = setAsideNotice(columns, newType);
    if (columns.keeps() || listColumnsOfType(newType) == 0) {
        if (columns.keeps())
            mList = columns.read.list;
        // A type without texts prints none of the list's, which waits for a type with texts.
        mJob.sampleTexts = listColumnsOfType(newType) == 0 ? QStringList() : listSampleTexts();
        // The entry screen's list line says the same once the type is shown.
        if (!notice.isEmpty())
            statusLine()->showMessage(
                listColumnsOfType(newType) == 0
                    ? notice +
                          QStringLiteral("リストは文字を印刷するシートタイプに戻すと使われます。")
                    : notice);
        return true;
    }
    const QString question = QStringLiteral("読み込んだサンプルリストは%1では使えません。\n%2\n\n"
                                            "リストを解除してシートタイプを変えますか?")
                                 .arg(sheetTypeWord(newType), columns.read.error);
    if (mEnv.dialogs->askYesNo(this, kCaption, question)) {
        mnuListUnloadClick();
        return true;
    }
    // The old type stays chosen; its button is checked again without running its handler.
    QRadioButton *old =
        findChild<QRadioButton *>(QLatin1String(sheetTypeRadioName(mJob.sheetType.code())));
    const QSignalBlocker blocker(old);
    old->setChecked(true);
    return false;
}

} // namespace corvial
