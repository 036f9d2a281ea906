// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryTableModel.h"
#include "HistoryWindow.h"
#include "ReprintDialog.h"
#include "WindowSupport.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "print/CupsQueue.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTextDocument>
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

// A job of a history a test writes for itself.
struct Seed
{
    HistoryRecord record;
    JobOutcome outcome = JobOutcome::Printed;
    QString reason;
    int reprintOf = -1; // index of the seed this one prints again; -1: none
};

// A job of user with labels labels, started at utc.
Seed seed(const char *user, int labels, const QDateTime &utc, const QStringList &texts = {"S"})
{
    Seed s;
    s.record.user = QLatin1String(user);
    s.record.labels = labels;
    s.record.startedUtc = utc;
    s.record.samples = int(texts.size());
    s.record.sampleTexts = texts;
    s.record.pdfPath = QStringLiteral("/tmp/out.pdf");
    return s;
}

// Local midday of a day of 2026: the day the range is chosen by, in any time zone.
QDateTime midday(int month, int day, int ms = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(12, 0).addMSecs(ms)).toUTC();
}

// Writes seeds, oldest first, through the history library into a new history at file.
void writeHistory(const QString &file, QList<Seed> seeds)
{
    HistoryLocation where;
    where.filePath = file;
    HistoryStore store;
    QString error;
    QVERIFY2(store.open(where, &error), qPrintable(error));
    QList<qint64> ids;
    for (Seed &s : seeds) {
        if (s.reprintOf >= 0)
            s.record.reprintOf = ids.at(s.reprintOf);
        const qint64 id = store.begin(s.record, &error);
        QVERIFY2(id > 0 && store.finish(id, s.outcome, s.reason, 0, &error), qPrintable(error));
        ids << id;
    }
}

// What a tooltip shows: its text, or what its markup reads as.
QString shownTip(const QString &tip)
{
    QTextDocument doc;
    if (Qt::mightBeRichText(tip))
        doc.setHtml(tip);
    else
        doc.setPlainText(tip);
    return doc.toPlainText();
}

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

    // The column as the table shows it, in the order it shows the rows (the store's order
    // until a heading is clicked).
    QStringList column(int c) const
    {
        QStringList cells;
        const QAbstractItemModel *m = child<QTableView>("table")->model();
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
    void waitLoaded() const { QTRY_VERIFY_WITH_TIMEOUT(!mWindow->isLoading(), 15000); }
    // A window over a history of seeds, with every listing read.
    void openOn(const QList<Seed> &seeds)
    {
        const QString file = mDir.filePath(QStringLiteral("%1.sqlite").arg(++mFiles));
        writeHistory(file, seeds);
        HistoryLocation where;
        where.filePath = file;
        mWindow.reset(openPrintHistory(nullptr, where, mDialogs,
                                       [this](QWidget *, const HistoryEntry &e, int a, int b) {
                                           mReprints << std::make_tuple(e.id, a, b);
                                       },
                                       {}));
        mWindow->show();
        waitLoaded();
    }
    int mFiles = 0;

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
    void unreadableHistoryShowsWhyInTheWindow();
    void menuShowsTheHistoryBesideStartTxt();
    void unknownOutcomeShowsItsWord();
    void marksOutcomesAndReprints_data();
    void marksOutcomesAndReprints();
    void headingClickSorts_data();
    void headingClickSorts();
    void dateRangeFilters_data();
    void dateRangeFilters();
    void textsKeepTheirLines_data();
    void textsKeepTheirLines();
    void lockedHistoryKeepsTheWindowRunning();
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
    mWindow->show();
    waitLoaded();
    mNotices << mDialogs.messages;
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
    waitLoaded();
    QCOMPARE(column(HistoryTableModel::User), users);
    QVERIFY(mDialogs.errors.isEmpty());
}

