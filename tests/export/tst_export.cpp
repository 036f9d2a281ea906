// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingXlsApi.h"
#include "export/WorkbookExport.h"

#include "export/XlsCrtLibrary.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

using corvial::ExportJob;

Q_DECLARE_METATYPE(ExportJob)

namespace {

const QString kGrid = QStringLiteral("0x01000000");

ExportJob makeJob(int type, const QString &proof, const QString &circle = QString(),
                  int samples = 3)
{
    ExportJob job;
    job.sheetType = corvial::SheetType::fromCode(type).value();
    job.sampleCount = samples;
    // A round label's proof is its text line.
    job.proofText = corvial::isCircleType(type) ? circle : proof;
    job.date = QDate(2026, 12, 7);
    return job;
}

ExportJob withColours(ExportJob job, int text, int back, bool frame)
{
    job.textColourIndex = text;
    job.backColourIndex = back;
    job.frame = frame;
    return job;
}

ExportJob numbered(ExportJob job, int initial, int style)
{
    job.initialValue = initial;
    job.numberStyle = corvial::NumberStyle(style);
    return job;
}

QString borders(const QString &line, const QString &rightOp = QStringLiteral("right"))
{
    return QStringLiteral("top %1|bottom %1|left %1|%2 %1").arg(line, rightOp);
}

RecordingXlsApi record(const ExportJob &job, int *status = nullptr)
{
    RecordingXlsApi api;
    int32_t handle = 0;
    const corvial::ExportResult rc =
        corvial::writeWorkbook(api, QStringLiteral("/tmp/out.xls"), job, &handle);
    if (status)
        *status = rc.status;
    return api;
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void titles_data();
    void titles();
    void titleIgnoresLocale_data();
    void titleIgnoresLocale();
    void callOrder();
    void dataRows_data();
    void dataRows();
    void layout_data();
    void layout();
    void shiftJisBytes_data();
    void shiftJisBytes();
    void numbers_data();
    void numbers();
    void colours_data();
    void colours();
    void refused_data();
    void refused();
    void libraryStatus_data();
    void libraryStatus();
    void longTexts_data();
    void longTexts();
    void libraryTakesTheLongestText();
    void libraryRefusalReachesTheMessage();
    void refusalNamesTheCell_data();
    void refusalNamesTheCell();
    void cellNames_data();
    void cellNames();
    void pathAndHandle();
    void libraryReplacesFile();
    void unwritable_data();
    void unwritable();
};

void TestExport::titles_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("title");
    const QDate day(2026, 12, 7);
    QTest::newRow("circle") << 1 << day << QStringLiteral(u"内容　(26/12/07/１１ｍφ円形ラベル)");
    QTest::newRow("rect") << 2 << day
                          << QStringLiteral(u"内容　(26/12/07/１２ｍｍＸ２４ｍｍラベル)");
    QTest::newRow("tube95 5") << 5 << day
                              << QStringLiteral(u"内容　(26/12/07/１０ｍｍＸ３０ｍｍラベル)");
    QTest::newRow("tube95 6") << 6 << day
                              << QStringLiteral(u"内容　(26/12/07/１０ｍｍＸ３０ｍｍラベル)");
    QTest::newRow("tube72 8") << 8 << day
                              << QStringLiteral(u"内容　(26/12/07/１２ｍｍＸ４０ｍｍラベル)");
    QTest::newRow("tube72 9") << 9 << QDate(2000, 1, 5)
                              << QStringLiteral(u"内容　(00/01/05/１２ｍｍＸ４０ｍｍラベル)");
    QTest::newRow("century year") << 2 << QDate(1999, 12, 31)
                                  << QStringLiteral(u"内容　(99/12/31/１２ｍｍＸ２４ｍｍラベル)");
    for (int type : {0, 3, 4, 7, 10, 11})
        QTest::newRow(qPrintable(QStringLiteral("type %1").arg(type))) << type << day << QString();
}

