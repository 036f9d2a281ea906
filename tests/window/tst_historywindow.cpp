// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryTableModel.h"
#include "HistoryWindow.h"
#include "ReprintDialog.h"
#include "WindowSupport.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "print/CupsQueue.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>

using namespace corvial;

namespace {

// One job of the fixture: who printed it, how it ended and what the queue says now.
struct Job
{
    const char *user;
    int sheetType;
    int firstNumber;
    QStringList texts;
    JobOutcome outcome;
    const char *reason;
    int cupsJobId;
};

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    HistoryLocation mWhere;
    FakeDialogs mDialogs;
    QStringList mNotices; // every notice the openings gave, in order
    QList<std::tuple<qint64, int, int>> mReprints;
    std::unique_ptr<HistoryWindow> mWindow;

    QStringList column(int c) const
    {
        QStringList cells;
        const HistoryTableModel *m = mWindow->model();
        for (int r = 0; r < m->rowCount(); ++r)
            cells << m->index(r, c).data().toString();
        return cells;
    }
    template <class T> T *child(const char *name) const
    {
        T *w = mWindow->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    int rowOf(const QString &user) const
    {
        return int(column(HistoryTableModel::User).indexOf(user));
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void newestFirstWithOutcomes();
    void searchFiltersRows_data();
    void searchFiltersRows();
    void exportWritesShownRows();
    void reprintChoosesSamples_data();
    void reprintChoosesSamples();
    void unreadableHistoryOpensNoWindow();
    void menuShowsTheHistoryBesideStartTxt();
    void unknownOutcomeShowsItsWord();
};

void TestHistoryWindow::initTestCase()
{
    QVERIFY(mDir.isValid());
    mWhere.filePath = mDir.filePath(QStringLiteral("history.sqlite"));
    HistoryStore store;
    QString error;
    QVERIFY2(store.open(mWhere, &error), qPrintable(error));
    // Oldest first; type 3 prints no numbers; the last job recorded no samples.
    const QList<Job> jobs = {
        {"alice", 1, 9998, {"血液 A", "血液 B", "血液 C"}, JobOutcome::Printed, "", 5},
        {"bob", 2, 100, {"尿 1", "尿 2"}, JobOutcome::Failed, "プリンターが応答しません", 0},
        {"carol", 3, 500, {"便"}, JobOutcome::Waiting, "", 7},
        {"dave", 1, 40, {}, JobOutcome::Waiting, "", 8},
    };
    const QDateTime start(QDate(2026, 5, 1), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < jobs.size(); ++i) {
        const Job &j = jobs.at(i);
        HistoryRecord r;
        r.startedUtc = start.addSecs(3600 * i);
        r.user = QLatin1String(j.user);
        r.sheetType = j.sheetType;
        r.firstNumber = j.firstNumber;
        r.samples = int(j.texts.size());
        r.sampleTexts = j.texts;
        r.labels = r.samples;
        r.numberStyle = QStringLiteral("padded");
        if (j.cupsJobId > 0) {
            r.queue = QStringLiteral("Lab");
            // Sent from this PC through the server the window asks.
            r.host = recordHostName();
            r.cupsServer = cupsServerName();
        } else
            r.pdfPath = mDir.filePath(QStringLiteral("out.pdf"));
        const qint64 id = store.begin(r, &error);
        QVERIFY2(id > 0, qPrintable(error));
        QVERIFY2(store.finish(id, j.outcome, QString::fromUtf8(j.reason), j.cupsJobId, &error),
                 qPrintable(error));
    }
}

void TestHistoryWindow::init()
{
    // The queue aborted carol's job while nobody looked; dave's is still pending.
    const auto lookup = [](const QList<QueuedJob> &jobs) {
        QMap<int, QueuedJobLook> looks;
        for (const QueuedJob &job : jobs)
            looks.insert(job.cupsJobId,
                         {job.cupsJobId == 7 ? QueuedJobState::Aborted : QueuedJobState::NotEnded,
                          QStringLiteral("用紙切れ"), job.queue});
        return looks;
    };
    mDialogs = FakeDialogs();
    mReprints.clear();
    mWindow.reset(openPrintHistory(
        nullptr, mWhere, mDialogs,
        [this](QWidget *, const HistoryEntry &e, int a, int b) {
            mReprints << std::make_tuple(e.id, a, b);
        },
        lookup));
    QVERIFY(mWindow);
    mNotices << mDialogs.messages;
    mWindow->show();
}

void TestHistoryWindow::cleanup()
{
    mWindow.reset();
}

void TestHistoryWindow::newestFirstWithOutcomes()
{
    QCOMPARE(column(HistoryTableModel::User), (QStringList{"dave", "carol", "bob", "alice"}));
    QCOMPARE(
        column(HistoryTableModel::Outcome),
        (QStringList{outcomeJapanese(JobOutcome::Waiting), outcomeJapanese(JobOutcome::Aborted),
                     outcomeJapanese(JobOutcome::Failed), outcomeJapanese(JobOutcome::Printed)}));
    const HistoryTableModel *m = mWindow->model();
    QCOMPARE(m->index(rowOf("bob"), HistoryTableModel::Outcome).data(Qt::ToolTipRole).toString(),
             QStringLiteral("プリンターが応答しません"));
    // A type without numbers shows none; a numbered one shows its run across the wrap.
    QVERIFY(m->index(rowOf("carol"), HistoryTableModel::Numbers).data().toString().isEmpty());
    const QString wrapped = m->index(rowOf("alice"), HistoryTableModel::Numbers).data().toString();
    QVERIFY2(wrapped.startsWith(QStringLiteral("9998")) && wrapped.endsWith(QStringLiteral("0000")),
             qPrintable(wrapped));
    // The first opening told once about carol's job, which the queue ended unprinted.
    QVERIFY2(mDialogs.errors.isEmpty(), qPrintable(mDialogs.errors.join('\n')));
    QCOMPARE(mNotices.size(), 1);
    QVERIFY2(mNotices.first().contains(QStringLiteral("ジョブ 7")) &&
                 !mNotices.first().contains(QStringLiteral("ジョブ 8")),
             qPrintable(mNotices.first()));
    // A job with no samples recorded has nothing to print again.
    child<QTableView>("table")->selectRow(rowOf("dave"));
    QVERIFY(!child<QPushButton>("reprintButton")->isEnabled());
}

void TestHistoryWindow::searchFiltersRows_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("users");
    QTest::newRow("nothing") << ""
                             << "" << QStringList{"dave", "carol", "bob", "alice"};
    QTest::newRow("before the wrap") << "9999"
                                     << "" << QStringList{"alice"};
    QTest::newRow("after the wrap") << "0"
                                    << "" << QStringList{"alice"};
    QTest::newRow("padded as typed") << "0101"
                                     << "" << QStringList{"bob"};
    QTest::newRow("printed by none") << "5000"
                                     << "" << QStringList{};
    QTest::newRow("text") << ""
                          << "尿" << QStringList{"bob"};
    QTest::newRow("number and text") << "101"
                                     << "血液" << QStringList{};
}

void TestHistoryWindow::searchFiltersRows()
{
    QFETCH(QString, number);
    QFETCH(QString, text);
    QFETCH(QStringList, users);
    child<QLineEdit>("numberEdit")->setText(number);
    child<QLineEdit>("textEdit")->setText(text);
    QTest::keyClick(child<QLineEdit>("textEdit"), Qt::Key_Return);
    QCOMPARE(column(HistoryTableModel::User), users);
    QVERIFY(mDialogs.errors.isEmpty());
}

void TestHistoryWindow::exportWritesShownRows()
{
    child<QLineEdit>("textEdit")->setText(QStringLiteral("血液"));
    QTest::keyClick(child<QLineEdit>("textEdit"), Qt::Key_Return);
    mDialogs.saveName = mDir.filePath(QStringLiteral("履歴.csv"));
    QTest::mouseClick(child<QPushButton>("exportButton"), Qt::LeftButton);
    QVERIFY2(mDialogs.errors.isEmpty(), qPrintable(mDialogs.errors.join('\n')));

    QFile file(mDialogs.saveName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray csv = file.readAll();
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    // Rows end in CR LF; a sample's own line breaks are LF inside a quoted cell.
    QList<QByteArray> rows = csv.mid(3).split('\r');
    QVERIFY(rows.takeFirst().startsWith("id,"));
    QStringList ids;
    for (const QByteArray &row : rows)
        if (row.size() > 1)
            ids << QString::fromUtf8(row.mid(1).split(',').first());
    QStringList shown;
    for (const HistoryEntry &e : mWindow->model()->entries())
        shown << QString::number(e.id);
    QCOMPARE(ids, shown);
    QCOMPARE(shown.size(), 1);

    // A folder that is not there: the failure names the file, and nothing is left behind.
    mDialogs.saveName = mDir.filePath(QStringLiteral("no-folder/履歴.csv"));
    QTest::mouseClick(child<QPushButton>("exportButton"), Qt::LeftButton);
    QCOMPARE(mDialogs.errors.size(), 1);
    QVERIFY(mDialogs.errors.first().contains(QStringLiteral("履歴.csv")));
    QVERIFY(!QFile::exists(mDialogs.saveName));
}

void TestHistoryWindow::reprintChoosesSamples_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("first"); // empty: all samples
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("firstIndex"); // -1: refused with a message, nothing printed
    QTest::addColumn<int>("lastIndex");
    QTest::newRow("all") << "alice"
                         << ""
                         << "" << 0 << 2;
    QTest::newRow("across the wrap") << "alice"
                                     << "9999"
                                     << "0" << 1 << 2;
    QTest::newRow("one") << "bob"
                         << "0101"
                         << "101" << 1 << 1;
    QTest::newRow("not of the job") << "alice"
                                    << "9997"
                                    << "9999" << -1 << -1;
    QTest::newRow("not a number") << "alice"
                                  << "x"
                                  << "9999" << -1 << -1;
    QTest::newRow("job without numbers") << "carol"
                                         << ""
                                         << "" << 0 << 0;
}

void TestHistoryWindow::reprintChoosesSamples()
{
    QFETCH(QString, user);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, firstIndex);
    QFETCH(int, lastIndex);
    auto *table = child<QTableView>("table");
    table->selectRow(rowOf(user));
    QVERIFY(child<QPushButton>("reprintButton")->isEnabled());
    const qint64 id = mWindow->model()->entries().at(rowOf(user)).id;
    QTest::mouseClick(child<QPushButton>("reprintButton"), Qt::LeftButton);
    auto *dialog = mWindow->findChild<ReprintDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    if (!first.isEmpty()) {
        dialog->findChild<QRadioButton *>("rangeRadio")->click();
        dialog->findChild<QLineEdit *>("firstEdit")->setText(first);
        dialog->findChild<QLineEdit *>("lastEdit")->setText(last);
    }
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    if (firstIndex < 0) {
        QVERIFY(mReprints.isEmpty());
        QCOMPARE(mDialogs.errors.size(), 1);
        QVERIFY(dialog->isVisible());
        return;
    }
    QCOMPARE(mReprints, (QList<std::tuple<qint64, int, int>>{{id, firstIndex, lastIndex}}));
}

