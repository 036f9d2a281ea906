// SPDX-License-Identifier: GPL-3.0-or-later
// Printing away from the interface thread: the window keeps running while another connection
// holds the history, its progress dialog gives such a print up at once, and a job that has
// already gone to the queue is kept when the person stops waiting for it.
#include "JobProgress.h"
#include "WindowSupport.h"
#include "history/HistoryStore.h"
#include "print/JobFollow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

using namespace corvial;

namespace {

// The window's print progress dialog while it is up, or null.
QProgressDialog *shownProgress()
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QProgressDialog *>(top);
        if (dialog && dialog->isVisible() && dialog->objectName() == JobProgress::dialogName())
            return dialog;
    }
    return nullptr;
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// A queue that takes the document as job 7 and holds it: followed as the printer's canvas
// follows a job, until the watcher stops waiting.
class HeldQueueCanvas : public RecordingCanvas
{
public:
    HeldQueueCanvas() : RecordingCanvas(300, 300) {}
    void setJobWatcher(JobWatcher *watcher) override { mWatcher = watcher; }
    bool endDocument() override
    {
        if (!RecordingCanvas::endDocument() || !mWatcher)
            return false;
        JobStatus held;
        held.phase = JobPhase::Waiting;
        held.held = true;
        mWatcher->sent(QStringLiteral("Lab"), 7);
        while (mWatcher->keepWaiting(QStringLiteral("Lab"), 7, held))
            mWatcher->pause(JobPollMilliseconds);
        mWatcher->finished(held);
        return true;
    }
    QueueJob queueJob() const override { return {7, JobEnd::StillWaiting}; }

private:
    JobWatcher *mWatcher = nullptr;
};

} // namespace

class TestPrintAway : public QObject
{
    Q_OBJECT

private slots:
    void lockedHistoryKeepsTheWindowRunning();
    void stopWaitingKeepsASentJob();
};

// Print is pressed while another connection holds the history's write lock for 10 s: the
// window goes on drawing and its timers fire, the progress dialog's button gives the print up
// at once, the late end of the given-up print prints and asks nothing, and once the lock is
// released the next print is recorded as usual.
void TestPrintAway::lockedHistoryKeepsTheWindowRunning()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 2, 3, 1, 5);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    pressPrint(w); // makes the history
    QCOMPARE(historyOf(fx).size(), 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    const QByteArray settings = fx.readSettings();

    const QString holderName = QStringLiteral("holder");
    const auto dropHolder = qScopeGuard([&] { QSqlDatabase::removeDatabase(holderName); });
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holderName);
        holder.setDatabaseName(fx.dir.filePath(QStringLiteral("history.sqlite")));
        QVERIFY(holder.open());
        QSqlQuery lock(holder);
        QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QElapsedTimer held;
        held.start();

        qint64 longestGap = 0;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(20);
        connect(&ticker, &QTimer::timeout, &ticker,
                [&] { longestGap = qMax(longestGap, sinceTick.restart()); });
        PaintCounter counter;
        w.centralWidget()->installEventFilter(&counter);
        QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
        sinceTick.start();
        ticker.start();
        QVERIFY(w.isBusy());
        QVERIFY(!w.cmdPrint->isEnabled());
        w.centralWidget()->update();
        QTRY_VERIFY(counter.paints > 0);

        QProgressDialog *progress = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((progress = shownProgress()) != nullptr, 3000);
        QVERIFY2(progress->labelText().contains(QStringLiteral("印刷履歴")),
                 qPrintable(progress->labelText()));
        QTest::qWait(500);
        QVERIFY(w.isBusy()); // the history is still held
        QElapsedTimer answer;
        answer.start();
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        QVERIFY2(answer.elapsed() < 200, qPrintable(QString::number(answer.elapsed())));
        QVERIFY(!shownProgress());
        QVERIFY(!w.isBusy());
        QVERIFY(w.cmdPrint->isEnabled());
        QCOMPARE(fx.dialogs->messages.size(), 1);
        QVERIFY2(fx.dialogs->messages.first().contains(QStringLiteral("印刷されていません")),
                 qPrintable(fx.dialogs->messages.first()));

        // The given-up print ends on its own while the lock is still held.
        QTest::qWait(int(qMax<qint64>(0, 10000 - held.elapsed())));
        ticker.stop();
        QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));
        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
    }
    QCOMPARE(fx.canvas.documentsBegun, 1);
    QCOMPARE(fx.dialogs->questions, QStringList());
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(fx.readSettings(), settings);
    QVERIFY(!w.pnlPrint->isHidden());

    pressPrint(w);
    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(fx.canvas.documentsEnded, 2);
    const QList<HistoryEntry> entries = historyOf(fx);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(int(entries.first().outcome), int(JobOutcome::Printed));
    QCOMPARE(entries.first().record.startPosition, 8);
    QCOMPARE(fx.readSettings(), settingsWithStart(2, 11));
}

// Stopping the wait for a job the queue already holds closes the dialog at once; the job
// counts as waiting, so its start position moves on and its record keeps the queue's job.
void TestPrintAway::stopWaitingKeepsASentJob()
{
    WindowFixture fx;
    fx.writeSettings(settingsWithStart(2, 5));
    MainWindowEnvironment env;
    env.appDir = fx.dir.path();
    env.dialogs = fx.dialogs;
    env.workbook = fx.xls;
    env.canvasFactory = [](QPrinter *) -> std::unique_ptr<PageCanvas> {
        return std::make_unique<HeldQueueCanvas>();
    };
    TfrmMain w(env);
    chooseType(w, 2);
    clickRow(w.ListBox2, 2);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
    QProgressDialog *progress = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((progress = shownProgress()) != nullptr, 5000);
    QVERIFY2(progress->labelText().contains(QStringLiteral("ジョブ 7")),
             qPrintable(progress->labelText()));
    QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
    QVERIFY(!shownProgress());
    QVERIFY(idle(w, 5000));

    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(fx.readSettings(), settingsWithStart(2, 8));
    QVERIFY(w.pnlPrint->isHidden());
    const QList<HistoryEntry> entries = historyOf(fx);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(int(entries.first().outcome), int(JobOutcome::Waiting));
    QCOMPARE(entries.first().cupsJobId, 7);
}

QTEST_MAIN(TestPrintAway)
#include "tst_printaway.moc"