void TestExport::titles()
{
    QFETCH(int, type);
    QFETCH(QDate, date);
    QFETCH(QString, title);
    // A number that is no sheet type is refused where it is read; it has no title either.
    const std::optional<corvial::SheetType> sheetType = corvial::SheetType::fromCode(type);
    if (!sheetType) {
        QVERIFY(title.isEmpty());
        return;
    }
    QCOMPARE(corvial::isExportableType(*sheetType), !title.isEmpty());
    QCOMPARE(corvial::exportTitle(*sheetType, date), title);
}

void TestExport::titleIgnoresLocale_data()
{
    QTest::addColumn<QString>("locale");
    // Arabic-Indic digits, a "." separator, Persian digits, the home locale.
    QTest::newRow("ar_EG") << QStringLiteral("ar_EG");
    QTest::newRow("de_DE") << QStringLiteral("de_DE");
    QTest::newRow("fa_IR") << QStringLiteral("fa_IR");
    QTest::newRow("ja_JP") << QStringLiteral("ja_JP");
}

void TestExport::titleIgnoresLocale()
{
    QFETCH(QString, locale);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const QString title =
        corvial::exportTitle(corvial::SheetType::fromCode(2).value(), QDate(2026, 12, 7));
    QLocale::setDefault(before);
    QCOMPARE(title, QStringLiteral(u"内容　(26/12/07/１２ｍｍＸ２４ｍｍラベル)"));
}

// The whole call sequence of a two-sample framed circle job, cell by cell.
void TestExport::callOrder()
{
    const ExportJob job = numbered(
        withColours(makeJob(1, QString(), QStringLiteral(u"血清A"), 2), 1, 2, true), 98, 0);
    int status = -1;
    const RecordingXlsApi api = record(job, &status);
    QCOMPARE(status, 0);
    QCOMPARE(api.faults, QStringList());
    QCOMPARE(api.creates, 1);
    QCOMPARE(api.closes, 1);
    QCOMPARE(api.closeMode, 1);
    QCOMPARE(api.cellOrder(), QStringLiteral("A0 B0 C0 A0 B0 C0 A1 B1 C1 A2 B2 C2"));

    const QString grid = borders(kGrid);
    const QString frame = borders(QStringLiteral("0x0200001e"));
    const QString frameB = borders(QStringLiteral("0x0200001e"), QStringLiteral("right@POS"));
    QCOMPARE(api.cell(0, 0), QStringLiteral(u"str 文字|height 25|") + grid);
    QCOMPARE(api.cell(1, 0), QStringLiteral(u"str 数字|height 25|") + grid);
    QCOMPARE(api.cell(2, 0),
             QStringLiteral(u"str 内容　(26/12/07/１１ｍφ円形ラベル)|height 25|") + grid);
    for (int row : {1, 2}) {
        QCOMPARE(api.cell(0, row), QStringLiteral(u"height 20|width 6|str 血清A|") + frame +
                                       QStringLiteral("|font 10|fill 9"));
        QCOMPARE(api.cell(1, row), QStringLiteral("height 20|width 10|str %1|font 10|fill 9|")
                                           .arg(row == 1 ? "0098" : "0099") +
                                       frameB);
        QCOMPARE(api.cell(2, row), QStringLiteral("height 20|width 40|") + grid);
    }
}

