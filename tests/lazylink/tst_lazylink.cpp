// SPDX-License-Identifier: GPL-3.0-or-later
// A library linked through its stubs is loaded at the first call of one of its functions and
// every call reaches it with its arguments intact; one that cannot be loaded ends the program
// saying which.
#include "LazyLibrary.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <cups/cups.h>
#include <dlfcn.h>
#include <libpq-fe.h>

extern "C" CorvialLazyLibrary corvial_lazy_cups_library;
extern "C" CorvialLazyLibrary corvial_lazy_libpq_library;

namespace {

bool mapped(const char *soname)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.read(16 * 1024 * 1024).contains(soname);
}

// httpAssembleURIf takes more arguments than registers pass and is variadic: a double among
// its variadic ones also needs the vector count, so every way of passing one is used.
QByteArray assembled(const char *printer, int copies, double scale)
{
    char uri[256] = {};
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 631,
                     "/printers/%s-%d-%.2f", printer, copies, scale);
    return QByteArray(uri);
}

} // namespace

class TestLazyLink : public QObject
{
    Q_OBJECT

private slots:
    void loadedAtFirstCall();
    void argumentsReachTheLibrary_data();
    void argumentsReachTheLibrary();
    void sameFunctionAsTheLibrarys();
    void missingLibraryIsNamed();
};

void TestLazyLink::loadedAtFirstCall()
{
    for (const CorvialLazyLibrary *l : {&corvial_lazy_cups_library, &corvial_lazy_libpq_library}) {
        QVERIFY2(!corvial_lazy_loaded(l), l->soname);
        QVERIFY2(!mapped(l->soname), l->soname);
    }
    QCOMPARE(assembled("q", 1, 1.0), QByteArray("ipp://localhost:631/printers/q-1-1.00"));
    QVERIFY(corvial_lazy_loaded(&corvial_lazy_cups_library));
    QVERIFY(mapped(corvial_lazy_cups_library.soname));
    // Only the library called is loaded.
    QVERIFY(!corvial_lazy_loaded(&corvial_lazy_libpq_library));
    QVERIFY(PQlibVersion() > 0);
    QVERIFY(corvial_lazy_loaded(&corvial_lazy_libpq_library));
}

void TestLazyLink::argumentsReachTheLibrary_data()
{
    QTest::addColumn<QByteArray>("printer");
    QTest::addColumn<int>("copies");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QByteArray>("uri");
    QTest::newRow("plain") << QByteArray("lab") << 2 << 0.5
                           << QByteArray("ipp://localhost:631/printers/lab-2-0.50");
    QTest::newRow("negative, escaped")
        << QByteArray("a b") << -7 << -12.25
        << QByteArray("ipp://localhost:631/printers/a%20b--7--12.25");
}

void TestLazyLink::argumentsReachTheLibrary()
{
    QFETCH(QByteArray, printer);
    QFETCH(int, copies);
    QFETCH(double, scale);
    QFETCH(QByteArray, uri);
    QCOMPARE(assembled(printer.constData(), copies, scale), uri);
}

// The program's function is the library's own, as the loader would have bound it.
void TestLazyLink::sameFunctionAsTheLibrarys()
{
    void *cups = dlopen(corvial_lazy_cups_library.soname, RTLD_NOW | RTLD_NOLOAD);
    QVERIFY(cups);
    using TagString = const char *(*)(ipp_tag_t);
    const auto own = reinterpret_cast<TagString>(dlsym(cups, "ippTagString"));
    QVERIFY(own);
    for (ipp_tag_t tag : {IPP_TAG_KEYWORD, IPP_TAG_INTEGER, IPP_TAG_URI})
        QCOMPARE(ippTagString(tag), own(tag));
    dlclose(cups);
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
