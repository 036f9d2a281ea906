// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingsFile.h"
#include "job/ShiftJis.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace corvial;

namespace {

const QByteArray kExample = "10,10,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\nabc\r\n";

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

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