void TestExport::dataRows_data()
{
    QTest::addColumn<ExportJob>("job");
    QTest::addColumn<QString>("a1");
    QTest::addColumn<QString>("b1");
    QTest::addColumn<QString>("c1");
    const QString grid = borders(kGrid);
    QTest::newRow("unframed circle")
        << withColours(makeJob(1, QString(), QStringLiteral("ABCDE")), 0, 2, false)
        << QStringLiteral("height 20|width 6|str ABCDE|") + grid + QStringLiteral("|font 8|fill 30")
        << QStringLiteral("height 20|width 10|str 0001|font 8|fill 30|") + grid
        << QStringLiteral("height 20|width 40|") + grid;
    // The frame box is only the circle's; a tube job keeps grid lines and its fill.
    QTest::newRow("tube, frame box checked")
        << withColours(makeJob(5, QStringLiteral("ABCDEFG\nABCDEFGHIJ")), 2, 1, true)
        << QStringLiteral("height 30|width 15|str ABCDEFG\\r\\nABCDEFGHIJ|") + grid +
               QStringLiteral("|font 12|fill 13")
        << QStringLiteral("height 30|width 10|str 0001|font 12|fill 13|") + grid
        << QStringLiteral("height 30|width 40|") + grid;
    QTest::newRow("one line") << numbered(makeJob(2, QStringLiteral("ABC")), 7, 1)
                              << QStringLiteral("height 15|width 4|str ABC|") + grid +
                                     QStringLiteral("|font 8|fill 9")
                              << QStringLiteral("height 15|width 10|str 7|font 8|fill 9|") + grid
                              << QStringLiteral("height 15|width 40|") + grid;
}

void TestExport::dataRows()
{
    QFETCH(ExportJob, job);
    QFETCH(QString, a1);
    QFETCH(QString, b1);
    QFETCH(QString, c1);
    const RecordingXlsApi api = record(job);
    QCOMPARE(api.faults, QStringList());
    QCOMPARE(api.cell(0, 1), a1);
    QCOMPARE(api.cell(1, 1), b1);
    QCOMPARE(api.cell(2, 1), c1);
}

void TestExport::layout_data()
{
    QTest::addColumn<ExportJob>("job");
    QTest::addColumn<QString>("headA");
    QTest::addColumn<QString>("headB");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("widthA");
    QTest::addColumn<QString>("textA");
    const QString t = QStringLiteral(u"文字"), n = QStringLiteral(u"数字");
    const QString up = QStringLiteral(u"上段"), low = QStringLiteral(u"下段");
    QTest::newRow("one line") << makeJob(2, QStringLiteral("ABC")) << t << n << "15"
                              << "4"
                              << "ABC";
    QTest::newRow("two lines, second longer")
        << makeJob(5, QStringLiteral("ABCDEFG\nABCDEFGHIJ")) << up << low << "30"
        << "15"
        << "ABCDEFG\\r\\nABCDEFGHIJ";
    QTest::newRow("two lines, first longer")
        << makeJob(6, QStringLiteral("ABCDEFGHIJ\nABC")) << up << low << "30"
        << "15"
        << "ABCDEFGHIJ\\r\\nABC";
    QTest::newRow("three lines") << makeJob(8, QStringLiteral("AB\nABCDEF\nABCDEFGHIJKLMNOP")) << up
                                 << low << "30"
                                 << "9"
                                 << "AB\\r\\nABCDEF";
    QTest::newRow("empty proof") << makeJob(2, QString()) << up << low << "30"
                                 << "0"
                                 << "\\r\\n";
    QTest::newRow("empty first line") << makeJob(9, QStringLiteral("\nABC")) << up << low << "30"
                                      << "4"
                                      << "\\r\\nABC";
    // One line with its break still after it: the text goes whole.
    QTest::newRow("one line and a break") << makeJob(6, QStringLiteral("AB\n")) << t << n << "15"
                                          << "3"
                                          << "AB\\r\\n";
    QTest::newRow("odd bytes truncate") << makeJob(2, QStringLiteral("ABCDE")) << t << n << "15"
                                        << "7"
                                        << "ABCDE";
    QTest::newRow("full-width counts 2")
        << makeJob(8, QStringLiteral(u"血清\nAB")) << up << low << "30"
        << "6" << QStringLiteral(u"血清\\r\\nAB");
    // The library brings a width past its widest column down; the program asks for the
    // width the text needs.
    QTest::newRow("wider than any column") << makeJob(2, QString(171, u'X')) << t << n << "15"
                                           << "256" << QString(171, u'X');
    QTest::newRow("longer than 50 bytes kept whole")
        << makeJob(2, QString(60, u'X')) << t << n << "15"
        << "90" << QString(60, u'X');
    QTest::newRow("circle, empty text") << makeJob(1, QString()) << t << n << "20"
                                        << "6"
                                        << " ";
    // Whatever the number proof still holds from another job does not head a circle export.
    QTest::newRow("circle, stale two-line proof")
        << makeJob(1, QStringLiteral("AB\nCD"), QStringLiteral("XY")) << t << n << "20"
        << "6"
        << "XY";
}

