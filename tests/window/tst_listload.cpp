// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a sample list away from the window's thread: the same list as a direct read, a
// progress dialog naming the file when the read is slow, and a cancel that changes nothing.
#include "../support/SheetTypeOf.h"
#include "WindowSupport.h"
#include "history/HistoryStore.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>
#include <atomic>

using namespace corvial;

namespace {

struct ListFixture : WindowFixture
{
    QString path;
    QString offered;     // what the file dialog answers
    QStringList folders; // where the file dialog opened, each time
    std::atomic<QThread *> readOn{nullptr};
    int hiddenRows = 0;
    QSemaphore *gate = nullptr; // when set, each read waits for one release

    void open()
    {
        path = dir.filePath(QStringLiteral("サンプル.csv"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write("AB,x\nCD,y\nEF,z\n");
        f.close();
        offered = path;
        dialogs = std::make_shared<OfferingDialogs>(this);
        writeSettings(defaultSettings());
    }

    class OfferingDialogs : public FakeDialogs
    {
    public:
        explicit OfferingDialogs(ListFixture *fx) : mFx(fx) {}
        QString openFileName(QWidget *, const QString &, const QString &folder) override
        {
            mFx->folders << folder;
            return mFx->offered;
        }

    private:
        ListFixture *mFx;
    };
};

// A window like WindowFixture's, whose list reads go through the fixture's reader.
TfrmMain &createWithReader(ListFixture &fx)
{
    fx.open();
    MainWindowEnvironment env;
    env.appDir = fx.dir.path();
    env.dialogs = fx.dialogs;
    env.workbook = fx.xls;
    env.canvasFactory = [&fx](QPrinter *) -> std::unique_ptr<PageCanvas> {
        return std::make_unique<ForwardingCanvas>(fx.canvas);
    };
    env.readList = [&fx](const QString &p) {
        fx.readOn = QThread::currentThread();
        if (fx.gate)
            fx.gate->acquire();
        ListTableRead read = readListTable(p);
        read.table.hiddenRows = fx.hiddenRows;
        return read;
    };
    fx.window = std::make_unique<TfrmMain>(env);
    chooseType(*fx.window, 2);
    return *fx.window;
}

// What the entry screen shows of the list (or of the typed text).
QStringList entryState(TfrmMain &w)
{
    return {w.Memo8->toPlainText(),
            QString::number(w.editor().sampleCount),
            QString::number(w.ListBox2->currentRow()),
            w.ListBox2->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"),
            w.Memo8->isReadOnly() ? QStringLiteral("read-only") : QStringLiteral("editable"),
            w.lblList->isHidden() ? QString() : w.lblList->text()};
}

} // namespace

class TestListLoad : public QObject
{
    Q_OBJECT

private slots:
    void readAwayGivesTheSameList_data();
    void readAwayGivesTheSameList();
    void cancelLeavesTheWindow_data();
    void cancelLeavesTheWindow();
    void dialogAndUnloadFollowTheList();
    void recordNamesTheListAsRead();
};

void TestListLoad::readAwayGivesTheSameList_data()
{
    QTest::addColumn<int>("hiddenRows");
    QTest::newRow("no hidden rows") << 0;
    QTest::newRow("hidden rows") << 3;
}

void TestListLoad::readAwayGivesTheSameList()
{
    QFETCH(int, hiddenRows);
    ListFixture fx;
    fx.hiddenRows = hiddenRows;
    TfrmMain &w = createWithReader(fx);
    fx.dialogs->answerYes = false;
    w.mnuListLoad->trigger();
    QVERIFY(idle(w));

    QVERIFY(fx.readOn.load() && fx.readOn.load() != QApplication::instance()->thread());
    QCOMPARE(fx.dialogs->errors, QStringList());
    const SampleListRead direct = readSampleList(fx.path, {typeOf(2), false});
    QVERIFY(direct.ok());
    QCOMPARE(w.editor().sampleCount, direct.list.count());
    QCOMPARE(w.Memo8->toPlainText(), direct.list.sampleText(0));
    QCOMPARE(w.lblList->text(), sampleListStatusLine(direct.list));
    if (hiddenRows == 0) {
        QCOMPARE(fx.dialogs->messages, QStringList());
        return;
    }
    QCOMPARE(fx.dialogs->messages.size(), 1);
    const QString notice = fx.dialogs->messages.first();
    QVERIFY2(notice.contains(QStringLiteral("サンプル.csv")) &&
                 notice.contains(QStringLiteral("%1 行").arg(hiddenRows)),
             qPrintable(notice));
}

void TestListLoad::cancelLeavesTheWindow_data()
{
    QTest::addColumn<bool>("listBefore");
    QTest::addColumn<bool>("byClosing");
    QTest::newRow("typed text, cancelled") << false << false;
    QTest::newRow("list loaded, cancelled") << true << false;
    QTest::newRow("list loaded, window closed") << true << true;
}

void TestListLoad::cancelLeavesTheWindow()
{
    QFETCH(bool, listBefore);
    QFETCH(bool, byClosing);
    ListFixture fx;
    TfrmMain &w = createWithReader(fx);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    typeText(w.Memo8, QStringLiteral("typed"));
    fx.dialogs->answerYes = false;
    if (listBefore) {
        w.mnuListLoad->trigger();
        QVERIFY(idle(w));
    }
    const QStringList before = entryState(w);
    const int messages = int(fx.dialogs->messages.size());
    const int questions = int(fx.dialogs->questions.size());
    bool closedSignal = false;
    connect(&w, &TfrmMain::closed, this, [&closedSignal] { closedSignal = true; });

    // A read that does not end by itself: the dialog comes up after its delay, names the
    // file, and is cancelled (or the window closed) while the read still runs.
    QSemaphore gate;
    fx.gate = &gate;
    // A failed check must not leave the read waiting for ever.
    auto open = qScopeGuard([&gate] { gate.release(); });
    w.mnuListLoad->trigger();
    auto *progress = w.findChild<QProgressDialog *>(QStringLiteral("dlgListProgress"));
    QVERIFY(progress);
    // Meanwhile the window takes no input that could start something else.
    QVERIFY(!w.cmdPrintSet->isEnabled());
    const bool shown = QTest::qWaitFor([progress] { return progress->isVisible(); }, 5000);
    const QString shownText = progress->labelText();
    if (byClosing)
        w.close();
    else
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
    // The window is back at once; the read's late result is dropped.
    QVERIFY(!w.isBusy());
    QVERIFY(w.cmdPrintSet->isEnabled());
    open.dismiss();
    gate.release();
    QThreadPool::globalInstance()->waitForDone();
    QTRY_VERIFY(!w.findChild<QProgressDialog *>());

    QVERIFY(shown);
    QVERIFY2(shownText.contains(QStringLiteral("サンプル.csv")), qPrintable(shownText));
    QCOMPARE(entryState(w), before);
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(fx.dialogs->messages.size(), messages);
    QCOMPARE(fx.dialogs->questions.size(), questions);
    QVERIFY(!closedSignal);
    QVERIFY(w.isVisible());
}

// The file dialog opens in the documents folder, then where the last list came from (also
// after it was unloaded); unloading is offered only while a list is loaded.
void TestListLoad::dialogAndUnloadFollowTheList()
{
    ListFixture fx;
    TfrmMain &w = createWithReader(fx);
    fx.dialogs->answerYes = false;
    QVERIFY(!w.mnuListUnload->isEnabled());
    fx.offered.clear();
    w.mnuListLoad->trigger();
    QVERIFY(idle(w));
    QVERIFY(!w.mnuListUnload->isEnabled());
    fx.offered = fx.path;
    w.mnuListLoad->trigger();
    QVERIFY(idle(w));
    QVERIFY(w.mnuListUnload->isEnabled());
    w.mnuListUnload->trigger();
    QVERIFY(!w.mnuListUnload->isEnabled());
    w.mnuListLoad->trigger();
    QVERIFY(idle(w));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(fx.folders, (QStringList{documents, documents, fx.dir.path()}));
    QCOMPARE(w.editor().sampleCount, 3);
}

// The history names the list's content as it was read: a file changed on disk before the job
// prints must not be taken for the one the samples came from.
void TestListLoad::recordNamesTheListAsRead()
{
    ListFixture fx;
    TfrmMain &w = createWithReader(fx);
    fx.dialogs->answerYes = false;
    QFile original(fx.path);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray read = original.readAll();
    original.close();
    w.mnuListLoad->trigger();
    QVERIFY(idle(w));
    QCOMPARE(fx.dialogs->errors, QStringList());
    QFile changed(fx.path);
    QVERIFY(changed.open(QIODevice::WriteOnly | QIODevice::Truncate));
    changed.write("changed later\n");
    changed.close();
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    pressPrint(w);
    QCOMPARE(fx.dialogs->errors, QStringList());

    HistoryStore store;
    HistoryLocation where;
    where.filePath = fx.dir.filePath(QStringLiteral("history.sqlite"));
    QString error;
    QVERIFY2(store.open(where, &error), qPrintable(error));
    QList<HistoryEntry> entries;
    QVERIFY2(store.entries(HistoryFilter(), &entries, &error), qPrintable(error));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().record.listFile, QFileInfo(fx.path).absoluteFilePath());
    QCOMPARE(
        entries.first().record.listSha256,
        QString::fromLatin1(QCryptographicHash::hash(read, QCryptographicHash::Sha256).toHex()));
}

QTEST_MAIN(TestListLoad)
#include "tst_listload.moc"
