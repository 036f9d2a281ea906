// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/ShiftJis.h"
#include "settings/CompanionSettings.h"
#include "sequence/OwnFiles.h"
#include "settings/PrinterScaleFile.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLock.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvial;

namespace {

const QByteArray kExample = "10,10,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\nabc\r\n";
const QByteArray kNewContent = "20,20,150\r\n1,2,3\r\n4,5,6\r\n7,8,9\r\nnew tail\r\n";
const QByteArray kIniBefore = "[history]\ndatabase=postgresql://lab@db/labels\n[printer]\n"
                              "scaleX=100.0\nscaleY=100.0\n";

// offsetX, offsetY, startPos of families 1..4, twelve numbers in file order.
QList<int> values(const Settings &s)
{
    QList<int> v;
    for (int f = 1; f <= 4; ++f)
        v << s.family[f].offsetX << s.family[f].offsetY << s.family[f].startPos;
    return v;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// Root ignores permission bits, so a write refused by a read-only directory is only
// observable after giving up the effective user id for the duration of the attempt.
class UnprivilegedScope
{
public:
    UnprivilegedScope() : mDropped(geteuid() == 0 && seteuid(65534) == 0) {}
    ~UnprivilegedScope()
    {
        if (mDropped && seteuid(0) != 0)
            qFatal("cannot regain the effective user id");
    }
    bool permissionsApply() const { return mDropped || geteuid() != 0; }

private:
    bool mDropped;
};

// What a run of the helper program left: whether it returned at all, its exit code and
// what it printed.
struct HelperRun
{
    bool finished = false;
    int exitCode = -1;
    QString output;
};

// Runs the helper; fileSizeLimit >= 0 limits the size of files it may write, in bytes,
// with the signal for exceeding it ignored so that the write itself fails (EFBIG).
HelperRun runHelper(const QStringList &args, qint64 fileSizeLimit = -1)
{
    QProcess process;
    if (fileSizeLimit >= 0) {
        process.setChildProcessModifier([fileSizeLimit] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    process.start(QStringLiteral(SETTINGS_HELPER), args);
    HelperRun run;
    // A generous bound that only a read that never returns can reach.
    run.finished = process.waitForFinished(120000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

// The file type lstat() reports for path (S_IFREG, S_IFIFO, ...), 0 when there is none.
mode_t typeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

// Puts at path one of the things a start.txt must not be; false when that failed.
bool makeSpecial(const QString &kind, const QString &path, const QString &scratch)
{
    if (kind == QLatin1String("FIFO"))
        return makeFifo(path);
    if (kind == QLatin1String("folder"))
        return QDir().mkdir(path);
    if (kind == QLatin1String("link to a FIFO"))
        return makeFifo(scratch) && QFile::link(scratch, path);
    if (kind == QLatin1String("link to a folder"))
        return QDir().mkdir(scratch) && QFile::link(scratch, path);
    if (kind == QLatin1String("link to /dev/zero"))
        return QFile::link(QStringLiteral("/dev/zero"), path);
    if (kind == QLatin1String("link to /dev/null"))
        return QFile::link(QStringLiteral("/dev/null"), path);
    return false;
}

// A process holding the lock of a start.txt, as a second running copy would.
struct LockHolder
{
    QProcess process;

    // True once the helper says it holds the lock of settingsPath.
    bool start(const QString &settingsPath)
    {
        process.start(QStringLiteral(SETTINGS_HELPER), {QStringLiteral("lock"), settingsPath});
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(120000))
                return false;
        }
        return process.readLine() == "locked\n";
    }
    ~LockHolder()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

// start.txt in app/ as a link to the example settings kept elsewhere, at target.
bool makeLinkedSettings(const QString &target, const QString &link)
{
    return QDir().mkpath(QFileInfo(target).path()) && QDir().mkpath(QFileInfo(link).path()) &&
           writeFile(target, kExample) && QFile::link(target, link);
}

// Rows of things that are not a regular file standing where start.txt should be, with the
// word the message uses for each; /dev/zero only for reading (a save must never reach it).
void addSpecialKinds(bool withZeroDevice)
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "FIFO" << QStringLiteral("名前付きパイプ");
    QTest::newRow("folder") << "folder" << QStringLiteral("フォルダー");
    QTest::newRow("link to a FIFO") << "link to a FIFO" << QStringLiteral("名前付きパイプ");
    QTest::newRow("link to a folder") << "link to a folder" << QStringLiteral("フォルダー");
    if (withZeroDevice)
        QTest::newRow("link to /dev/zero") << "link to /dev/zero" << QStringLiteral("デバイス");
    QTest::newRow("link to /dev/null") << "link to /dev/null" << QStringLiteral("デバイス");
}

// The values a read found, "key=value@line" for each that was in the file or differs from
// its default, leaving out those of a refused section.
QString describe(const CompanionSettings &s)
{
    QStringList parts;
    const auto add = [&](const char *key, const QString &value, int line, bool byDefault) {
        if (line || !byDefault)
            parts << QStringLiteral("%1=%2@%3").arg(QLatin1String(key), value).arg(line);
    };
    const auto addTimeout = [&](const char *key, const CompanionSetting<int> &t) {
        add(key, QString::number(t.value), t.line, t.value == HistoryTimeoutDefaultSeconds);
    };
    const auto addScale = [&](const char *key, const CompanionSetting<int> &p) {
        add(key, formatScalePercent(p.value), p.line, p.value == ScalePermilleNominal);
    };
    if (s.historyUsable()) {
        const HistorySettings &h = s.history;
        add("database", h.database.value, h.database.line, h.database.value.isEmpty());
        addTimeout("connect", h.connectTimeoutSeconds);
        addTimeout("lock", h.lockTimeoutSeconds);
        addTimeout("statement", h.statementTimeoutSeconds);
    }
    if (s.printerUsable()) {
        addScale("scaleX", s.printer.scaleXPermille);
        addScale("scaleY", s.printer.scaleYPermille);
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void malformedRecord_data();
    void malformedRecord();
    void outOfRange_data();
    void outOfRange();
    void warningText();
    void format_data();
    void format();
    void tailRoundTrip_data();
    void tailRoundTrip();
    void fileRoundTrip();
    void missingFile();
    void writeFailure_data();
    void writeFailure();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void readRefusesWhatIsNotARegularFile_data();
    void readRefusesWhatIsNotARegularFile();
    void readIsBounded_data();
    void readIsBounded();
    void linkToARegularFileIsFollowed();
    void writeRefusesWhatIsNotARegularFile_data();
    void writeRefusesWhatIsNotARegularFile();
    void staleTemporaries_data();
    void staleTemporaries();
    void staleTemporariesBesideTheLinkTarget();
    void lockHeldByAnotherCopy();
    void lockOfACrashedCopyIsTakenOver_data();
    void lockOfACrashedCopyIsTakenOver();
    void lockFileHasThePermissionsOfTheSettings();
    void lockFileCannotBeMade();
    void lockPlaceTakenByNoFile_data();
    void lockPlaceTakenByNoFile();
    void hardLinkedSettingsAreRefused();
    void killedStagingLeavesNothing();
    void scaleRewrite_data();
    void scaleRewrite();
    void badScaleRefused_data();
    void badScaleRefused();
    void failedScaleWriteKeepsTheOldFile_data();
    void failedScaleWriteKeepsTheOldFile();
    void companionSettingsRead_data();
    void companionSettingsRead();
    void scaleOfAnEditorsOwnFileReadsBack();
    void ownFileNames_data();
    void ownFileNames();
};

void TestSettings::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<QByteArray>("tail");

    const QList<int> example = {10, 10, 1, 12, 8, 41, 10, 10, 1, 9, 11, 70};
    QTest::newRow("five lines CR LF") << kExample << example << QByteArray("abc");
    QTest::newRow("five lines LF")
        << QByteArray("10,10,1\n12,8,41\n10,10,1\n9,11,70\nabc\n") << example << QByteArray("abc");
    QTest::newRow("no final ending")
        << QByteArray("10,10,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\nabc") << example
        << QByteArray("abc");
    QTest::newRow("mixed endings") << QByteArray("10,10,1\n12,8,41\r\n10,10,1\n9,11,70\r\nabc")
                                   << example << QByteArray("abc");
    QTest::newRow("sixth and later lines ignored") << kExample + "3,3,3\r\nmore\r\n"
                                                   << example << QByteArray("abc");
    QTest::newRow("two lines") << QByteArray("10,10,1\r\n12,8,41\r\n")
                               << QList<int>{10, 10, 1, 12, 8, 41, 0, 0, 1, 0, 0, 1}
                               << QByteArray();
    QTest::newRow("four records, no tail")
        << QByteArray("1,2,3\r\n4,5,6\r\n7,8,9\r\n11,12,13")
        << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13} << QByteArray();
    QTest::newRow("empty file") << QByteArray() << QList<int>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}
                                << QByteArray();
    QTest::newRow("empty fifth line")
        << QByteArray("10,10,1\n10,10,1\n10,10,1\n10,10,1\n\nx\n")
        << QList<int>{10, 10, 1, 10, 10, 1, 10, 10, 1, 10, 10, 1} << QByteArray();
}

void TestSettings::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<int>, expected);
    QFETCH(QByteArray, tail);
    const SettingsLoad load = parseSettings(content);
    QCOMPARE(values(load.settings), expected);
    QCOMPARE(load.settings.tail, tail);
    QVERIFY(load.malformedLines.isEmpty());
}