void TestExport::layout()
{
    QFETCH(ExportJob, job);
    QFETCH(QString, headA);
    QFETCH(QString, headB);
    QFETCH(QString, height);
    QFETCH(QString, widthA);
    QFETCH(QString, textA);
    const RecordingXlsApi api = record(job);
    QCOMPARE(api.faults, QStringList());
    QCOMPARE(api.arg(0, 0, "str"), headA);
    QCOMPARE(api.arg(1, 0, "str"), headB);
    for (int column = 0; column < 3; ++column)
        QVERIFY(!api.find(column, 0, "width"));
    for (int row = 1; row <= 3; ++row) {
        for (int column = 0; column < 3; ++column)
            QCOMPARE(api.arg(column, row, "height"), height);
        QCOMPARE(api.arg(0, row, "width"), widthA);
        QCOMPARE(api.arg(1, row, "width"), QStringLiteral("10"));
        QCOMPARE(api.arg(2, row, "width"), QStringLiteral("40"));
        QCOMPARE(api.arg(0, row, "str"), textA);
    }
}

void TestExport::shiftJisBytes_data()
{
    QTest::addColumn<ExportJob>("job");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("bytes");
    const ExportJob one = makeJob(2, QStringLiteral("ABC"));
    const ExportJob two = makeJob(5, QStringLiteral(u"血清\nAB"));
    QTest::newRow("A0 one line") << one << 0 << 0 << QByteArray("\x95\xb6\x8e\x9a");
    QTest::newRow("B0 one line") << one << 1 << 0 << QByteArray("\x90\x94\x8e\x9a");
    QTest::newRow("A0 two lines") << two << 0 << 0 << QByteArray("\x8f\xe3\x92\x69");
    QTest::newRow("B0 two lines") << two << 1 << 0 << QByteArray("\x89\xba\x92\x69");
    QTest::newRow("title") << one << 2 << 0
                           << QByteArray(
                                  "\x93\xe0\x97\x65\x81\x40(26/12/07/\x82\x50\x82\x51\x82\x8d"
                                  "\x82\x8d\x82\x77\x82\x51\x82\x53\x82\x8d\x82\x8d\x83\x89"
                                  "\x83\x78\x83\x8b)");
    QTest::newRow("A1 CR LF") << two << 0 << 1 << QByteArray("\x8c\x8c\x90\xb4\r\nAB");
    QTest::newRow("circle") << makeJob(1, QString(), QStringLiteral(u"φ1")) << 0 << 1
                            << QByteArray("\x83\xd3"
                                          "1");
}

void TestExport::shiftJisBytes()
{
    QFETCH(ExportJob, job);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QByteArray, bytes);
    const RecordingXlsApi api = record(job);
    const RecordingXlsApi::Call *c = api.find(column, row, "str");
    QVERIFY(c);
    QCOMPARE(c->raw, bytes);
}

void TestExport::numbers_data()
{
    QTest::addColumn<ExportJob>("job");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("rows");
    const QString p = QStringLiteral("AB");
    QTest::newRow("padded") << numbered(makeJob(2, p), 98, 0) << QStringList{"0098", "0099", "0100"}
                            << "0100" << 3;
    QTest::newRow("plain") << numbered(makeJob(5, p), 98, 1) << QStringList{"98", "99", "100"}
                           << "100" << 3;
    QTest::newRow("fifth digit in full") << numbered(makeJob(8, p, QString(), 400), 9990, 0)
                                         << QStringList{"9990", "9991"} << "10389" << 400;
    QTest::newRow("circle plain") << numbered(makeJob(1, QString(), "A", 2), 1, 1)
                                  << QStringList{"1", "2"} << "2" << 2;
    QTest::newRow("no samples") << makeJob(2, p, QString(), 0) << QStringList() << QString() << 0;
    QTest::newRow("negative count")
        << makeJob(9, p, QString(), -4) << QStringList() << QString() << 0;
}

