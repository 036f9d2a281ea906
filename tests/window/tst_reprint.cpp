// SPDX-License-Identifier: GPL-3.0-or-later
// Reprints from the print history, printed to PDF and read back, and the start's look at the
// jobs a print queue left waiting.
#include "../support/PdfProbe.h"
#include "../support/TextFiles.h"
#include "HistoryTableModel.h"
#include "HistoryWindow.h"
#include "ReprintDialog.h"
#include "ReprintStartDialog.h"
#include "SheetPicture.h"
#include "WindowSupport.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "print/CupsQueue.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <atomic>

using namespace corvial;

namespace {

// Print to File, a refused printer dialog, and one list file to load.
class ReprintDialogs : public PdfDialogs
{
public:
    QString listPath;
    bool choosePrinter(QWidget *parent, QPrinter *printer) override
    {
        ++printerAsked;
        return printerAccepted && PdfDialogs::choosePrinter(parent, printer);
    }
    QString openFileName(QWidget *, const QString &, const QString &) override { return listPath; }
};

// Acts on the modal dialog of type T from inside its own event loop, once it is open.
template <class T> void whenModal(const std::function<void(T *)> &act)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(dialog);
        }
    });
    poll->start();
}

// The words of a PDF in the order they were drawn.
QStringList pdfWords(const QString &pdf)
{
    bool ok = false;
    const QString text = runTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-raw"), pdf, QStringLiteral("-")}, &ok);
    if (!ok)
        return {text};
    // A label's text and its number may come out as one word when the face found sets them
    // close (so it does under a Japanese locale); the list's texts hold no digits, so runs
    // of digits and runs of other characters are the words.
    QStringList words;
    auto it = QRegularExpression(QStringLiteral("\\d+|[^\\s\\d]+")).globalMatch(text);
    while (it.hasNext())
        words << it.next().captured();
    return words;
}

// Starts the window as the program does and waits until its look at the history is told.
void startAndRecheck(WindowFixture &fx)
{
    TfrmMain &w = fx.create();
    w.show();
    QSignalSpy told(&w, &TfrmMain::waitingJobsRechecked);
    w.startWaitingJobsRecheck();
    QVERIFY(told.wait(10000));
}

} // namespace

class TestReprint : public QObject
{
    Q_OBJECT

private slots:
    void reprintFromHistory_data();
    void reprintFromHistory();
    void startTellsOfJobsEndedUnprinted_data();
    void startTellsOfJobsEndedUnprinted();
};

void TestReprint::reprintFromHistory_data()
{
    QTest::addColumn<QString>("first"); // sample numbers typed in the choice; empty: all
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("click");    // label position clicked on the picture; 0: none
    QTest::addColumn<bool>("printed"); // false: the printer dialog is cancelled
    QTest::addColumn<int>("from");     // first sample reprinted, 1-based
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("start"); // where the reprint starts
    QTest::addColumn<int>("nextStart");
    QTest::addColumn<int>("sheets"); // the sheets the start step offers
    QTest::newRow("range at the continuation point") << "0002"
                                                     << "4" << 0 << true << 2 << 3 << 6 << 9 << 1;
    QTest::newRow("all from a clicked position") << ""
                                                 << "" << 20 << true << 1 << 5 << 20 << 25 << 1;
    QTest::newRow("range wrapping the sheet end") << "3"
                                                  << "5" << 59 << true << 3 << 3 << 59 << 2 << 2;
    QTest::newRow("printer dialog cancelled") << "2"
                                              << "3" << 30 << false << 2 << 2 << 30 << 6 << 1;
}