void TestSettings::malformedRecord_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("two fields") << QByteArray("10,10");
    QTest::newRow("four fields") << QByteArray("10,10,1,1");
    QTest::newRow("empty line") << QByteArray("");
    QTest::newRow("empty first") << QByteArray(",10,1");
    QTest::newRow("empty second") << QByteArray("10,,1");
    QTest::newRow("empty third") << QByteArray("10,10,");
    QTest::newRow("letters") << QByteArray("a,10,1");
    QTest::newRow("blank inside") << QByteArray("10, 10,1");
    QTest::newRow("leading blank") << QByteArray(" 10,10,1");
    QTest::newRow("trailing blank") << QByteArray("10,10,1 ");
    QTest::newRow("plus sign") << QByteArray("+5,10,1");
    QTest::newRow("lone minus") << QByteArray("-,10,1");
    QTest::newRow("double minus") << QByteArray("--1,10,1");
    QTest::newRow("decimal point") << QByteArray("1.5,10,1");
    QTest::newRow("semicolons") << QByteArray("10;10;1");
    QTest::newRow("full-width digit") << toSjis(QStringLiteral("１,10,1"));
    QTest::newRow("bare CR before CR LF") << QByteArray("10,10,1\r");
    QTest::newRow("above 32 bits") << QByteArray("10,10,2147483648");
    QTest::newRow("below 32 bits") << QByteArray("10,-2147483649,1");
    QTest::newRow("far beyond 64 bits") << QByteArray("99999999999999999999999,10,1");
}

void TestSettings::malformedRecord()
{
    QFETCH(QByteArray, record);
    const SettingsLoad load =
        parseSettings("3,4,5\r\n" + record + "\r\n6,7,8\r\n9,10,11\r\ntail\r\n");
    QCOMPARE(values(load.settings), (QList<int>{3, 4, 5, 0, 0, 1, 6, 7, 8, 9, 10, 11}));
    QCOMPARE(load.malformedLines, QList<int>{2});
    QCOMPARE(load.settings.tail, QByteArray("tail"));
}

void TestSettings::outOfRange_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("x above 20") << 1 << QByteArray("21,10,5") << QList<int>{20, 10, 5};
    QTest::newRow("x negative") << 1 << QByteArray("-1,10,5") << QList<int>{0, 10, 5};
    QTest::newRow("y above 20") << 2 << QByteArray("10,25,5") << QList<int>{10, 20, 5};
    QTest::newRow("y negative") << 2 << QByteArray("10,-7,5") << QList<int>{10, 0, 5};
    QTest::newRow("both ends kept") << 3 << QByteArray("0,20,5") << QList<int>{0, 20, 5};
    QTest::newRow("32-bit extremes")
        << 4 << QByteArray("2147483647,-2147483648,2147483647") << QList<int>{20, 0, 1};
    QTest::newRow("minus zero, leading zeros")
        << 2 << QByteArray("-0,008,041") << QList<int>{0, 8, 41};
    QTest::newRow("start 0") << 2 << QByteArray("10,10,0") << QList<int>{10, 10, 1};
    QTest::newRow("start negative") << 2 << QByteArray("10,10,-3") << QList<int>{10, 10, 1};
    QTest::newRow("circle 150") << 1 << QByteArray("10,10,150") << QList<int>{10, 10, 150};
    QTest::newRow("circle 151") << 1 << QByteArray("10,10,151") << QList<int>{10, 10, 1};
    QTest::newRow("rectangle 60") << 2 << QByteArray("10,10,60") << QList<int>{10, 10, 60};
    QTest::newRow("rectangle 61") << 2 << QByteArray("10,10,61") << QList<int>{10, 10, 1};
    QTest::newRow("tube 95") << 3 << QByteArray("10,10,95") << QList<int>{10, 10, 95};
    QTest::newRow("tube 96") << 3 << QByteArray("10,10,96") << QList<int>{10, 10, 1};
    QTest::newRow("tube 72") << 4 << QByteArray("10,10,72") << QList<int>{10, 10, 72};
    QTest::newRow("tube 73") << 4 << QByteArray("10,10,73") << QList<int>{10, 10, 1};
}

void TestSettings::outOfRange()
{
    QFETCH(int, family);
    QFETCH(QByteArray, record);
    QFETCH(QList<int>, expected);
    QByteArray content;
    for (int f = 1; f <= 4; ++f)
        content += (f == family ? record : QByteArray("10,10,1")) + "\r\n";
    const SettingsLoad load = parseSettings(content);
    const FamilySettings &r = load.settings.family[family];
    QCOMPARE((QList<int>{r.offsetX, r.offsetY, r.startPos}), expected);
    QVERIFY(load.malformedLines.isEmpty());
}

void TestSettings::warningText()
{
    QVERIFY(settingsWarningText({}).isEmpty());
    const SettingsLoad load = parseSettings("x\r\n10,10,1\r\n1,2\r\n10,10,1\r\n");
    QCOMPARE(load.malformedLines, (QList<int>{1, 3}));
    const QString text = settingsWarningText(load.malformedLines);
    QVERIFY(text.contains(QLatin1String("1")));
    QVERIFY(text.contains(QLatin1String("3")));
    QVERIFY(!text.contains(QLatin1String("2")));
    QVERIFY(!text.contains(QLatin1String("4")));
}

