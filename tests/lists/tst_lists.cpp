// SPDX-License-Identifier: GPL-3.0-or-later
#include "../support/TextFiles.h"
#include "job/JobRules.h"
#include "job/LabelJob.h"
#include "lists/CellText.h"
#include "lists/JobSummary.h"
#include "lists/ListColumns.h"
#include "lists/SampleList.h"

#include <xlscrt2.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <quazip.h>
#include <quazipfile.h>

#include <sys/stat.h>

using namespace corvial;
using namespace Qt::StringLiterals;

class TestLists : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void readsBack_data();
    void readsBack();
    void readsOwnXls();
    void readsOpenpyxlWorkbook();
    void jobSummary_data();
    void jobSummary();
    void columnsSetAside_data();
    void columnsSetAside();
};

namespace {

using Rows = QList<QStringList>;

QByteArray sjis(const QString &text)
{
    return encoded("windows-31j", text);
}

// A zip archive of the given parts, deflated as spreadsheet programs write them.
QByteArray zipOf(const QList<QPair<QString, QByteArray>> &parts)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        return QByteArray();
    for (const auto &[name, data] : parts) {
        QuaZipFile f(&zip);
        if (!f.open(QIODevice::WriteOnly, QuaZipNewInfo(name)) || f.write(data) != data.size())
            return QByteArray();
        f.close();
    }
    zip.close();
    return bytes;
}

const QByteArray kRootRels =
    R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)";

// A workbook whose first sheet in workbook order is sheet2.xml (the part named second).
QByteArray handMadeXlsx(const QByteArray &firstSheet)
{
    const QByteArray workbook = R"(<?xml version="1.0"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:x="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<workbookPr date1904="1"/><sheets><sheet name="first" sheetId="2" x:id="rId2"/><sheet name="second" sheetId="1" x:id="rId1"/></sheets></workbook>)";
    const QByteArray rels =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/sheet2.xml"/>
<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>
<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/></Relationships>)";
    const QByteArray shared =
        R"(<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<si><r><t>血</t></r><r><rPr><b/></rPr><t xml:space="preserve">清 </t></r><rPh sb="0" eb="2"><t>ケッセイ</t></rPh></si></sst>)";
    const QByteArray styles =
        R"(<?xml version="1.0"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="2"><numFmt numFmtId="164" formatCode="[$-411]ggge&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/><numFmt numFmtId="165" formatCode="0.0&quot;d&quot;"/></numFmts>
<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="165"/></cellXfs></styleSheet>)";
    const QByteArray other =
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>wrong sheet</t></is></c></row></sheetData></worksheet>)";
    return zipOf({{QStringLiteral("_rels/.rels"), kRootRels},
                  {QStringLiteral("xl/workbook.xml"), workbook},
                  {QStringLiteral("xl/_rels/workbook.xml.rels"), rels},
                  {QStringLiteral("xl/sharedStrings.xml"), shared},
                  {QStringLiteral("xl/styles.xml"), styles},
                  {QStringLiteral("xl/worksheets/sheet1.xml"), other},
                  {QStringLiteral("xl/worksheets/sheet2.xml"), firstSheet}});
}

QByteArray sheetXml(const QByteArray &rows)
{
    return R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" +
           rows + "</sheetData></worksheet>";
}

// text as UTF-16 without a byte order mark, as some exporters write it.
QByteArray utf16WithoutBom(QStringConverter::Encoding encoding, const QString &text)
{
    return QStringEncoder(encoding).encode(text);
}

QByteArray lines(int count, const QByteArray &line)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += line + "\n";
    return out;
}

} // namespace