// A recorded job printed again from the history window through the real print path: the
// same texts and numbers, the family's start moved on, the next number left alone.
void TestReprint::reprintFromHistory()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, click);
    QFETCH(bool, printed);
    QFETCH(int, from);
    QFETCH(int, samples);
    QFETCH(int, start);
    QFETCH(int, nextStart);
    QFETCH(int, sheets);
    WindowFixture fx;
    auto dialogs = std::make_shared<ReprintDialogs>();
    fx.dialogs = dialogs;
    fx.realPrinter = true;
    dialogs->listPath = fx.dir.filePath(QStringLiteral("list.csv"));
    QVERIFY(writeFile(dialogs->listPath, "alpha\nbravo\ncharlie\ndelta\necho\n"));
    dialogs->answerYes = false; // the first row is no heading

    // The job to reprint: five samples of a list on rectangles, printed from position 1.
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    w.mnuListLoad->trigger();
    QVERIFY(idle(w));
    dialogs->pdfPath = fx.dir.filePath(QStringLiteral("job.pdf"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    pressPrint(w);
    QCOMPARE(dialogs->errors, QStringList());
    const QStringList jobWords = pdfWords(dialogs->pdfPath);
    QCOMPARE(jobWords.size(), 10); // one text and one number per label
    const QList<HistoryEntry> before = historyOf(fx);
    QCOMPARE(before.size(), 1);
    const int nextNumber = w.editor().initialValue;
    const QByteArray settingsBefore = fx.readSettings();

    dialogs->pdfPath = fx.dir.filePath(QStringLiteral("reprint.pdf"));
    dialogs->printerAccepted = printed;
    int shownStart = 0;
    int shownSheets = 0;
    int rowsAfter = 0;
    bool startAnswered = false;
    // The history opens over the window at once and reads its rows on a worker.
    w.mnuHistory->trigger();
    auto *h = w.findChild<HistoryWindow *>();
    QVERIFY(h);
    QTRY_VERIFY_WITH_TIMEOUT(!h->isLoading(), 15000);
    h->findChild<QTableView *>(QStringLiteral("table"))->selectRow(0);
    QTest::mouseClick(h->findChild<QPushButton *>(QStringLiteral("reprintButton")), Qt::LeftButton);
    auto *choice = h->findChild<ReprintDialog *>();
    QVERIFY(choice);
    if (!first.isEmpty()) {
        choice->findChild<QRadioButton *>(QStringLiteral("rangeRadio"))->click();
        choice->findChild<QLineEdit *>(QStringLiteral("firstEdit"))->setText(first);
        choice->findChild<QLineEdit *>(QStringLiteral("lastEdit"))->setText(last);
    }
    whenModal<ReprintStartDialog>([&](ReprintStartDialog *d) {
        SheetPicture *picture = d->picture();
        if (click > 0) {
            ClickSurface *surface = picture->surface();
            const QPoint at = surface->mapFrom(picture, picture->cell(click)->geometry().center());
            QTest::mouseMove(surface, at);
            QTest::mouseClick(surface, Qt::LeftButton, {}, at);
        }
        shownStart = picture->startPos();
        shownSheets = d->findChild<ChoiceList *>(QStringLiteral("sheetList"))->count();
        d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        startAnswered = true;
    });
    choice->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    // The reprint runs on after the choice; the history is listed again once it has ended.
    const bool ended = QTest::qWaitFor([&] { return startAnswered && !w.isBusy(); }, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!h->isLoading(), 15000);
    rowsAfter = h->model()->rowCount();
    h->reject();

    QVERIFY(ended);
    QCOMPARE(shownStart, start);
    QCOMPARE(shownSheets, sheets);
    QCOMPARE(w.editor().initialValue, nextNumber);
    const QList<HistoryEntry> after = historyOf(fx);
    if (!printed) {
        QCOMPARE(fx.readSettings(), settingsBefore);
        QCOMPARE(after.size(), 1);
        QCOMPARE(rowsAfter, 1);
        QVERIFY(!QFile::exists(dialogs->pdfPath));
        return;
    }
    QCOMPARE(dialogs->errors, QStringList());
    QCOMPARE(pdfWords(dialogs->pdfPath), jobWords.mid(2 * (from - 1), 2 * samples));
    QCOMPARE(fx.readSettings(), settingsWithStart(2, nextStart));
    QCOMPARE(rowsAfter, 2);
    QCOMPARE(after.size(), 2);
    const HistoryRecord &r = after.first().record;
    QCOMPARE(r.reprintOf, before.first().id);
    QCOMPARE(r.startPosition, start);
    QCOMPARE(r.nextNumber, nextNumber);
    QCOMPARE(int(after.first().outcome), int(JobOutcome::Printed));
    QVERIFY2(w.statusBar()->currentMessage().contains(QString::number(before.first().id)),
             qPrintable(w.statusBar()->currentMessage()));
}

void TestReprint::startTellsOfJobsEndedUnprinted_data()
{
    QTest::addColumn<bool>("history");  // a history with a job left waiting exists
    QTest::addColumn<int>("state");     // what the queue says of it
    QTest::addColumn<int>("notices");   // notices over two starts
    QTest::addColumn<int>("outcome");   // the job's outcome afterwards
    QTest::addColumn<bool>("lineSays"); // the status line tells of a failed look
    QTest::newRow("cancelled") << true << int(QueuedJobState::Cancelled) << 1
                               << int(JobOutcome::Cancelled) << false;
    QTest::newRow("still pending")
        << true << int(QueuedJobState::NotEnded) << 0 << int(JobOutcome::Waiting) << false;
    QTest::newRow("server silent")
        << true << int(QueuedJobState::NoAnswer) << 0 << int(JobOutcome::Waiting) << true;
    QTest::newRow("no history") << false << int(QueuedJobState::Cancelled) << 0 << -1 << false;
}

// Each start looks at the waiting jobs once the window is up: a job the queue ended without
// printing is marked and told about once; a start with no history makes none.
void TestReprint::startTellsOfJobsEndedUnprinted()
{
    QFETCH(bool, history);
    QFETCH(int, state);
    QFETCH(int, notices);
    QFETCH(int, outcome);
    QFETCH(bool, lineSays);
    WindowFixture fx;
    const QString file = fx.dir.filePath(QStringLiteral("history.sqlite"));
    if (history) {
        HistoryLocation where;
        where.filePath = file;
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(where, &error), qPrintable(error));
        HistoryRecord r;
        r.user = QStringLiteral("lab");
        r.sheetType = 2;
        r.samples = 2;
        r.firstNumber = 41;
        r.sampleTexts = {QStringLiteral("a"), QStringLiteral("b")};
        r.numberStyle = QStringLiteral("padded");
        r.queue = QStringLiteral("Lab");
        // Sent from this PC through the server the window asks.
        r.host = recordHostName();
        r.cupsServer = cupsServerName();
        const qint64 id = store.begin(r, &error);
        QVERIFY2(id > 0 && store.finish(id, JobOutcome::Waiting, QString(), 9, &error),
                 qPrintable(error));
    }
    auto asked = std::make_shared<std::atomic<int>>(0);
    fx.jobLookup = [asked, state](const QList<QueuedJob> &jobs) {
        ++*asked;
        QMap<int, QueuedJobLook> looks;
        for (const QueuedJob &job : jobs)
            looks.insert(job.cupsJobId,
                         {QueuedJobState(state), QStringLiteral("stopped by operator"), job.queue});
        return looks;
    };
    for (int run = 0; run < 2; ++run) {
        startAndRecheck(fx);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(fx.window->statusBar()->currentMessage().isEmpty(), !lineSays);
    }

    QCOMPARE(fx.dialogs->errors, QStringList());
    QCOMPARE(fx.dialogs->messages.size(), notices);
    if (notices > 0)
        QVERIFY2(fx.dialogs->messages.first().contains(QStringLiteral("ジョブ 9")),
                 qPrintable(fx.dialogs->messages.first()));
    if (!history) {
        QCOMPARE(asked->load(), 0);
        QVERIFY(!QFile::exists(file));
        return;
    }
    const QList<HistoryEntry> entries = historyOf(fx);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(int(entries.first().outcome), outcome);
}

QTEST_MAIN(TestReprint)
#include "tst_reprint.moc"