void TestSettings::format_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("offsetY");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("example written back")
        << kExample << 0 << 0 << QByteArray("10,10,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\nabc\r\n");
    QTest::newRow("family 3 offsetY changed")
        << QByteArray("10,10,1\r\n12,8,41\r\n7,2,33\r\n9,11,70\r\nabc\r\n") << 3 << 10
        << QByteArray("10,10,1\r\n12,8,41\r\n7,10,33\r\n9,11,70\r\nabc\r\n");
    QTest::newRow("two lines give five")
        << QByteArray("10,10,1\n12,8,41\n") << 0 << 0
        << QByteArray("10,10,1\r\n12,8,41\r\n0,0,1\r\n0,0,1\r\n\r\n");
    QTest::newRow("sixth line dropped") << kExample + "6,6,6\r\n" << 0 << 0 << kExample;
    QTest::newRow("empty file") << QByteArray() << 0 << 0
                                << QByteArray("0,0,1\r\n0,0,1\r\n0,0,1\r\n0,0,1\r\n\r\n");
}

void TestSettings::format()
{
    QFETCH(QByteArray, content);
    QFETCH(int, family);
    QFETCH(int, offsetY);
    QFETCH(QByteArray, expected);
    Settings s = parseSettings(content).settings;
    if (family > 0)
        s.family[family].offsetY = offsetY;
    QCOMPARE(formatSettings(s), expected);

    Settings negative;
    negative.family[2] = {-3, 0, -12};
    negative.tail = "a\nb";
    QCOMPARE(formatSettings(negative), QByteArray("0,0,1\r\n-3,0,-12\r\n0,0,1\r\n0,0,1\r\na\r\n"));
}

void TestSettings::tailRoundTrip_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("Shift-JIS") << toSjis(QStringLiteral("検体ラベル　ｱｲｳ～"));
    QByteArray high;
    for (int b = 0x80; b <= 0xFF; ++b)
        high += char(b);
    QTest::newRow("every high byte") << high;
    QTest::newRow("invalid UTF-8") << QByteArray("\xC3\x28\xE2\x82");
    QTest::newRow("NUL and tab") << QByteArray("a\0b\tc", 5);
    QTest::newRow("bare CR inside") << QByteArray("a\rb");
    QTest::newRow("commas and digits") << QByteArray("1,2,3");
}

void TestSettings::tailRoundTrip()
{
    QFETCH(QByteArray, tail);
    const QByteArray content = "10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n" + tail + "\r\n";
    const Settings s = parseSettings(content).settings;
    QCOMPARE(s.tail, tail);
    QCOMPARE(formatSettings(s), content);
    QCOMPARE(parseSettings(content.chopped(2)).settings.tail, tail);
}

void TestSettings::fileRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(path, QByteArray(5000, 'x')));
    Settings s = parseSettings(kExample).settings;
    s.family[4].startPos = 72;
    QString error;
    QVERIFY2(writeSettingsFile(path, s, &error), qPrintable(error));
    QCOMPARE(readAll(path), QByteArray("10,10,1\r\n12,8,41\r\n10,10,1\r\n9,11,72\r\nabc\r\n"));
    SettingsLoad load;
    QVERIFY(readSettingsFile(path, &load, &error));
    QCOMPARE(values(load.settings), values(s));
    QCOMPARE(load.settings.tail, QByteArray("abc"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("start.txt")});
}

void TestSettings::missingFile()
{
    QTemporaryDir dir;
    SettingsLoad load;
    load.settings.family[1].offsetX = 7;
    QString error;
    QVERIFY(!readSettingsFile(dir.filePath(QStringLiteral("start.txt")), &load, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(load.settings.family[1].offsetX, 7);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("start.txt"))));
}

void TestSettings::writeFailure_data()
{
    QTest::addColumn<bool>("readOnlyDirectory");
    QTest::newRow("read-only directory") << true;
    QTest::newRow("missing directory") << false;
}

void TestSettings::writeFailure()
{
    QFETCH(bool, readOnlyDirectory);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("app"));
    const QString path = folder + QStringLiteral("/start.txt");
    if (readOnlyDirectory) {
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(writeFile(path, kExample));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
    }
    Settings s;
    s.family[1].offsetX = 20;
    QString error;
    bool written = true;
    {
        UnprivilegedScope scope;
        if (!scope.permissionsApply())
            QSKIP("cannot act as a user that permissions apply to");
        QVERIFY(!writeFile(folder + QStringLiteral("/probe"), "x"));
        written = writeSettingsFile(path, s, &error);
    }
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    if (readOnlyDirectory) {
        QCOMPARE(readAll(path), kExample);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("start.txt")});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

void TestSettings::failedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<qint64>("fileSizeLimit");
    QTest::addColumn<bool>("written");
    const qint64 size = formatSettings(parseSettings(kNewContent).settings).size();
    QTest::newRow("no limit writes") << qint64(-1) << true;
    QTest::newRow("not one byte fits") << qint64(0) << false;
    QTest::newRow("first line fits") << qint64(11) << false;
    QTest::newRow("all but the last byte fit") << size - 1 << false;
}

void TestSettings::failedWriteKeepsTheOldFile()
{
    QFETCH(qint64, fileSizeLimit);
    QFETCH(bool, written);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(path, kExample));
    const HelperRun run =
        runHelper({QStringLiteral("write"), path, QString::fromLatin1(kNewContent)}, fileSizeLimit);
    QVERIFY(run.finished);
    if (written) {
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(readAll(path), kNewContent);
        return;
    }
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(QStringLiteral("設定ファイルを保存できませんでした: ") + path),
             qPrintable(run.output));
    QVERIFY2(run.output.contains(qt_error_string(EFBIG)), qPrintable(run.output));
    QVERIFY(run.output.contains(QStringLiteral("元の設定ファイルは変更していません。")));
    QCOMPARE(readAll(path), kExample);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("start.txt")});
}

void TestSettings::readRefusesWhatIsNotARegularFile_data()
{
    addSpecialKinds(true);
}

void TestSettings::readRefusesWhatIsNotARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    const QString scratch = dir.filePath(QStringLiteral("elsewhere"));
    QVERIFY(makeSpecial(kind, path, scratch));
    const mode_t before = typeOf(path);
    // In a process of its own: a read that blocks or never ends shows as a failure here
    // instead of a test that hangs.
    const HelperRun run = runHelper({QStringLiteral("read"), path});
    QVERIFY2(run.finished, "reading start.txt did not return");
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.startsWith(QStringLiteral("error\n設定ファイルを読み込めませんでした: ") +
                                   path + '\n'),
             qPrintable(run.output));
    QVERIFY2(run.output.contains(reason), qPrintable(run.output));
    QCOMPARE(typeOf(path), before);
}