void TestHistoryWindow::unreadableHistoryOpensNoWindow()
{
    // A file where the history's folder should be.
    HistoryLocation blocked;
    blocked.filePath = mWhere.filePath + QStringLiteral("/inside.sqlite");
    FakeDialogs dialogs;
    const auto never = [](const QList<QueuedJob> &) -> QMap<int, QueuedJobLook> {
        qFatal("a history that is not open was re-checked");
    };
    QVERIFY(!openPrintHistory(nullptr, blocked, dialogs, {}, never));
    QCOMPARE(dialogs.errors.size(), 1);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestHistoryWindow::menuShowsTheHistoryBesideStartTxt()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    HistoryLocation where;
    QString error;
    QVERIFY2(historyLocationForSettings(fx.settingsPath(), &where, &error), qPrintable(error));
    QCOMPARE(QFileInfo(where.filePath).absolutePath(), QFileInfo(fx.settingsPath()).absolutePath());
    {
        HistoryStore store;
        QVERIFY2(store.open(where, &error), qPrintable(error));
        HistoryRecord r;
        r.user = QStringLiteral("menu-user");
        r.sheetType = 2;
        r.samples = 1;
        r.sampleTexts = {QStringLiteral("S")};
        QVERIFY2(store.begin(r, &error) > 0, qPrintable(error));
    }
    // The history window is modal: look at it and close it from inside its own loop.
    QStringList users;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        if (auto *h = qobject_cast<HistoryWindow *>(QApplication::activeModalWidget())) {
            seen = true;
            for (int r = 0; r < h->model()->rowCount(); ++r)
                users << h->model()->index(r, HistoryTableModel::User).data().toString();
            h->reject();
        }
    });
    w.mnuHistory->trigger();
    QVERIFY(seen);
    QCOMPARE(users, QStringList{QStringLiteral("menu-user")});
    QCOMPARE(fx.dialogs->errors, QStringList());
}

