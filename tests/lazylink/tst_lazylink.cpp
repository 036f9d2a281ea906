// SPDX-License-Identifier: GPL-3.0-or-later
// A library linked through its stubs is loaded at the first call of one of its functions, and
// the call reaches it with its arguments intact; one that cannot be loaded ends the program
// saying which.
#include "LazyLibrary.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <cups/cups.h>
#include <libpq-fe.h>

extern "C" CorvialLazyLibrary corvial_lazy_cups_library;
extern "C" CorvialLazyLibrary corvial_lazy_libpq_library;

namespace {

bool mapped(const char *soname)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.read(16 * 1024 * 1024).contains(soname);
}

} // namespace

class TestLazyLink : public QObject
{
    Q_OBJECT

private slots:
    void loadedAtFirstCall();
    void missingLibraryIsNamed();
};

void TestLazyLink::loadedAtFirstCall()
{
    for (const CorvialLazyLibrary *l : {&corvial_lazy_cups_library, &corvial_lazy_libpq_library})
        QVERIFY2(!corvial_lazy_loaded(l) && !mapped(l->soname), l->soname);
    // More arguments than registers pass, variadic ones, and a double among them, which also
    // needs the vector count: every way of passing one crosses the first call.
    char uri[256] = {};
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 631,
                     "/printers/%s-%d-%.2f", "a b", -7, -12.25);
    QCOMPARE(QByteArray(uri), QByteArray("ipp://localhost:631/printers/a%20b--7--12.25"));
    QVERIFY(corvial_lazy_loaded(&corvial_lazy_cups_library));
    QVERIFY(mapped(corvial_lazy_cups_library.soname));
    // Only the library called is loaded.
    QVERIFY(!corvial_lazy_loaded(&corvial_lazy_libpq_library));
    QVERIFY(PQlibVersion() > 0);
    QVERIFY(corvial_lazy_loaded(&corvial_lazy_libpq_library));
}

// A stub whose library is missing ends the program, naming the library, instead of going on
// as if the function had run.
void TestLazyLink::missingLibraryIsNamed()
{
    if (qEnvironmentVariableIsSet("CORVIAL_LAZYLINK_CHILD")) {
        const char *const names[] = {"corvialMissing"};
        void *targets[] = {nullptr};
        CorvialLazyLibrary missing{"libcorvial-missing.so.9", names, targets, 1, nullptr};
        corvial_lazy_resolve(&missing, 0);
        QFAIL("resolved a function of a library that does not exist");
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVIAL_LAZYLINK_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("missingLibraryIsNamed")});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QString said = QString::fromUtf8(child.readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("ライブラリを読み込めません（libcorvial-missing.so.9）")),
             qPrintable(said));
}

QTEST_GUILESS_MAIN(TestLazyLink)
#include "tst_lazylink.moc"