void TestSettings::readIsBounded_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<qint64>("size"); // of the whole file; beyond head it is a hole of zeros
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QByteArray>("tail");

    const QByteArray records = "10,10,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\n";
    const qint64 cap = MaxSettingsBytes;
    QTest::newRow("five lines, then 5 GiB of nothing")
        << kExample << (qint64(5) << 30) << true << QByteArray("abc");
    const QByteArray longTail(cap - records.size() - 2, 't');
    QTest::newRow("fifth line ends at the last byte read") << records + longTail + "\r\n"
                                                           << cap + 4096 << true << longTail;
    QTest::newRow("fifth line ends one byte later") << records + longTail + "t\r\n"
                                                    << cap + 4096 << false << QByteArray();
    const QByteArray fullTail(cap - records.size(), 'u');
    QTest::newRow("exactly the limit, last line without an ending")
        << records + fullTail << cap << true << fullTail;
    QTest::newRow("no line break at all")
        << QByteArray(cap + 1, 'x') << cap + 1 << false << QByteArray();
}

void TestSettings::readIsBounded()
{
    QFETCH(QByteArray, head);
    QFETCH(qint64, size);
    QFETCH(bool, readable);
    QFETCH(QByteArray, tail);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(head), head.size());
        QVERIFY(f.resize(size));
    }
    const HelperRun run = runHelper({QStringLiteral("read"), path});
    QVERIFY(run.finished);
    if (!readable) {
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.output.contains(QStringLiteral("設定ファイルを読み込めませんでした: ") + path),
                 qPrintable(run.output));
        QVERIFY(run.output.contains(QString::number(MaxSettingsBytes)));
        return;
    }
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = run.output.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4); // three lines and the empty text after the last break
    QCOMPARE(lines.at(1), QStringLiteral("10,10,1,12,8,41,10,10,1,9,11,70"));
    QCOMPARE(QByteArray::fromHex(lines.at(2).toLatin1()), tail);
}

void TestSettings::linkToARegularFileIsFollowed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("kept/settings.txt"));
    const QString link = dir.filePath(QStringLiteral("app/start.txt"));
    QVERIFY(makeLinkedSettings(target, link));

    SettingsLoad load;
    QString error;
    QVERIFY2(readSettingsFile(link, &load, &error), qPrintable(error));
    QCOMPARE(load.settings.tail, QByteArray("abc"));
    const Settings changed = parseSettings(kNewContent).settings;
    QVERIFY2(writeSettingsFile(link, changed, &error), qPrintable(error));

    QCOMPARE(typeOf(link), mode_t(S_IFLNK));
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(readAll(target), kNewContent);
    QCOMPARE(QDir(dir.filePath(QStringLiteral("app")))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("start.txt")});
    QCOMPARE(QDir(dir.filePath(QStringLiteral("kept"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("settings.txt")});
}

void TestSettings::writeRefusesWhatIsNotARegularFile_data()
{
    addSpecialKinds(false);
}

void TestSettings::writeRefusesWhatIsNotARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    const QString scratch = dir.filePath(QStringLiteral("elsewhere"));
    QVERIFY(makeSpecial(kind, path, scratch));
    const QStringList entries = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System);
    const bool device = kind.contains(QLatin1String("/dev/"));
    // A faulty write would put an ordinary file in place of the device node: try it only
    // as a user that may not create files in /dev, so that a fault is seen without harm.
    if (device)
        QVERIFY(QFile::setPermissions(
            dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    QString error;
    bool written = true;
    {
        std::optional<UnprivilegedScope> scope;
        if (device) {
            scope.emplace();
            if (!scope->permissionsApply())
                QSKIP("cannot act as a user that may not write to /dev");
            QVERIFY(!writeFile(QStringLiteral("/dev/corvial-probe"), "x"));
        }
        written = writeSettingsFile(path, parseSettings(kNewContent).settings, &error);
    }
    QVERIFY(!written);
    QVERIFY2(error.startsWith(QStringLiteral("設定ファイルを保存できませんでした: ") + path + '\n'),
             qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(error.endsWith(QStringLiteral("元の設定ファイルは変更していません。")));
    QCOMPARE(typeOf(path), kind.startsWith(QLatin1String("link")) ? mode_t(S_IFLNK)
                           : kind == QLatin1String("FIFO")        ? mode_t(S_IFIFO)
                                                                  : mode_t(S_IFDIR));
    if (kind == QLatin1String("link to a FIFO"))
        QCOMPARE(typeOf(scratch), mode_t(S_IFIFO));
    if (device)
        QCOMPARE(typeOf(QStringLiteral("/dev/null")), mode_t(S_IFCHR));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System), entries);
}

void TestSettings::staleTemporaries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("removed");
    QTest::newRow("left by a save") << "start.txt.AbCdEf"
                                    << "file" << true;
    QTest::newRow("left by a save, capitals behind") << "start.txt.qwertY"
                                                     << "file" << true;
    QTest::newRow("left by a save, capitals in front") << "start.txt.XyZabc"
                                                       << "file" << true;
    QTest::newRow("a word: backup") << "start.txt.backup"
                                    << "file" << false;
    QTest::newRow("a word: BACKUP") << "start.txt.BACKUP"
                                    << "file" << false;
    QTest::newRow("a word: Backup") << "start.txt.Backup"
                                    << "file" << false;
    QTest::newRow("five letters") << "start.txt.AbCdE"
                                  << "file" << false;
    QTest::newRow("seven letters") << "start.txt.AbCdEfG"
                                   << "file" << false;
    QTest::newRow("a digit") << "start.txt.AbC1Ef"
                             << "file" << false;
    QTest::newRow("no dot") << "start.txtAbCdEf"
                            << "file" << false;
    QTest::newRow("another dot") << "start.txt.AbCdEf.txt"
                                 << "file" << false;
    QTest::newRow("capital name") << "Start.txt.AbCdEf"
                                  << "file" << false;
    QTest::newRow("another file's") << "other.txt.AbCdEf"
                                    << "file" << false;
    QTest::newRow("the lock file") << "start.txt.lock"
                                   << "file" << false;
    QTest::newRow("a folder") << "start.txt.AbCdEf"
                              << "folder" << false;
    QTest::newRow("a link") << "start.txt.AbCdEf"
                            << "link" << false;
    QTest::newRow("a FIFO") << "start.txt.AbCdEf"
                            << "FIFO" << false;
}

void TestSettings::staleTemporaries()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    const QString other = dir.filePath(name);
    const QString linked = dir.filePath(QStringLiteral("linked"));
    QVERIFY(writeFile(path, kExample));
    QVERIFY(writeFile(linked, "10,10,1\r\n"));
    if (kind == QLatin1String("file"))
        QVERIFY(writeFile(other, "10,10,1\r\n"));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(other));
    else if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(linked, other));
    else
        QVERIFY(makeFifo(other));

    QCOMPARE(removeStaleSettingsTemporaries(path), removed ? 1 : 0);
    QCOMPARE(typeOf(other) == 0, removed);
    QCOMPARE(readAll(path), kExample);
    QCOMPARE(readAll(linked), QByteArray("10,10,1\r\n"));
}