void TestExport::numbers()
{
    QFETCH(ExportJob, job);
    QFETCH(QStringList, first);
    QFETCH(QString, last);
    QFETCH(int, rows);
    int status = -1;
    const RecordingXlsApi api = record(job, &status);
    QCOMPARE(status, 0);
    QCOMPARE(api.faults, QStringList());
    QCOMPARE(api.lastRow(), rows);
    QCOMPARE(api.closes, 1);
    QStringList numbers;
    for (const RecordingXlsApi::Call &c : api.calls) {
        if (c.column == 1 && c.row > 0 && c.op == QLatin1String("str"))
            numbers << c.arg;
    }
    QCOMPARE(numbers.size(), rows);
    QCOMPARE(numbers.mid(0, first.size()), first);
    if (rows > 0)
        QCOMPARE(numbers.last(), last);
}

void TestExport::colours_data()
{
    QTest::addColumn<ExportJob>("job");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("fill");
    QTest::addColumn<QString>("line");
    const ExportJob circle = makeJob(1, QString(), QStringLiteral("A"));
    const ExportJob rect = makeJob(2, QStringLiteral("A"));
    QTest::newRow("framed SkyBlue") << withColours(circle, 0, 2, true) << "8"
                                    << "9"
                                    << "0x0200001e";
    QTest::newRow("unframed SkyBlue") << withColours(circle, 0, 2, false) << "8"
                                      << "30" << kGrid;
    QTest::newRow("framed White") << withColours(circle, 1, 0, true) << "10"
                                  << "9"
                                  << "0x02000009";
    QTest::newRow("framed Red") << withColours(circle, 8, 5, true) << "9"
                                << "9"
                                << "0x0200000a";
    QTest::newRow("rect, frame box checked") << withColours(rect, 3, 4, true) << "11"
                                             << "22" << kGrid;
    const char *textCodes[] = {"8", "10", "12", "11", "13", "14", "15", "11", "9"};
    for (int i = 0; i < 9; ++i)
        QTest::newRow(qPrintable(QStringLiteral("text %1").arg(i)))
            << withColours(rect, i, 0, false) << textCodes[i] << "9" << kGrid;
    const char *backCodes[] = {"9", "13", "30", "11", "22", "10", "15", "11"};
    for (int i = 0; i < 8; ++i)
        QTest::newRow(qPrintable(QStringLiteral("back %1").arg(i)))
            << withColours(rect, 0, i, false) << "8" << backCodes[i] << kGrid;
}

void TestExport::colours()
{
    QFETCH(ExportJob, job);
    QFETCH(QString, font);
    QFETCH(QString, fill);
    QFETCH(QString, line);
    const RecordingXlsApi api = record(job);
    QCOMPARE(api.faults, QStringList());
    for (int row = 0; row <= 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const bool coloured = row > 0 && column < 2;
            QCOMPARE(api.arg(column, row, "font"), coloured ? font : QStringLiteral("<none>"));
            QCOMPARE(api.arg(column, row, "fill"), coloured ? fill : QStringLiteral("<none>"));
            for (const char *side : {"top", "bottom", "left", "right"})
                QCOMPARE(api.arg(column, row, side), coloured ? line : kGrid);
        }
    }
}

void TestExport::refused_data()
{
    QTest::addColumn<ExportJob>("job");
    // Numbers that are no sheet type (0, 11) never make a job: titles() shows them refused.
    for (int type : {3, 4, 7, 10})
        QTest::newRow(qPrintable(QStringLiteral("type %1").arg(type))) << makeJob(type, "A");
    QTest::newRow("more rows than a sheet") << makeJob(2, "A", QString(), 65536);
    QTest::newRow("number overflows") << numbered(makeJob(2, "A", QString(), 3), INT_MAX - 1, 1);
}