void TestLists::refusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // "<fifo>", "<folder>", "<huge>" make such a thing
    QTest::addColumn<int>("sheetType");
    QTest::addColumn<bool>("heading");
    QTest::addColumn<QString>("expected");

    QTest::newRow("unknown format")
        << "list.ods" << QByteArray("a\n") << 1 << false << "この形式のファイルは読めません";
    QTest::newRow("FIFO") << "list.csv" << QByteArray("<fifo>") << 1 << false << "名前付きパイプ";
    QTest::newRow("folder") << "list.csv" << QByteArray("<folder>") << 1 << false << "フォルダー";
    QTest::newRow("over 16 MiB") << "list.csv" << QByteArray("<huge>") << 1 << false
                                 << "ファイルが大きすぎます (16777216 バイトまで";
    QTest::newRow("no encoding reads line 3")
        << "list.csv" << QByteArray("a\nb\n\x82\n") << 1 << false
        << "3 行目に UTF-8、UTF-16、Shift-JIS のどれとしても読めない文字";
    QTest::newRow("bad UTF-8 after BOM") << "list.csv"
                                         << QByteArray("\xEF\xBB\xBF"
                                                       "a\n\xC3\n")
                                         << 1 << false << "2 行目に UTF-8";
    QTest::newRow("quote never closed") << "list.csv" << QByteArray("a\n\"b,c\nd\n") << 2 << false
                                        << "2 行目で始まる引用符 (\") が閉じられていません";
    QTest::newRow("line break in a cell") << "list.csv" << QByteArray("a\nb,\"x\r\ny\"\n") << 2
                                          << false << "セル B2 に改行があります";
    QTest::newRow("empty row between")
        << "list.csv" << QByteArray("a\n,\nb\n\n\n") << 1 << false << "2 行目が空です";
    QTest::newRow("row empty in printed columns")
        << "list.csv" << QByteArray("a\n,,,x\nb\n") << 2 << false << "2 行目が空です";
    QTest::newRow("401 samples") << "list.csv" << lines(401, "a") << 1 << false
                                 << "サンプルが 401 件あります。サンプルは 400 件まで";
    QTest::newRow("401 after a heading")
        << "list.csv" << lines(402, "a") << 1 << true << "サンプルが 401 件あります";
    QTest::newRow("far beyond 400")
        << "list.tsv" << lines(100000, "a\tb") << 2 << false << "402 行目より下にも文字があります";
    QTest::newRow("heading only") << "list.csv" << QByteArray("名前\n") << 1 << true
                                  << "印刷するサンプルがありません (A 列が空です)";
    QTest::newRow("marker type")
        << "list.csv" << QByteArray("a\n") << 4 << false
        << "シートタイプ 4（長方形特殊（６０））にはサンプルリストを使えません";
    QTest::newRow("circle text over 5 bytes")
        << "list.csv" << sjis(QStringLiteral(u"血清A\n血清AB\n")) << 1 << false
        << "A2: 6 バイト (上限 5 バイト)";
    QTest::newRow("second line of type 5") << "list.csv" << QByteArray("a,1234567890123\n") << 5
                                           << false << "B1: 13 バイト (上限 12 バイト)";
    QTest::newRow("fourth line of the memo type") << "list.csv" << QByteArray("a,b,c,12345678901\n")
                                                  << 3 << false << "D1: 11 バイト (上限 10 バイト)";
    QTest::newRow("a cell of 3000 full-width characters")
        << "list.csv"
        << "a\n" + QString(3000, QChar(0x691C)).toUtf8() + "\n"
        << 2 << false << "A2: 6000 バイト (上限 7 バイト)";
    QTest::newRow("ten named, then the rest") << "list.csv" << lines(13, "12345678") << 2 << false
                                              << "A10: 8 バイト (上限 7 バイト)\nほか 3 件";
    QTest::newRow("no Shift-JIS form")
        << "list.csv" << QStringLiteral(u"ok\n検体🧪\n").toUtf8() << 8 << false
        << "A2: 「🧪」は Shift-JIS にない文字です";
    // Every character that would print as a box or not at all is named with its cell, whatever
    // the encoding the decoder took; nothing is cut at a NUL.
    QTest::newRow("NUL in a UTF-8 cell")
        << "list.csv" << (lines(6, "S,ok") + QByteArray("S7,a\0b\n", 8)) << 2 << false
        << "B7: 制御文字 U+0000があります";
    QTest::newRow("NUL in a Shift-JIS cell")
        << "list.csv" << sjis(u"検体,x\n"_s) + QByteArray("\0\n", 2) << 2 << false
        << "A2: 制御文字 U+0000があります";
    QTest::newRow("ESC in a TSV cell")
        << "list.tsv" << QByteArray("a\tb\x1b[31m\n") << 2 << false << "B1: 制御文字 U+001B";
    QTest::newRow("DEL in a text list")
        << "list.txt" << QByteArray("a\nb\x7f\n") << 1 << false << "A2: 制御文字 U+007F";
    QTest::newRow("tab in a CSV cell")
        << "list.csv" << QByteArray("a,\"x\ty\"\n") << 2 << false << "B1: 制御文字 U+0009";
    QTest::newRow("vertical tab, a heading before")
        << "list.csv" << QByteArray("ID\nx\v\n") << 1 << true << "A2: 制御文字 U+000B";
    QTest::newRow("bidi override") << "list.csv" << u"ab\u202Ec\n"_s.toUtf8() << 2 << false
                                   << "A1: 見えない書式文字 U+202Eがあります";
    QTest::newRow("UTF-16LE without BOM")
        << "list.txt" << utf16WithoutBom(QStringConverter::Utf16LE, u"S-1\tA\r\nS-2\tB\r\n"_s) << 2
        << false << "バイト順マーク (BOM) のない UTF-16";
    QTest::newRow("UTF-16BE without BOM, kanji only")
        << "list.csv" << utf16WithoutBom(QStringConverter::Utf16BE, u"検体甲\n検体乙\n検体丙\n"_s)
        << 1 << false << "バイト順マーク (BOM) のない UTF-16";
    QTest::newRow("not a zip") << "list.xlsx" << QByteArray("a,b\n") << 1 << false
                               << "xlsx (ZIP 形式) のファイルとして開けません";
    QTest::newRow("zip bomb") << "list.xlsx"
                              << handMadeXlsx(sheetXml(QByteArray(65 * 1024 * 1024, ' '))) << 1
                              << false << "展開すると 64 MiB を超えるため";
    QTest::newRow("shared string missing")
        << "list.xlsx" << handMadeXlsx(sheetXml(R"(<row r="2"><c r="B2" t="s"><v>7</v></c></row>)"))
        << 2 << false << "セル B2: 共有文字列 7 がありません";
    QTest::newRow("not an xls") << "list.xls" << QByteArray("a,b\n") << 1 << false
                                << "Excel 97-2003 形式 (.xls) のブックとして読めません";
}