void TestSettings::staleTemporariesBesideTheLinkTarget()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("kept/settings.txt"));
    const QString link = dir.filePath(QStringLiteral("app/start.txt"));
    QVERIFY(makeLinkedSettings(target, link));
    const QStringList stale = {dir.filePath(QStringLiteral("kept/settings.txt.PqRsTu")),
                               dir.filePath(QStringLiteral("app/start.txt.PqRsTu"))};
    const QStringList kept = {dir.filePath(QStringLiteral("kept/start.txt.PqRsTu")),
                              dir.filePath(QStringLiteral("app/settings.txt.PqRsTu"))};
    for (const QString &f : stale + kept)
        QVERIFY(writeFile(f, "x"));

    QCOMPARE(removeStaleSettingsTemporaries(link), 2);
    for (const QString &f : stale)
        QVERIFY2(!QFile::exists(f), qPrintable(f));
    for (const QString &f : kept)
        QVERIFY2(QFile::exists(f), qPrintable(f));
    QCOMPARE(typeOf(link), mode_t(S_IFLNK));
    QCOMPARE(readAll(target), kExample);
}

void TestSettings::lockHeldByAnotherCopy()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(path, kExample));
    LockHolder other;
    QVERIFY(other.start(path));

    SettingsLock lock(path);
    QString error;
    QVERIFY(!lock.tryLock(&error));
    QVERIFY(!lock.isLocked());
    QVERIFY(lock.isHeldElsewhere());
    QVERIFY2(error.startsWith(QStringLiteral("設定ファイルは別の Corvial Manager が使用中です: ") +
                              path + '\n'),
             qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("既に起動しています")));
    QVERIFY(error.contains(QString::number(other.process.processId())));
    QCOMPARE(readAll(path), kExample);

    // Once the other copy ends, the lock is free again.
    other.process.closeWriteChannel();
    QVERIFY(other.process.waitForFinished(120000));
    QCOMPARE(other.process.exitCode(), 0);
    QVERIFY(!QFile::exists(settingsLockPath(path)));
    QVERIFY2(lock.tryLock(&error), qPrintable(error));
    QVERIFY(lock.isLocked());
    QVERIFY(lock.tryLock(&error));
}

void TestSettings::lockOfACrashedCopyIsTakenOver_data()
{
    // What a crash or a power cut leaves: a lock naming a process that no longer runs, or
    // one that names no process at all.
    QTest::addColumn<QByteArray>("leftover"); // empty: left by a killed copy
    QTest::newRow("a killed copy's lock") << QByteArray();
    QTest::newRow("an empty lock file") << QByteArray("\n");
    QTest::newRow("a garbage lock file") << QByteArray("\x01\xff garbage\n");
}

void TestSettings::lockOfACrashedCopyIsTakenOver()
{
    QFETCH(QByteArray, leftover);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(path, kExample));
    if (leftover.isEmpty()) {
        LockHolder crashed;
        QVERIFY(crashed.start(path));
        crashed.process.kill();
        QVERIFY(crashed.process.waitForFinished(120000));
    } else {
        QVERIFY(writeFile(settingsLockPath(path), leftover.trimmed()));
    }
    QVERIFY(QFile::exists(settingsLockPath(path)));

    QString error;
    {
        SettingsLock lock(path);
        QVERIFY2(lock.tryLock(&error), qPrintable(error));
        QVERIFY(lock.isLocked());
        // Taken over, not merely ignored: it now keeps others out in turn.
        SettingsLock second(path);
        QVERIFY(!second.tryLock(&error));
        QVERIFY2(error.contains(QString::number(QCoreApplication::applicationPid())),
                 qPrintable(error));
    }
    QVERIFY(!QFile::exists(settingsLockPath(path)));
    QCOMPARE(readAll(path), kExample);
}

// Users of a group share a group-writable start.txt; the lock a crashed copy of one of them
// leaves must be one that the next of them can take over, whatever the first one's umask.
void TestSettings::lockFileHasThePermissionsOfTheSettings()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("shared/start.txt"));
    const QString path = dir.filePath(QStringLiteral("app/start.txt"));
    QVERIFY(makeLinkedSettings(target, path));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::WriteGroup | QFile::ReadOther));
    const mode_t oldMask = ::umask(022);
    SettingsLock lock(path);
    QString error;
    const bool locked = lock.tryLock(&error);
    ::umask(oldMask);
    QVERIFY2(locked, qPrintable(error));
    QCOMPARE(QFile::permissions(settingsLockPath(path)), QFile::permissions(target));
}

void TestSettings::lockFileCannotBeMade()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("gone/start.txt"));
    SettingsLock lock(path);
    QString error;
    QVERIFY(!lock.tryLock(&error));
    QVERIFY(!lock.isLocked());
    // The program then goes on without the lock: only another copy holding it stops it.
    QVERIFY(!lock.isHeldElsewhere());
    QVERIFY2(error.startsWith(QStringLiteral("設定ファイルのロックファイルを作れませんでした: ") +
                              settingsLockPath(path) + '\n'),
             qPrintable(error));
    QVERIFY2(error.contains(qt_error_string(ENOENT)), qPrintable(error));
}

// Something at the lock's name that no copy of the program made: the message says what it
// is, never that another copy runs, and nothing of it is removed.
void TestSettings::lockPlaceTakenByNoFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder") << "folder" << QStringLiteral("フォルダー");
    QTest::newRow("FIFO") << "FIFO" << QStringLiteral("名前付きパイプ");
    QTest::newRow("link to a folder") << "link to a folder" << QStringLiteral("シンボリックリンク");
}

void TestSettings::lockPlaceTakenByNoFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start.txt"));
    QVERIFY(writeFile(path, kExample));
    const QString lockPath = settingsLockPath(path);
    QVERIFY(makeSpecial(kind, lockPath, dir.filePath(QStringLiteral("elsewhere"))));

    SettingsLock lock(path);
    QString error;
    QVERIFY(!lock.tryLock(&error));
    QVERIFY(!lock.isLocked());
    QVERIFY(lock.isHeldElsewhere());
    QVERIFY2(error.contains(lockPath + '\n' + QStringLiteral("通常のファイルではなく") + reason),
             qPrintable(error));
    QVERIFY2(!error.contains(QStringLiteral("使用中")), qPrintable(error));
    QCOMPARE(typeOf(lockPath), kind == QLatin1String("folder") ? mode_t(S_IFDIR)
                               : kind == QLatin1String("FIFO") ? mode_t(S_IFIFO)
                                                               : mode_t(S_IFLNK));
}

// One start.txt under two hard links: neither name is locked or saved, so no copy claims a
// lock that the other name does not see, and no save splits the names.
void TestSettings::hardLinkedSettingsAreRefused()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString first = dir.filePath(QStringLiteral("a/start.txt"));
    const QString second = dir.filePath(QStringLiteral("b/start.txt"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("a"))) &&
            QDir().mkpath(dir.filePath(QStringLiteral("b"))));
    QVERIFY(writeFile(first, kExample));
    QVERIFY(::link(QFile::encodeName(first).constData(), QFile::encodeName(second).constData()) ==
            0);

    LockHolder other;
    QVERIFY(!other.start(second));
    QVERIFY(other.process.waitForFinished(120000));
    const QString otherSaid = QString::fromUtf8(other.process.readAll());
    QVERIFY2(otherSaid.contains(second), qPrintable(otherSaid));

    SettingsLock lock(first);
    QString error;
    QVERIFY(!lock.tryLock(&error));
    QVERIFY(!lock.isHeldElsewhere());
    QVERIFY2(error.startsWith(QStringLiteral("設定ファイルをロックできません: ") + first + '\n'),
             qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("ハードリンク")) &&
                 error.contains(QStringLiteral("全部で 2 個")),
             qPrintable(error));

    Settings changed = parseSettings(kExample).settings;
    changed.family[2].startPos = 77;
    QVERIFY(!writeSettingsFile(second, changed, &error));
    QVERIFY2(error.contains(second) && error.contains(QStringLiteral("ハードリンク")) &&
                 error.contains(QStringLiteral("変更していません")),
             qPrintable(error));
    struct stat a;
    struct stat b;
    QVERIFY(::stat(QFile::encodeName(first).constData(), &a) == 0 &&
            ::stat(QFile::encodeName(second).constData(), &b) == 0);
    QCOMPARE(a.st_ino, b.st_ino);
    QCOMPARE(readAll(first), kExample);
    QVERIFY(!QFile::exists(settingsLockPath(first)) && !QFile::exists(settingsLockPath(second)));
}