void TestHistoryWindow::exportWritesShownRows()
{
    child<QLineEdit>("textEdit")->setText(QStringLiteral("血液"));
    QTest::keyClick(child<QLineEdit>("textEdit"), Qt::Key_Return);
    waitLoaded();
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

void TestHistoryWindow::unreadableHistoryShowsWhyInTheWindow()
{
    // A file where the history's folder should be.
    HistoryLocation blocked;
    blocked.filePath = mWhere.filePath + QStringLiteral("/inside.sqlite");
    FakeDialogs dialogs;
    const auto never = [](const QList<QueuedJob> &) -> QMap<int, QueuedJobLook> {
        qFatal("a history that is not open was re-checked");
    };
    mWindow.reset(openPrintHistory(nullptr, blocked, dialogs, {}, never));
    mWindow->show();
    waitLoaded();
    // Told once, and left in the window beside the empty table, naming the file.
    QCOMPARE(dialogs.errors.size(), 1);
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(child<QLabel>("statusLabel")->text(), dialogs.errors.first());
    QVERIFY2(dialogs.errors.first().contains(QStringLiteral("inside.sqlite")),
             qPrintable(dialogs.errors.first()));
    QCOMPARE(mWindow->model()->rowCount(), 0);
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
    // The menu returns with the window open over the main window; its rows come after.
    w.mnuHistory->trigger();
    auto *h = w.findChild<HistoryWindow *>();
    QVERIFY(h && h->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), h);
    QTRY_VERIFY_WITH_TIMEOUT(!h->isLoading(), 15000);
    QStringList users;
    for (int r = 0; r < h->model()->rowCount(); ++r)
        users << h->model()->index(r, HistoryTableModel::User).data().toString();
    QCOMPARE(users, QStringList{QStringLiteral("menu-user")});
    QCOMPARE(fx.dialogs->errors, QStringList());
    h->reject();
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
    waitLoaded();
    QCOMPARE(column(HistoryTableModel::Outcome),
             (QStringList{outcomeJapanese(JobOutcome::Unfinished), QStringLiteral("archived")}));
}

void TestHistoryWindow::marksOutcomesAndReprints_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("reprint"); // the job prints the one before it again
    QTest::addColumn<bool>("marked");  // its labels did not come out
    QTest::newRow("printed") << int(JobOutcome::Printed) << false << false;
    QTest::newRow("failed") << int(JobOutcome::Failed) << false << true;
    QTest::newRow("aborted") << int(JobOutcome::Aborted) << false << true;
    QTest::newRow("cancelled") << int(JobOutcome::Cancelled) << false << true;
    QTest::newRow("waiting") << int(JobOutcome::Waiting) << false << false;
    QTest::newRow("reprint") << int(JobOutcome::Printed) << true << false;
    QTest::newRow("failed reprint") << int(JobOutcome::Failed) << true << true;
}

void TestHistoryWindow::marksOutcomesAndReprints()
{
    QFETCH(int, outcome);
    QFETCH(bool, reprint);
    QFETCH(bool, marked);
    // Jobs before the one looked at, so that the id it names is not its neighbour's by chance.
    const QList<const char *> before = {"b0", "b1", "b2"};
    QList<Seed> seeds;
    for (const char *user : before)
        seeds << seed(user, 1, midday(4, 1 + int(seeds.size())));
    Seed job = seed("job", 1, midday(5, 1));
    job.outcome = JobOutcome(outcome);
    job.reason = marked ? QStringLiteral("理由") : QString();
    job.reprintOf = reprint ? 1 : -1;
    seeds << job;
    openOn(seeds);
    const HistoryTableModel *m = mWindow->model();
    const int row = rowOf(QStringLiteral("job"));
    const QModelIndex cell = m->index(row, HistoryTableModel::Outcome);
    QCOMPARE(cell.data().toString(), outcomeJapanese(JobOutcome(outcome)));
    // A shape beside the word, and a tint, only for what did not print.
    QCOMPARE(!cell.data(Qt::DecorationRole).value<QIcon>().isNull(), marked);
    QCOMPARE(cell.data(Qt::BackgroundRole).isValid(), marked);
    const QString mark = m->index(row, HistoryTableModel::Reprint).data().toString();
    QCOMPARE(mark.isEmpty(), !reprint);
    if (reprint) {
        const QString original =
            m->index(rowOf(QLatin1String(before.at(1))), HistoryTableModel::Id).data().toString();
        QVERIFY2(mark.contains(QStringLiteral("再印刷")) &&
                     mark.contains(QStringLiteral("#%1)").arg(original)),
                 qPrintable(mark + QLatin1Char(' ') + original));
    }
}