void TestLists::refusals()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, sheetType);
    QFETCH(bool, heading);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (content == "<fifo>")
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0644) == 0);
    else if (content == "<folder>")
        QVERIFY(QDir(dir.path()).mkdir(name));
    else if (content == "<huge>") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(MaxListFileBytes + 1));
    } else
        QVERIFY(writeFile(path, content));

    const SampleListRead read =
        readSampleList(path, SampleListOptions{SheetType::fromCode(sheetType).value(), heading});
    QVERIFY(!read.ok());
    QVERIFY2(read.error.startsWith(QStringLiteral("サンプルリストを読み込めませんでした: ") +
                                   QDir::toNativeSeparators(path) + QLatin1Char('\n')),
             qPrintable(read.error));
    QVERIFY2(read.error.contains(expected), qPrintable(read.error));
}

void TestLists::readsBack_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("sheetType");
    QTest::addColumn<bool>("heading");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("ignored");

    QTest::newRow("Shift-JIS CSV with quotes")
        << "s.csv" << sjis(QStringLiteral(u"\"血清, A\",\"x\"\"y\",z\r\n①,\r\n\r\n,\r\n")) << 2
        << false << Rows{{u"血清, A"_s, u"x\"y"_s}, {u"①"_s, {}}} << 1;
    QTest::newRow("UTF-8 CSV with BOM and heading")
        << "u.CSV" << QByteArray("\xEF\xBB\xBF名前,行2\nΩ,\"\"\nb,c") << 5 << true
        << Rows{{u"Ω"_s, {}}, {u"b"_s, u"c"_s}} << 0;
    QTest::newRow("UTF-16 text, tab separated")
        << "excel.txt" << encoded("UTF-16LE", QStringLiteral(u"検体\t12,5\r\nB\t\t\tx\r\n")) << 8
        << false << Rows{{u"検体"_s, u"12,5"_s, {}}, {u"B"_s, {}, {}}} << 1;
    // A text list is tab separated when any line has a tab; otherwise each line is one cell.
    QTest::newRow("text with commas")
        << "c.txt" << QByteArray("a,b\n") << 2 << false << Rows{{u"a,b"_s, {}}} << 0;
    QTest::newRow("text, tabs only after the heading")
        << "h.txt" << QByteArray("ID only\nS-1\tx\nS-2\t\"y,z\"\n") << 2 << true
        << Rows{{u"S-1"_s, u"x"_s}, {u"S-2"_s, u"y,z"_s}} << 0;
    QTest::newRow("text, tab in the last line only")
        << "l.txt" << QByteArray("a\nb\nc\td\n") << 2 << false
        << Rows{{u"a"_s, {}}, {u"b"_s, {}}, {u"c"_s, u"d"_s}} << 0;
    // Columns past the kept ones are counted, not read: a quoted "" is empty, a quoted quote
    // or line break is text, and every row adds its own.
    QTest::newRow("far columns counted")
        << "far.csv" << QByteArray("a,b,c,,e,\"\",\"\"\"\",\"\r\n\"\nf,g,,,,,,,,x\n") << 2 << false
        << Rows{{u"a"_s, u"b"_s}, {u"f"_s, u"g"_s}} << 5;
    QTest::newRow("hand-made xlsx")
        << "h.xlsx"
        << handMadeXlsx(sheetXml(
               R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="C1" t="inlineStr"><is><r><t>A</t></r><r><t>B</t></r></is></c></row>
<row r="2"><c r="A2" s="1"><v>0</v></c><c r="B2" s="2"><v>2.50</v></c><c r="C2" t="str"><f>1</f><v>X</v></c><c r="E2"><v>1</v></c></row>)"))
        << 8 << false << Rows{{u"血清 "_s, {}, u"AB"_s}, {u"1904/01/01"_s, u"2.5"_s, u"X"_s}} << 1;
    // Rows a filter hides are neither samples nor gaps between them, with text or without.
    QTest::newRow("rows hidden between samples")
        << "f.xlsx"
        << handMadeXlsx(sheetXml(
               R"(<row r="1"><c r="A1" t="inlineStr"><is><t>a</t></is></c></row><row r="2" hidden="1"/>
<row r="3" hidden="1"><c r="A3" t="inlineStr"><is><t>x</t></is></c></row><row r="4"><c r="A4" t="inlineStr"><is><t>b</t></is></c></row>)"))
        << 2 << false << Rows{{u"a"_s, {}}, {u"b"_s, {}}} << 0;
}

void TestLists::readsBack()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, sheetType);
    QFETCH(bool, heading);
    QFETCH(Rows, rows);
    QFETCH(int, ignored);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(writeFile(path, content));
    const SampleListRead read =
        readSampleList(path, SampleListOptions{SheetType::fromCode(sheetType).value(), heading});
    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(read.list.rows, rows);
    QCOMPARE(read.list.ignoredColumns, ignored);
    QCOMPARE(read.list.fileName, name);
}