// A run killed while it writes an output leaves the folder as it found it.
void TestSettings::killedStagingLeavesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.pdf"));
    QVERIFY(writeFile(path, "earlier"));
    const QStringList before =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    QProcess helper;
    helper.start(QStringLiteral(SETTINGS_HELPER), {QStringLiteral("stage"), path});
    while (!helper.canReadLine())
        QVERIFY(helper.waitForReadyRead(120000));
    QCOMPARE(helper.readLine(), QByteArray("staged\n"));
    ::kill(pid_t(helper.processId()), SIGKILL);
    QVERIFY(helper.waitForFinished(120000));
    QCOMPARE(helper.exitStatus(), QProcess::CrashExit);

    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             before);
    QCOMPARE(readAll(path), QByteArray("earlier"));
}

// The scale is written into corvial.ini without disturbing what a lab wrote there: only its
// two lines change, or are added to [printer], or a [printer] is added at the end.
void TestSettings::scaleRewrite_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray history = "[history]\ndatabase=postgresql://lab@db:5432/labels\n";
    QTest::newRow("no file") << QByteArray()
                             << QByteArray("[printer]\nscaleX=101.0\nscaleY=99.0\n");
    QTest::newRow("history only, section added")
        << history << history + "\n[printer]\nscaleX=101.0\nscaleY=99.0\n";
    QTest::newRow("values replaced in place, comments kept")
        << QByteArray("[printer]\n# measured 2026-12\nscaleY = 100.4\n; x\nscaleX=97.0\n\n") +
               history
        << QByteArray("[printer]\n# measured 2026-12\nscaleY=99.0\n; x\nscaleX=101.0\n\n") +
               history;
    QTest::newRow("missing key added after the section's last line")
        << QByteArray("[printer]\r\nscaleX=100.0\r\n\r\n[history]\r\n")
        << QByteArray("[printer]\r\nscaleX=101.0\r\nscaleY=99.0\r\n\r\n[history]\r\n");
    QTest::newRow("last line without an ending")
        << QByteArray("[history]\ndatabase=x")
        << QByteArray("[history]\ndatabase=x\n\n[printer]\n"
                      "scaleX=101.0\nscaleY=99.0\n");
    QTest::newRow("byte order mark and CR line ends kept, section added")
        << QByteArray("\xEF\xBB\xBF[history]\rdatabase=x")
        << QByteArray("\xEF\xBB\xBF[history]\rdatabase=x\r\r[printer]\rscaleX=101.0\r"
                      "scaleY=99.0\r");
    QTest::newRow("a damaged value is mended")
        << QByteArray("[printer]\nscaleX=abc\nscaleY=99.0\n")
        << QByteArray("[printer]\nscaleX=101.0\nscaleY=99.0\n");
}

void TestSettings::scaleRewrite()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const PrinterScale scale{1010, 990};
    QCOMPARE(withPrinterScale(before, scale), after);
    PrinterScale read;
    QString reason;
    QVERIFY2(parsePrinterScale(after, &read, &reason), qPrintable(reason));
    QVERIFY(read == scale);
}

// A corvial.ini whose scale cannot be trusted is refused, naming the line and the key, so
// that no job prints at a scale nobody chose.
void TestSettings::badScaleRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("names");
    QTest::newRow("out of range") << QByteArray("[printer]\nscaleX=110\n")
                                  << QStringLiteral("2 行目の [printer] scaleX");
    QTest::newRow("not a number") << QByteArray("# lab\n[printer]\nscaleY=1O1.0\n")
                                  << QStringLiteral("3 行目の [printer] scaleY");
    QTest::newRow("misspelt key") << QByteArray("[printer]\nscalex=101.0\n")
                                  << QStringLiteral("2 行目の [printer] scalex");
    QTest::newRow("key twice") << QByteArray("[printer]\nscaleX=101.0\n[history]\n[printer]\n"
                                             "scaleX=100.0\n")
                               << QStringLiteral(
                                      "5 行目の [printer] scaleX が正しくありません。2 行目にも");
    QTest::newRow("no equals sign")
        << QByteArray("[printer]\nscaleX 101\n") << QStringLiteral("2 行目");
}

void TestSettings::badScaleRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, names);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    const QString ini = dir.filePath(QStringLiteral("corvial.ini"));
    QVERIFY(writeFile(settings, kExample));
    QVERIFY(writeFile(ini, content));
    PrinterScale scale{1003, 1003};
    QString error;
    QVERIFY(!readPrinterScale(settings, &scale, &error));
    QVERIFY2(error.startsWith(QStringLiteral("プリンタの倍率を読み込めませんでした: ") + ini),
             qPrintable(error));
    QVERIFY2(error.contains(names), qPrintable(error));
    QVERIFY(scale == PrinterScale({1003, 1003}));
}

// A save of the scale that cannot be completed leaves corvial.ini as it was, with a reason:
// on a full disk (a file size limit) and in place of what is no regular file.
void TestSettings::failedScaleWriteKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("kind"); // what stands at corvial.ini; empty: the lab's file
    QTest::addColumn<qint64>("fileSizeLimit");
    QTest::addColumn<QString>("reason"); // empty: written
    const QString full = qt_error_string(EFBIG);
    QTest::newRow("no limit writes") << QString() << qint64(-1) << QString();
    QTest::newRow("not one byte fits") << QString() << qint64(0) << full;
    QTest::newRow("all but the last byte fit")
        << QString() << qint64(withPrinterScale(kIniBefore, {1010, 990}).size() - 1) << full;
    QTest::newRow("FIFO") << "FIFO" << qint64(-1) << QStringLiteral("名前付きパイプ");
    QTest::newRow("link to a folder")
        << "link to a folder" << qint64(-1) << QStringLiteral("フォルダー");
}