void TestExport::refused()
{
    QFETCH(ExportJob, job);
    int status = -1;
    const RecordingXlsApi api = record(job, &status);
    QCOMPARE(status, EINVAL);
    QCOMPARE(api.creates, 0);
    QCOMPARE(api.calls.size(), 0);
    QCOMPARE(api.closes, 0);
}

void TestExport::libraryStatus_data()
{
    QTest::addColumn<int>("createStatus");
    QTest::addColumn<int>("closeStatus");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("puts");
    QTest::addColumn<QString>("message");
    QTest::newRow("written") << 0 << 0 << 0 << 90 << QString();
    QTest::newRow("write fails") << 0 << ENOSPC << ENOSPC << 90
                                 << QStringLiteral(
                                        u"Excel ファイルを書き込めませんでした: /tmp/x.xls");
    QTest::newRow("book not started")
        << EBUSY << 0 << EBUSY << 0
        << QStringLiteral(u"Excel ファイルを作成できませんでした: /tmp/x.xls");
}

void TestExport::libraryStatus()
{
    QFETCH(int, createStatus);
    QFETCH(int, closeStatus);
    QFETCH(int, status);
    QFETCH(int, puts);
    QFETCH(QString, message);
    RecordingXlsApi api;
    api.createStatus = createStatus;
    api.closeStatus = closeStatus;
    int32_t handle = 0;
    const corvial::ExportResult result =
        corvial::writeWorkbook(api, "/tmp/x.xls", makeJob(2, "A"), &handle);
    QCOMPARE(result.status, status);
    QCOMPARE(result.written(), status == 0);
    QCOMPARE(api.calls.size(), puts);
    QCOMPARE(api.closes, puts > 0 ? 1 : 0);
    // Only a failed close makes the program ask which put was refused.
    QCOMPARE(api.refusalQueries, closeStatus != 0 ? 1 : 0);
    QCOMPARE(api.faults, QStringList());
    if (!message.isEmpty())
        message += QLatin1Char('\n') + QString::fromLocal8Bit(std::strerror(status));
    QCOMPARE(corvial::exportErrorText(QStringLiteral("/tmp/x.xls"), result), message);
}

// A label text longer than a cell holds is found before the book is started.
void TestExport::longTexts_data()
{
    QTest::addColumn<ExportJob>("job");
    QTest::addColumn<bool>("refused");
    const QString x = QStringLiteral("X");
    QTest::newRow("one line at the limit") << makeJob(2, x.repeated(32767)) << false;
    QTest::newRow("one line over") << makeJob(2, x.repeated(32768)) << true;
    // Units, not bytes: a full-width character is two bytes but one unit.
    QTest::newRow("full-width at the limit") << makeJob(2, QString(32767, QChar(u'血'))) << false;
    // The break between two lines goes as CR LF, two units.
    QTest::newRow("two lines at the limit") << makeJob(5, x.repeated(32764) + "\nY") << false;
    QTest::newRow("two lines over") << makeJob(5, x.repeated(32765) + "\nY") << true;
    QTest::newRow("final break over") << makeJob(6, x.repeated(32766) + "\n") << true;
    QTest::newRow("long third line is not written")
        << makeJob(8, "A\nB\n" + x.repeated(40000)) << false;
    QTest::newRow("circle text over") << makeJob(1, QString(), x.repeated(32768)) << true;
    QTest::newRow("no row holds it") << makeJob(9, x.repeated(40000), QString(), 0) << false;
}

void TestExport::longTexts()
{
    QFETCH(ExportJob, job);
    QFETCH(bool, refused);
    RecordingXlsApi api;
    int32_t handle = 0;
    const corvial::ExportResult result =
        corvial::writeWorkbook(api, QStringLiteral("/tmp/out.xls"), job, &handle);
    QCOMPARE(api.faults, QStringList());
    if (!refused) {
        QVERIFY(result.written());
        QCOMPARE(api.creates, 1);
        if (const RecordingXlsApi::Call *text = api.find(0, 1, "str"))
            QVERIFY(corvial::fromSjis(text->raw).size() <= corvial::kMaxCellTextUnits);
        return;
    }
    QVERIFY(result.outcome == corvial::ExportResult::Outcome::CellRefused);
    QCOMPARE(result.status, EMSGSIZE);
    QCOMPARE(api.creates, 0);
    QCOMPARE(api.calls.size(), 0);
    QCOMPARE(corvial::exportErrorText(QStringLiteral("/tmp/out.xls"), result),
             QStringLiteral(u"セル A2 の文字が長すぎるため、Excel ファイルを作成しませんでした: "
                            u"/tmp/out.xls\n") +
                 QString::fromLocal8Bit(std::strerror(EMSGSIZE)));
}