// A workbook from our own workbook library reads back as the list it holds.
void TestLists::readsOwnXls()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("own.xls"));
    const QStringList texts{u"文字"_s, u"血清1"_s, u"ｹﾝﾀｲ"_s, u"A-3"_s};
    int32_t handle = 0;
    QCOMPARE(XlsCreateBook(QFile::encodeName(path).constData(), 2002, 3, &handle), 0);
    for (int r = 0; r < texts.size(); ++r) {
        QCOMPARE(XlsPutStr(sjis(texts.at(r)).constData(), POS2(0, r, 0, r)), 0);
        QCOMPARE(XlsPutStr(QByteArray::number(r).constData(), POS2(1, r, 1, r)), 0);
    }
    QCOMPARE(XlsCloseBook(1), 0);

    const SampleListRead read =
        readSampleList(path, SampleListOptions{SheetType::fromCode(1).value(), true});
    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(read.list.rows, (Rows{{texts.at(1)}, {texts.at(2)}, {texts.at(3)}}));
    QCOMPARE(read.list.ignoredColumns, 1);
    QVERIFY(read.list.headingDropped);
}

// An .xlsx as another program writes it: shared strings, numbers and a date.
void TestLists::readsOpenpyxlWorkbook()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("py.xlsx"));
    const QString script = QStringLiteral(R"(
import datetime, sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'samples'
ws.append(['ID', 'Value'])
ws.append(['S-1', 1.0])
ws.append(['S-2', 2.5])
ws.append([1/3, 123456789012])
ws.append([0.1 + 0.2, datetime.date(2026, 12, 8)])
wb.create_sheet('later').append(['not this sheet'])
wb.save(sys.argv[1])
)");
    QProcess python;
    python.start(QStringLiteral(CORVIAL_OPENPYXL_PYTHON), {QStringLiteral("-c"), script, path});
    QVERIFY2(python.waitForFinished(30000) && python.exitCode() == 0,
             python.readAllStandardError().constData());

    const SampleListRead read =
        readSampleList(path, SampleListOptions{SheetType::fromCode(5).value(), true});
    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(read.list.rows, (Rows{{u"S-1"_s, u"1"_s},
                                   {u"S-2"_s, u"2.5"_s},
                                   {u"0.333333333"_s, u"1.23457E+11"_s},
                                   {u"0.3"_s, u"2026/12/08"_s}}));
    QCOMPARE(read.list.sampleText(0), u"S-1\n1"_s);
}

