// SPDX-License-Identifier: GPL-3.0-or-later
// A queue that refuses jobs and a paused queue, through the batch printer and the window:
// printed means the queue took the job. A refused job moves nothing on; a paused queue
// holds the job, which then counts as printed, with a notice.
#include "JobProgress.h"
#include "print/JobFollow.h"
#include "window/WindowSupport.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace corvial;

namespace {

const QByteArray kSettings = "10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n";
// Rectangle labels, 5 samples from position 1: the next job starts at 6.
const QStringList kJob{"-t", "2", "-n", "5", "--text", "AB"};
constexpr int kNextStart = 6;

bool run(const QString &program, const QStringList &args, QString *out = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool ok =
        p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return ok;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class QueueDialogs : public FakeDialogs
{
public:
    QString queue;
    bool choosePrinter(QWidget *, QPrinter *printer) override
    {
        printer->setPrinterName(queue);
        return true;
    }
};

} // namespace

class TestQueueStates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void queueState_data();
    void queueState();

private:
    QString mQueue;
};

void TestQueueStates::initTestCase()
{
    mQueue = qEnvironmentVariable("CORVIAL_CUPS_QUEUE", QStringLiteral("CorvialPDF"));
    if (!QPrinterInfo::availablePrinterNames().contains(mQueue)) {
        const QByteArray why =
            QStringLiteral("CUPS offers no queue %1 (is cupsd running?)").arg(mQueue).toLocal8Bit();
        if (qEnvironmentVariableIntValue("CORVIAL_REQUIRE_CUPS") == 1)
            QFAIL(why.constData());
        QSKIP(why.constData());
    }
}

void TestQueueStates::queueState_data()
{
    QTest::addColumn<QString>("stop");    // the command that puts the queue in the state
    QTest::addColumn<QString>("restore"); // and the one that takes it out again
    QTest::addColumn<bool>("printed");
    QTest::addColumn<QString>("message");
    QTest::newRow("refusing jobs")
        << "cupsreject"
        << "cupsaccept" << false << "プリンターがジョブを受け付けていません（corvial test）";
    QTest::newRow("paused") << "cupsdisable"
                            << "cupsenable" << true << "一時停止中";
}

void TestQueueStates::queueState()
{
    QFETCH(QString, stop);
    QFETCH(QString, restore);
    QFETCH(bool, printed);
    QFETCH(QString, message);

    QString out;
    QVERIFY2(run(stop, {QStringLiteral("-r"), QStringLiteral("corvial test"), mQueue}, &out),
             qPrintable(out));
    const auto back = qScopeGuard([&] {
        // A paused queue keeps the jobs it took; they are not wanted once the test is over.
        run(QStringLiteral("cancel"), {QStringLiteral("-a"), mQueue});
        run(restore, {mQueue});
    });

    // The batch printer.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    {
        QFile f(settings);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kSettings) == kSettings.size());
    }
    QProcess batch;
    // A paused queue's job is waited for no longer than --wait.
    batch.start(QStringLiteral(CORVIAL_BATCH),
                kJob + QStringList{"--wait", "1", "--printer", mQueue, "--settings", settings});
    QVERIFY(batch.waitForFinished(120000));
    const QString err = QString::fromUtf8(batch.readAllStandardError());
    QVERIFY2(batch.exitCode() == (printed ? 0 : 1), qPrintable(err));
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(readAll(settings) != kSettings, printed);

    // The window, on a start.txt of its own.
    QTemporaryDir windowDir;
    QVERIFY(windowDir.isValid());
    {
        QFile f(windowDir.filePath(QStringLiteral("start.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kSettings) == kSettings.size());
    }
    auto dialogs = std::make_shared<QueueDialogs>();
    dialogs->queue = mQueue;
    MainWindowEnvironment env;
    env.appDir = windowDir.path();
    env.dialogs = dialogs;
    TfrmMain w(env);
    chooseType(w, 2);
    clickRow(w.ListBox2, 4);
    w.Memo8->setPlainText(QStringLiteral("AB"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    // While the window waits for the held job, its dialog names the job and lets the user
    // go on without waiting; a refused job is never waited for.
    QString progressText;
    QTimer stopWaiting;
    QObject::connect(&stopWaiting, &QTimer::timeout, &stopWaiting, [&] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *progress = qobject_cast<QProgressDialog *>(top);
            if (!progress || !progress->isVisible() ||
                progress->objectName() != JobProgress::dialogName())
                continue;
            progressText = progress->findChild<QLabel *>()->text();
            QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        }
    });
    stopWaiting.start(100);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
    // The print runs on a worker; the window is busy until its result is handled.
    QVERIFY(idle(w, 2 * DefaultJobWaitSeconds * 1000));
    stopWaiting.stop();
    QVERIFY2(clock.elapsed() < DefaultJobWaitSeconds * 1000, qPrintable(progressText));
    QCOMPARE(progressText.contains(QStringLiteral("ジョブ")), printed);
    const QStringList said = printed ? dialogs->messages : dialogs->errors;
    QVERIFY2(said.size() == 1 && said.constFirst().contains(message),
             qPrintable(said.join(u'|') + dialogs->errors.join(u'|')));
    QCOMPARE(w.editor().startPos[2], printed ? kNextStart : 1);
    QCOMPARE(readAll(windowDir.filePath(QStringLiteral("start.txt"))) != kSettings, printed);
}

QTEST_MAIN(TestQueueStates)
#include "tst_queuestates.moc"