void TestHistoryWindow::unknownOutcomeShowsItsWord()
{
    // An outcome word this version does not know (a newer version's, or a hand edit) shows
    // as it stands, and the history still opens with every job.
    HistoryLocation where;
    where.filePath = mDir.filePath(QStringLiteral("unknown.sqlite"));
    {
        HistoryStore store;
        QString error;
        QVERIFY2(store.open(where, &error), qPrintable(error));
        HistoryRecord r;
        r.user = QStringLiteral("frank");
        const qint64 id = store.begin(r, &error);
        QVERIFY2(id > 0 && store.finish(id, JobOutcome::Printed, {}, 0, &error), qPrintable(error));
        QSqlQuery q(store.connection());
        QVERIFY(q.exec(QStringLiteral("INSERT INTO outcomes (job_id, recorded_utc, outcome, "
                                      "reason) VALUES (%1, '2026-06-01T00:00:00.000Z', "
                                      "'archived', '')")
                           .arg(id)));
        r.user = QStringLiteral("gina");
        QVERIFY2(store.begin(r, &error) > 0, qPrintable(error));
    }
    mWindow.reset(openPrintHistory(
        nullptr, where, mDialogs, [](QWidget *, const HistoryEntry &, int, int) {},
        [](const QList<QueuedJob> &) { return QMap<int, QueuedJobLook>(); }));
    QVERIFY(mWindow);
    QCOMPARE(column(HistoryTableModel::Outcome),
             (QStringList{outcomeJapanese(JobOutcome::Unfinished), QStringLiteral("archived")}));
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