void TestSettings::failedScaleWriteKeepsTheOldFile()
{
    QFETCH(QString, kind);
    QFETCH(qint64, fileSizeLimit);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    const QString ini = dir.filePath(QStringLiteral("corvial.ini"));
    QVERIFY(writeFile(settings, kExample));
    QVERIFY(kind.isEmpty() ? writeFile(ini, kIniBefore)
                           : makeSpecial(kind, ini, dir.filePath(QStringLiteral("elsewhere"))));
    const mode_t type = typeOf(ini);
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    const HelperRun run = runHelper(
        {QStringLiteral("scale"), settings, QStringLiteral("1010"), QStringLiteral("990")},
        fileSizeLimit);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, reason.isEmpty() ? 0 : 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    if (reason.isEmpty()) {
        QCOMPARE(readAll(ini), withPrinterScale(kIniBefore, {1010, 990}));
        return;
    }
    QVERIFY2(run.output.contains(reason), qPrintable(run.output));
    QVERIFY(run.output.contains(QStringLiteral("元の設定ファイルは変更していません。")));
    QCOMPARE(typeOf(ini), type);
    if (kind.isEmpty())
        QCOMPARE(readAll(ini), kIniBefore);
}

// corvial.ini as the editors of a lab write it, and as it should not be: every known value
// with its line, the section a fault refuses (the other one stays usable), and a warning
// naming the file, the line and the word for whatever is read past.
void TestSettings::companionSettingsRead_data()
{
    QTest::addColumn<QString>("kind"); // what stands at corvial.ini; empty: content
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("values");       // describe() of the read
    QTest::addColumn<QString>("error");        // "file|history|printer: part|part", or empty
    QTest::addColumn<QStringList>("warnings"); // each "part|part", in order
    const QString none;
    const QStringList quiet;

    const QByteArray lf = "[history]\ndatabase = postgresql://lab@db/x\nconnectTimeout=10\n"
                          "[printer]\nscaleX=101.0\nscaleY=99.0\n";
    const QString lfValues = "database=postgresql://lab@db/x@2 connect=10@3 scaleX=101.0@5 "
                             "scaleY=99.0@6";
    QTest::newRow("LF") << none << lf << lfValues << none << quiet;
    QByteArray crlf = lf;
    QTest::newRow("CR LF") << none << crlf.replace("\n", "\r\n") << lfValues << none << quiet;
    QByteArray cr = lf;
    QTest::newRow("CR alone") << none << cr.replace('\n', '\r') << lfValues << none << quiet;
    QTest::newRow("byte order mark") << none << "\xEF\xBB\xBF" + lf << lfValues << none << quiet;
    QTest::newRow("byte order mark and CR")
        << none << "\xEF\xBB\xBF" + cr << lfValues << none << quiet;
    QTest::newRow("mixed line ends, numbered as an editor shows them")
        << none
        << QByteArray("[history]\r\ndatabase=postgresql://lab@db/x\r[printer]\n"
                      "scaleX=101.0\r\n\rscaleY=99.0")
        << "database=postgresql://lab@db/x@2 scaleX=101.0@4 scaleY=99.0@6" << none << quiet;
    QTest::newRow("comments and blank lines")
        << none << QByteArray("# lab\n; note\n\n[printer]\n  # scaleX=97.0\nscaleY = 100.4\n")
        << "scaleY=100.4@6" << none << quiet;
    QTest::newRow("no file") << "none" << QByteArray() << "" << none << quiet;

    QTest::newRow("[Printer] and its ScaleX named")
        << none << QByteArray("[Printer]\nScaleX=101.0\nscaleY=99.0\n") << "" << none
        << QStringList{"1 行目|[Printer]|[printer] のことですか",
                       "2 行目|[printer] のつもり|ScaleX という設定は|scaleX のことですか"};
    QTest::newRow("[histroy] would leave the PC on its own file")
        << none << QByteArray("[histroy]\ndatabase=postgresql://lab@db/x\n") << "" << none
        << QStringList{"1 行目|[histroy]|[history] のことですか"};
    QTest::newRow("section of no known name")
        << none << QByteArray("[lab]\nowner=me\n") << "" << none
        << QStringList{"1 行目|[lab]|[history] と [printer]"};
    QTest::newRow("setting before any section") << none << QByteArray("scaleX=101.0\n[printer]\n")
                                                << "" << none << QStringList{"1 行目|scaleX は節"};
    QTest::newRow("ScaleX in [printer] is refused, naming the key meant")
        << none
        << QByteArray("[history]\ndatabase=postgresql://lab@db/x\n[printer]\nScaleX=101.0\n")
        << "database=postgresql://lab@db/x@2"
        << "printer: 4 行目の [printer] ScaleX|scaleX のことですか" << quiet;
    QTest::newRow("misspelt key refuses [history] only")
        << none << QByteArray("[history]\ndatabse=postgresql://lab@db/x\n[printer]\nscaleX=101.0\n")
        << "scaleX=101.0@4"
        << "history: 2 行目の [history] databse|database のことですか" << quiet;
    QTest::newRow("key twice, in a second header of the section")
        << none << QByteArray("[printer]\nscaleX=101.0\n[history]\n[printer]\nscaleX=100.0\n") << ""
        << "printer: 5 行目の [printer] scaleX|2 行目にも" << quiet;
    QTest::newRow("line without =") << none << QByteArray("[history]\njust words\n") << ""
                                    << "history: 2 行目の [history] が" << quiet;
    QTest::newRow("header without ]")
        << none << QByteArray("[printer]\nscaleX=101.0\n[history\n") << ""
        << "file: 3 行目の節の名前が ]" << quiet;
    QTest::newRow("bad scale refuses [printer] only")
        << none << QByteArray("[history]\ndatabase=postgresql://lab@db/x\n[printer]\nscaleX=110\n")
        << "database=postgresql://lab@db/x@2"
        << "printer: 4 行目の [printer] scaleX" << quiet;

    QTest::newRow("timeouts at their bounds")
        << none
        << QByteArray("[history]\nconnectTimeout=0\nlockTimeout=600\nstatementTimeout= 30 \n")
        << "connect=0@2 lock=600@3 statement=30@4" << none << quiet;
    for (const char *bad : {"601", "-1", "5s", "5.0", "", "99999999999"})
        QTest::addRow("timeout %s", bad)
            << none << QByteArray("[history]\nlockTimeout=") + bad + '\n'
            << ""
            << "history: 2 行目の [history] lockTimeout|0 から 600 までの整数" << quiet;

    QTest::newRow("NUL bytes in a key")
        << none << QByteArray("[printer]\nscale\0X=101.0\n", 24) << ""
        << "printer: 2 行目の [printer] scaleU+0000X" << quiet;
    QTest::newRow("NUL bytes in a comment")
        << none << QByteArray("# \0\0\n[printer]\nscaleX=101.0\n", 28) << "scaleX=101.0@3" << none
        << quiet;
    QTest::newRow("Shift_JIS comment")
        << none << QByteArray("# \x8c\x9f\x91\xcc\n[printer]\nscaleX=101.0\n") << "scaleX=101.0@3"
        << none << quiet;
    QTest::newRow("invalid UTF-8 in a section name")
        << none << QByteArray("[hist\xFFory]\n") << "" << none
        << QStringList{"1 行目|[history] のことですか"};
    QTest::newRow("saved as UTF-16")
        << none << QByteArray("\xFF\xFE[\0p\0r\0i\0n\0t\0e\0r\0]\0", 20) << ""
        << "file: UTF-16" << quiet;
    QTest::newRow("a URL where a key should be echoes no password")
        << none
        << QByteArray("[history]\ndatabase postgresql://lab:secret@db/x?sslmode=require\n"
                      "[postgresql://lab:secret@db]\n")
        << ""
        << "history: 2 行目の [history] database postgresql…"
        << QStringList{"3 行目|[postgresql…]"};
    QStringList many;
    for (int i = 1; i < MaxCompanionSettingsWarnings; ++i)
        many << QStringLiteral("%1 行目|x は節").arg(i);
    many << QStringLiteral("ほかにも 11 か所");
    QTest::newRow("warnings bounded")
        << none << QByteArray("x=1\n").repeated(30) << "" << none << many;

    QTest::newRow("FIFO") << "FIFO" << QByteArray() << ""
                          << "file: 名前付きパイプ" << quiet;
    QTest::newRow("link to /dev/zero") << "link to /dev/zero" << QByteArray() << ""
                                       << "file: デバイス" << quiet;
    const QByteArray head = "[printer]\nscaleX=101.0\n#";
    const QByteArray full = head + QByteArray(MaxCompanionSettingsBytes - head.size(), 'c');
    QTest::newRow("exactly the limit") << none << full << "scaleX=101.0@2" << none << quiet;
    QTest::newRow("one byte over the limit")
        << none << full + 'c' << "" << QStringLiteral("file: %1").arg(MaxCompanionSettingsBytes)
        << quiet;
}