void TestHistoryWindow::headingClickSorts_data()
{
    QTest::addColumn<int>("heading");
    QTest::addColumn<int>("clicks"); // the first sorts ascending, the second descending
    QTest::addColumn<QStringList>("users");
    // p and q started within one second, p later: the time shown is the same.
    QTest::newRow("labels up") << int(HistoryTableModel::Labels) << 1
                               << QStringList{"s", "p", "q", "r", "t"};
    QTest::newRow("labels down") << int(HistoryTableModel::Labels) << 2
                                 << QStringList{"t", "r", "q", "p", "s"};
    QTest::newRow("time up") << int(HistoryTableModel::Time) << 1
                             << QStringList{"s", "q", "p", "r", "t"};
    QTest::newRow("time down") << int(HistoryTableModel::Time) << 2
                               << QStringList{"t", "r", "p", "q", "s"};
}

void TestHistoryWindow::headingClickSorts()
{
    QFETCH(int, heading);
    QFETCH(int, clicks);
    QFETCH(QStringList, users);
    openOn({seed("s", 1, midday(4, 20)), seed("q", 5, midday(5, 1, 100)),
            seed("p", 2, midday(5, 1, 900)), seed("r", 12, midday(5, 3)),
            seed("t", 30, midday(5, 10))});
    auto *table = child<QTableView>("table");
    table->scrollTo(table->model()->index(0, heading));
    QHeaderView *header = table->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(heading) + header->sectionSize(heading) / 2,
                    header->height() / 2);
    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(column(HistoryTableModel::User), users);
    // The job picked in the sorted table is the one printed again.
    const QString top = column(HistoryTableModel::Id).first();
    table->selectRow(0);
    QTest::mouseClick(child<QPushButton>("reprintButton"), Qt::LeftButton);
    auto *dialog = mWindow->findChild<ReprintDialog *>();
    QVERIFY(dialog);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(mReprints.size(), 1);
    QCOMPARE(QString::number(std::get<0>(mReprints.first())), top);
}

void TestHistoryWindow::dateRangeFilters_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("users"); // empty with refused: the range is refused
    QTest::addColumn<bool>("refused");
    QTest::newRow("off") << false << QDate(2026, 5, 2) << QDate(2026, 5, 2)
                         << QStringList{"e", "d", "c", "b", "a"} << false;
    QTest::newRow("one day") << true << QDate(2026, 5, 3) << QDate(2026, 5, 3) << QStringList{"c"}
                             << false;
    QTest::newRow("both ends kept")
        << true << QDate(2026, 5, 1) << QDate(2026, 5, 15) << QStringList{"d", "c", "b"} << false;
    QTest::newRow("before every job")
        << true << QDate(2026, 1, 1) << QDate(2026, 4, 19) << QStringList{} << false;
    QTest::newRow("ends before it starts")
        << true << QDate(2026, 5, 10) << QDate(2026, 5, 1) << QStringList{} << true;
}

void TestHistoryWindow::dateRangeFilters()
{
    QFETCH(bool, on);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, users);
    QFETCH(bool, refused);
    openOn({seed("a", 1, midday(4, 20)), seed("b", 1, midday(5, 1)), seed("c", 1, midday(5, 3)),
            seed("d", 1, midday(5, 15)), seed("e", 1, midday(6, 1))});
    child<QDateEdit>("fromDate")->setDate(from);
    child<QDateEdit>("toDate")->setDate(to);
    if (on)
        child<QCheckBox>("rangeCheck")->click();
    waitLoaded();
    QCOMPARE(column(HistoryTableModel::User), users);
    const QString status = child<QLabel>("statusLabel")->text();
    QCOMPARE(status.contains(from.toString(QStringLiteral("yyyy/MM/dd"))) &&
                 status.contains(to.toString(QStringLiteral("yyyy/MM/dd"))),
             refused);
    QVERIFY(mDialogs.errors.isEmpty());
}