void TestLists::jobSummary_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("listColumns"); // 0: no list (else as many rows as samples)
    QTest::addColumn<QString>("text");
    QTest::newRow("rectangles over two sheets") << 2 << 30 << 2 << 50 << 0 << "60 ラベル・2 枚";
    QTest::newRow("a type without repeats prints one each")
        << 3 << 10 << 3 << 1 << 0 << "10 ラベル・1 枚";
    QTest::newRow("circles from the last position")
        << 1 << 400 << 1 << 150 << 0 << "400 ラベル・4 枚";
    QTest::newRow("start outside the sheet") << 8 << 73 << 1 << 0 << 0 << "73 ラベル・2 枚";
    QTest::newRow("a list of three columns")
        << 8 << 12 << 1 << 1 << 3 << "12 ラベル・1 枚（リスト 12 行・列 A–C）";
    QTest::newRow("a list of one column")
        << 1 << 5 << 2 << 1 << 1 << "10 ラベル・1 枚（リスト 5 行・列 A）";
    QTest::newRow("over the job bound")
        << 9 << 81 << 5 << 1 << 0 << "405 ラベル・6 枚　1 回に印刷できるのは 400 ラベルまでです";
}

// The summary counts the sheets as printing splits the job.
void TestLists::jobSummary()
{
    QFETCH(int, type);
    QFETCH(int, samples);
    QFETCH(int, repeat);
    QFETCH(int, start);
    QFETCH(int, listColumns);
    std::optional<ListExtent> list;
    if (listColumns > 0)
        list = ListExtent{samples, listColumns};
    const JobSummary s =
        summarizeJob(SheetType::fromCode(type).value(), samples, repeat, start, list);
    QTEST(s.text, "text");
    LabelJob job;
    job.sheetType = SheetType::fromCode(type).value();
    job.sampleCount = samples;
    job.repeatCount = s.labels / samples;
    job.startPos = start;
    QCOMPARE(s.sheets, advanceAfterPrint(job).sheets);
    QCOMPARE(s.tooMany, exceedsJobSize(job));
}

