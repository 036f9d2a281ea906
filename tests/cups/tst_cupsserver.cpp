// SPDX-License-Identifier: GPL-3.0-or-later
// A print server that cannot be reached is named as such, never taken for a printer that is
// not set up. No cupsd is needed: the server is a port where nothing listens.
#include "print/CupsQueue.h"

#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

#include <cups/cups.h>

using namespace corvial;

class TestCupsServer : public QObject
{
    Q_OBJECT

private slots:
    void unreachableServerIsNamed();
};

void TestCupsServer::unreachableServerIsNamed()
{
    const QString server = QStringLiteral("127.0.0.1:1");
    const QString said = QStringLiteral("印刷サーバー %1 に接続できません").arg(server);

    QProcess batch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), server);
    batch.setProcessEnvironment(env);
    batch.start(QStringLiteral(CORVIAL_BATCH),
                {"-t", "2", "-n", "1", "--text", "AB", "--printer", "CorvialPDF"});
    QVERIFY(batch.waitForFinished(120000));
    const QString err = QString::fromUtf8(batch.readAllStandardError());
    QVERIFY2(batch.exitCode() == 1 && err.contains(said), qPrintable(err));
    QVERIFY2(!err.contains(QStringLiteral("登録されていません")), qPrintable(err));

    // The window's queue check, through the same library calls in this process.
    cupsSetServer(server.toUtf8().constData());
    const auto restore = qScopeGuard([] { cupsSetServer(nullptr); });
    const QueueState state = cupsQueueState(QStringLiteral("CorvialPDF"));
    QVERIFY(!state.answered);
    QVERIFY2(state.reason.contains(said), qPrintable(state.reason));

    // Every path says why in words, from the connection itself, not what closing the socket
    // left in errno.
    QHash<int, JobStatus> statuses;
    QString lookError;
    QVERIFY(!cupsJobStatuses({1, 2}, &statuses, &lookError));
    for (const QString &text : {err, state.reason, cupsServerProblem(), lookError}) {
        QVERIFY2(text.contains(said) && text.contains(QStringLiteral("接続を断られました")) &&
                     !text.contains(QStringLiteral("Bad file descriptor")),
                 qPrintable(text));
    }
}

QTEST_MAIN(TestCupsServer)
#include "tst_cupsserver.moc"