void TestHistoryWindow::textsKeepTheirLines_data()
{
    QTest::addColumn<int>("cellColumn");
    QTest::addColumn<QString>("text");  // the failure reason, or the first sample's text
    QTest::addColumn<QString>("shown"); // what its tooltip shows
    QTest::newRow("reason, LF") << int(HistoryTableModel::Outcome)
                                << QStringLiteral("用紙切れ\nトレイ 2")
                                << QStringLiteral("用紙切れ\nトレイ 2");
    QTest::newRow("reason, CR LF")
        << int(HistoryTableModel::Outcome) << QStringLiteral("a\r\nb") << QStringLiteral("a\nb");
    QTest::newRow("reason, tab") << int(HistoryTableModel::Outcome) << QStringLiteral("a\tb\nc")
                                 << QStringLiteral("aU+0009b\nc");
    QTest::newRow("reason, markup")
        << int(HistoryTableModel::Outcome) << QStringLiteral("<b>停止</b>\n<img src=\"x\">")
        << QStringLiteral("<b>停止</b>\n<img src=\"x\">");
    QTest::newRow("first text, LF")
        << int(HistoryTableModel::FirstText) << QStringLiteral("血液 A\nLot 4")
        << QStringLiteral("血液 A\nLot 4");
    QTest::newRow("first text, override")
        << int(HistoryTableModel::FirstText) << QStringLiteral("A\u202EB\nC")
        << QStringLiteral("AU+202EB\nC");
}

void TestHistoryWindow::textsKeepTheirLines()
{
    QFETCH(int, cellColumn);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    const bool reason = cellColumn == HistoryTableModel::Outcome;
    Seed job = seed("job", 2, midday(5, 1),
                    reason ? QStringList{"x"} : QStringList{text, QStringLiteral("second")});
    if (reason) {
        job.outcome = JobOutcome::Failed;
        job.reason = text;
    }
    openOn({job});
    const QModelIndex cell = mWindow->model()->index(0, cellColumn);
    QCOMPARE(shownTip(cell.data(Qt::ToolTipRole).toString()), shown);
    if (reason)
        return;
    // The cell is one line that still shows where each line ends.
    const QString line = cell.data().toString();
    const QStringList lines = shown.split(QLatin1Char('\n'));
    QVERIFY2(!line.contains(QLatin1Char('\n')) && !line.contains(lines.join(QString())),
             qPrintable(line));
    for (const QString &part : lines)
        QVERIFY2(line.contains(part), qPrintable(line));
}

void TestHistoryWindow::lockedHistoryKeepsTheWindowRunning()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    HistoryLocation where;
    QString error;
    QVERIFY2(historyLocationForSettings(fx.settingsPath(), &where, &error), qPrintable(error));
    writeHistory(where.filePath, {seed("locked", 1, midday(5, 1))});
    // Another program holds the history in an exclusive transaction; in exclusive locking
    // mode even a reader has to wait for it.
    const QString locker = QStringLiteral("locker");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), locker);
        db.setDatabaseName(where.filePath);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")));
        QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QVERIFY(q.exec(QStringLiteral("DELETE FROM jobs WHERE id < 0")));
    }
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(20);
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start();
    HistoryWindow *h = nullptr;
    int ticksLocked = -1, rowsLocked = -1;
    QTimer::singleShot(1500, [&] {
        ticksLocked = ticks;
        rowsLocked = h ? h->model()->rowCount() : -1;
        QSqlDatabase::database(locker).close();
    });
    w.mnuHistory->trigger();
    h = w.findChild<HistoryWindow *>();
    // The window is up, saying it is reading, before the lock is let go.
    QVERIFY(h && h->isVisible() && h->isLoading());
    QCOMPARE(ticksLocked, -1);
    QVERIFY(!h->findChild<QLabel *>(QStringLiteral("statusLabel"))->text().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!h->isLoading(), 15000);
    QSqlDatabase::removeDatabase(locker);
    // The timer went on firing while the history was locked (a thread held in a wait fires a
    // missed timer once when it is let go), and the rows came only after it was released.
    QVERIFY2(ticksLocked > 2, qPrintable(QString::number(ticksLocked)));
    QCOMPARE(rowsLocked, 0);
    QCOMPARE(h->model()->rowCount(), 1);
    QCOMPARE(fx.dialogs->errors, QStringList());
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