// The longest text the program lets through is one the library takes.
void TestExport::libraryTakesTheLongestText()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    corvial::XlsCrtLibrary library;
    int32_t handle = 0;
    const ExportJob job = makeJob(5, QStringLiteral("X").repeated(32764) + "\nY");
    QVERIFY(corvial::writeWorkbook(library, dir.filePath("book.xls"), job, &handle).written());
}

// The real library refuses a value the program passed: the refusal comes back through the
// binding with its cell, and an existing file stays as it was.
void TestExport::libraryRefusalReachesTheMessage()
{
    // Hands the library a width it cannot take for the number column.
    class SpoilingLibrary : public corvial::XlsCrtLibrary
    {
    public:
        void XlsPutColWidth(int32_t width, int32_t cell) override
        {
            XlsCrtLibrary::XlsPutColWidth(width == 10 ? -1 : width, cell);
        }
    };
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("book.xls"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old book") == 8);
    old.close();

    SpoilingLibrary library;
    int32_t handle = 0;
    const corvial::ExportResult result =
        corvial::writeWorkbook(library, path, makeJob(2, QStringLiteral("AB")), &handle);
    QVERIFY(result.outcome == corvial::ExportResult::Outcome::CellRefused);
    QCOMPARE(result.status, EINVAL);
    QVERIFY(result.operation == corvial::XlsOperation::PutColWidth);
    QCOMPARE(result.column, 1);
    QCOMPARE(result.row, 1);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old book"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("book.xls")});
    QVERIFY(corvial::exportErrorText(path, result)
                .startsWith(QStringLiteral(u"セル B2 の列の幅を設定できなかったため")));

    // The next book starts clean.
    QVERIFY(corvial::writeWorkbook(library, path, makeJob(1, QString(), QStringLiteral("A"), 0),
                                   &handle)
                .written());
}

// A put the library refused fails the close; the program asks which one and names its cell,
// and the calls it made are those of a book that was written.
void TestExport::refusalNamesTheCell_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("sentence");
    const QString tail = QStringLiteral(u"、Excel ファイルを作成しませんでした: /tmp/x.xls");
    QTest::newRow("width") << int(corvial::XlsOperation::PutColWidth) << 0 << 1 << EINVAL
                           << QStringLiteral(u"セル A2 の列の幅を設定できなかったため") + tail;
    QTest::newRow("text too long") << int(corvial::XlsOperation::PutStr) << 0 << 5 << EMSGSIZE
                                   << QStringLiteral(u"セル A6 の文字が長すぎるため") + tail;
    QTest::newRow("frame line") << int(corvial::XlsOperation::PutLineRight) << 1 << 3 << EINVAL
                                << QStringLiteral(u"セル B4 の罫線を設定できなかったため") + tail;
    QTest::newRow("fill, no cell") << int(corvial::XlsOperation::PutBackColor) << -1 << -1 << EINVAL
                                   << QStringLiteral(u"背景の色を設定できなかったため") + tail;
}