void TestLists::columnsSetAside_data()
{
    QTest::addColumn<QString>("csv"); // loaded for the type of three lines
    QTest::addColumn<bool>("heading");
    QTest::addColumn<int>("type"); // switched to
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("setAside");
    QTest::addColumn<bool>("keeps");
    QTest::addColumn<QString>("notice"); // part of it
    QTest::newRow("two lines of three") << "a,b,c\nd,e,f\n"
                                        << false << 2 << "AB"
                                        << "C" << true << "列 C は";
    QTest::newRow("one line of three") << "a,b,c\n"
                                       << false << 1 << "A"
                                       << "BC" << true << "列 B〜C は";
    QTest::newRow("the marker type takes none") << "a,b,c\n"
                                                << false << 4 << ""
                                                << "ABC" << false << "列 A〜C は";
    QTest::newRow("far columns") << "a,,,,x,y\n"
                                 << false << 10 << "A"
                                 << "EF" << true << "列 E〜F は";
    QTest::newRow("gaps between runs") << "a,,c,d,,f\n"
                                       << false << 1 << "A"
                                       << "CDF" << true << "列 C〜D・F は";
    QTest::newRow("heading row only") << "h1,h2,h3,h4\na\n"
                                      << true << 2 << "A"
                                      << "" << true << "";
    QTest::newRow("all printed") << "a,b\n"
                                 << false << 5 << "AB"
                                 << "" << true << "";
    QTest::newRow("a cell too long for the new type") << "12345678901,b\n"
                                                      << false << 2 << "AB"
                                                      << "" << false << "";
}

// What a type switch keeps of a loaded list, and what it says it leaves out; the list stays
// exactly when it is read again for the new type.
void TestLists::columnsSetAside()
{
    QFETCH(QString, csv);
    QFETCH(bool, heading);
    QFETCH(int, type);
    const ListTableRead table =
        readListTableData(csv.toUtf8(), ListFormat::Csv, QStringLiteral("samples.csv"));
    QVERIFY2(table.ok(), qPrintable(table.reason));
    const SampleListRead loaded =
        buildSampleList(table.table, {SheetType::fromCode(8).value(), heading}, "samples.csv");
    QVERIFY2(loaded.ok(), qPrintable(loaded.error));
    const SheetType to = SheetType::fromCode(type).value();
    const ListColumns c = listColumnsFor(loaded.list, to);
    auto letters = [](const QList<int> &columns) {
        QString out;
        for (int column : columns)
            out += listColumnName(column);
        return out;
    };
    QTEST(letters(c.printed), "printed");
    QTEST(letters(c.setAside), "setAside");
    QTEST(c.keeps(), "keeps");
    QCOMPARE(c.keeps(), buildSampleList(table.table, {to, heading}, "samples.csv").ok());
    if (c.keeps())
        QCOMPARE(c.read.list.ignoredColumns, int(c.setAside.size()));
    QFETCH(QString, notice);
    const QString shown = setAsideNotice(c, to);
    QCOMPARE(shown.isEmpty(), notice.isEmpty());
    QVERIFY2(shown.contains(notice), qPrintable(shown));
}

QTEST_GUILESS_MAIN(TestLists)
#include "tst_lists.moc"