void TestSettings::companionSettingsRead()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(QString, values);
    QFETCH(QString, error);
    QFETCH(QStringList, warnings);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("start.txt"));
    const QString ini = dir.filePath(QStringLiteral("corvial.ini"));
    QVERIFY(writeFile(settings, kExample));
    if (kind.isEmpty())
        QVERIFY(writeFile(ini, content));
    else if (kind != QLatin1String("none"))
        QVERIFY(makeSpecial(kind, ini, dir.filePath(QStringLiteral("elsewhere"))));

    const CompanionSettings read = readCompanionSettings(settings);
    QCOMPARE(read.path, ini);
    QCOMPARE(read.found, kind != QLatin1String("none"));
    QCOMPARE(describe(read), values);
    const QString fileError = read.fileError.isEmpty() ? QString() : "file: " + read.fileError;
    const QString historyError =
        read.historyError.isEmpty() ? QString() : "history: " + read.historyError;
    const QString printerError =
        read.printerError.isEmpty() ? QString() : "printer: " + read.printerError;
    QStringList errors{fileError, historyError, printerError};
    errors.removeAll(QString());
    QCOMPARE(errors.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty()) {
        const QString which = error.section(QStringLiteral(": "), 0, 0) + QStringLiteral(": ");
        QVERIFY2(errors.first().startsWith(which), qPrintable(errors.first()));
        for (const QString &part : error.mid(which.size()).split(u'|'))
            QVERIFY2(errors.first().contains(part), qPrintable(errors.first()));
    }

    QCOMPARE(read.warnings.size(), warnings.size());
    for (int i = 0; i < warnings.size(); ++i) {
        const QString &w = read.warnings.at(i);
        QVERIFY2(w.startsWith(ini + QLatin1Char(' ')), qPrintable(w));
        for (const QString &part : warnings.at(i).split(u'|'))
            QVERIFY2(w.contains(part), qPrintable(w));
    }
    QCOMPARE(companionSettingsWarnings(settings), read.warnings);
    // Nothing a lab wrote after "user:" is ever echoed.
    QVERIFY(!(errors + read.warnings).join(u'\n').contains(QLatin1String("secret")));
}

// A scale saved by an editor that writes a byte order mark and CR line ends is the scale a
// job prints at, and saving a new one keeps the file that editor's.
void TestSettings::scaleOfAnEditorsOwnFileReadsBack()
{
    const QByteArray plain = "[printer]\nscaleX=101.0\nscaleY=99.5\n[history]\n"
                             "database=postgresql://lab@db/x\n";
    QByteArray own = plain;
    own = "\xEF\xBB\xBF" + own.replace('\n', '\r');
    PrinterScale scales[2];
    QTemporaryDir dirs[2];
    for (int i = 0; i < 2; ++i) {
        QVERIFY(dirs[i].isValid());
        const QString settings = dirs[i].filePath(QStringLiteral("start.txt"));
        QVERIFY(writeFile(settings, kExample));
        QVERIFY(writeFile(dirs[i].filePath(QStringLiteral("corvial.ini")), i ? own : plain));
        QString error;
        QVERIFY2(readPrinterScale(settings, &scales[i], &error), qPrintable(error));
    }
    QVERIFY(scales[0] == PrinterScale({1010, 995}));
    QVERIFY(scales[1] == scales[0]);

    const QString settings = dirs[1].filePath(QStringLiteral("start.txt"));
    QString error;
    QVERIFY2(writePrinterScale(settings, {980, 1025}, &error), qPrintable(error));
    QCOMPARE(readAll(dirs[1].filePath(QStringLiteral("corvial.ini"))),
             QByteArray("\xEF\xBB\xBF[printer]\rscaleX=98.0\rscaleY=102.5\r[history]\r"
                        "database=postgresql://lab@db/x\r"));
    PrinterScale again;
    QVERIFY2(readPrinterScale(settings, &again, &error), qPrintable(error));
    QVERIFY(again == PrinterScale({980, 1025}));
}

void TestSettings::ownFileNames_data()
{
    QTest::addColumn<QString>("given"); // relative to a folder that holds history.sqlite
    QTest::addColumn<QString>("own");
    QTest::addColumn<bool>("same");

    const QString db = QStringLiteral("history.sqlite");
    const QString wal = QStringLiteral("history.sqlite-wal"); // not made
    QTest::newRow("itself") << db << db << true;
    QTest::newRow("link") << "link" << db << true;
    QTest::newRow("hard link") << "hard" << db << true;
    QTest::newRow("through a folder link") << "folderlink/history.sqlite" << db << true;
    QTest::newRow("not made, folder link") << "folderlink/history.sqlite-wal" << wal << true;
    QTest::newRow("dangling link to it") << "dangling" << wal << true;
    QTest::newRow("not made, other case") << "HISTORY.SQLITE-WAL" << wal << true;
    QTest::newRow("made, other case") << "History.sqlite" << db << false;
    QTest::newRow("other name") << "x.pdf" << db << false;
}

void TestSettings::ownFileNames()
{
    QFETCH(QString, given);
    QFETCH(QString, own);
    QFETCH(bool, same);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir d(dir.path());
    const QString db = d.filePath(QStringLiteral("history.sqlite"));
    QFile file(db);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("records");
    file.close();
    QVERIFY(QFile::link(db, d.filePath(QStringLiteral("link"))));
    QCOMPARE(::link(QFile::encodeName(db).constData(),
                    QFile::encodeName(d.filePath(QStringLiteral("hard"))).constData()),
             0);
    QVERIFY(QFile::link(dir.path(), d.filePath(QStringLiteral("folderlink"))));
    QVERIFY(QFile::link(d.filePath(QStringLiteral("history.sqlite-wal")),
                        d.filePath(QStringLiteral("dangling"))));
    QVERIFY(QFile::copy(db, d.filePath(QStringLiteral("History.sqlite"))));
    // Relative names are read from the working folder, as a command line gives them.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const bool found = namesOwnFile(given, OwnFile{d.filePath(own), QString()});
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(found, same);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