void TestExport::refusalNamesTheCell()
{
    QFETCH(int, operation);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(int, status);
    QFETCH(QString, sentence);
    const ExportJob job = makeJob(2, QStringLiteral("AB"));
    const RecordingXlsApi plain = record(job);

    RecordingXlsApi api;
    api.closeStatus = status;
    api.refusalStatus = status;
    api.refusalOperation = operation;
    api.refusalColumn = column;
    api.refusalRow = row;
    int32_t handle = 0;
    const corvial::ExportResult result =
        corvial::writeWorkbook(api, QStringLiteral("/tmp/x.xls"), job, &handle);
    QCOMPARE(api.faults, QStringList());
    QCOMPARE(api.calls.size(), plain.calls.size());
    QCOMPARE(api.cellOrder(), plain.cellOrder());
    QCOMPARE(api.refusalQueries, 1);
    QVERIFY(result.outcome == corvial::ExportResult::Outcome::CellRefused);
    QCOMPARE(result.status, status);
    QCOMPARE(corvial::exportErrorText(QStringLiteral("/tmp/x.xls"), result),
             sentence + QLatin1Char('\n') + QString::fromLocal8Bit(std::strerror(status)));
}

void TestExport::cellNames_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("name");
    QTest::newRow("heading") << 0 << 0 << "A1";
    QTest::newRow("first sample") << 0 << 1 << "A2";
    QTest::newRow("last single letter") << 25 << 9 << "Z10";
    QTest::newRow("first double letter") << 26 << 0 << "AA1";
    QTest::newRow("AZ") << 51 << 0 << "AZ1";
    QTest::newRow("BA") << 52 << 0 << "BA1";
    QTest::newRow("last cell") << 255 << 65535 << "IV65536";
}

void TestExport::cellNames()
{
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QString, name);
    QCOMPARE(corvial::spreadsheetCellName(column, row), name);
}

void TestExport::pathAndHandle()
{
    // Not Shift-JIS and not cut to any buffer: the name as the file system spells it.
    const QString path = QStringLiteral(u"/tmp/") + QString(300, u'x') + QStringLiteral(u"/検体 1");
    RecordingXlsApi api;
    int32_t handle = 0;
    QVERIFY(corvial::writeWorkbook(api, path, makeJob(2, "A"), &handle).written());
    QCOMPARE(api.path, "/tmp/" + QByteArray(300, 'x') + "/\xe6\xa4\x9c\xe4\xbd\x93 1");
    QCOMPARE(api.version, 2002);
    QCOMPARE(api.sheets, 3);
    QCOMPARE(api.handle, &handle);
}

// Through the real library: an existing file is replaced, under exactly the name given.
void TestExport::libraryReplacesFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral(u"検体"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older file");
    old.close();

    corvial::XlsCrtLibrary library;
    int32_t handle = 0;
    const ExportJob job = withColours(makeJob(1, QString(), QStringLiteral(u"血清A")), 1, 2, true);
    QVERIFY(corvial::writeWorkbook(library, path, job, &handle).written());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.read(8), QByteArray("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"));
    QVERIFY(old.size() >= 4096);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral(u"検体")});
}

void TestExport::unwritable_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("status");
    QTest::newRow("missing directory") << QStringLiteral("missing/book.xls") << ENOENT;
    QTest::newRow("file as directory") << QStringLiteral("plain/book.xls") << ENOTDIR;
    // Root writes into any directory, whatever its mode says.
    if (geteuid() != 0)
        QTest::newRow("read-only directory") << QStringLiteral("locked/book.xls") << EACCES;
}

void TestExport::unwritable()
{
    QFETCH(QString, where);
    QFETCH(int, status);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile plain(dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                                  QFile::ReadOwner | QFile::ExeOwner));

    const QString path = dir.filePath(where);
    corvial::XlsCrtLibrary library;
    int32_t handle = 0;
    const corvial::ExportResult rc =
        corvial::writeWorkbook(library, path, makeJob(2, QStringLiteral("AB")), &handle);
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(rc.status, status);
    QVERIFY(rc.outcome == corvial::ExportResult::Outcome::NotWritten);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(corvial::exportErrorText(path, rc),
             QStringLiteral(u"Excel ファイルを書き込めませんでした: ") + path + QLatin1Char('\n') +
                 QString::fromLocal8Bit(std::strerror(status)));
    QCOMPARE(corvial::exportErrorText(path, corvial::ExportResult()), QString());
}

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
