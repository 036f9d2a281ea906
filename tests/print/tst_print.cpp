// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/Colours.h"
#include "job/Fonts.h"
#include "print/LabelGeometry.h"
#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"
#include "support/PdfProbe.h"
#include "support/RecordingCanvas.h"
#include "support/SheetTypeOf.h"

#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvial;

namespace {

constexpr int RedIndex = 5;   // ListBox19 "Red"
constexpr int WhiteIndex = 8; // ListBox21 "White"
constexpr int PdfDpi = 300;

LabelJob jobOf(int sheetType, int samples = 1)
{
    LabelJob job;
    job.sheetType = typeOf(sheetType);
    job.sampleCount = samples;
    // Red labels: a white ring is then told apart from the box by its colour alone.
    job.backColourIndex = RedIndex;
    job.labelFont = QFont(uiFaceName());
    job.labelFont.setBold(true);
    return job;
}

bool isShape(const CanvasCall &c)
{
    return c.kind == CanvasCall::Ellipse || c.kind == CanvasCall::Rectangle;
}

// Label boxes only, without the white ring of a framed circle label.
QVector<CanvasCall> boxes(const RecordingCanvas &canvas)
{
    QVector<CanvasCall> out;
    for (const CanvasCall &c : canvas.calls) {
        if (isShape(c) && !(c.brushSolid && c.brushColour == 0xFFFFFF && c.penColour == 0xFFFFFF))
            out << c;
    }
    return out;
}

QString boxText(const CanvasCall &c)
{
    return QStringLiteral("%1,%2-%3,%4").arg(c.x1).arg(c.y1).arg(c.x2).arg(c.y2);
}

// The texts of one label at 250 dpi (dots = layout units) relative to its box corner:
// "text@a,b/points" in drawing order.
QString labelTexts(const LabelJob &job)
{
    RecordingCanvas canvas(LayoutUnitsPerInch, LayoutUnitsPerInch);
    PrintSheet(canvas, job, 1, 1, 1, true);
    const QVector<CanvasCall> box = boxes(canvas);
    if (box.size() != 1)
        return QStringLiteral("no single box");
    QStringList out;
    for (const CanvasCall &c : canvas.callsOf(CanvasCall::TextOut))
        out << QStringLiteral("%1@%2,%3/%4")
                   .arg(c.text)
                   .arg(c.x1 - box[0].x1)
                   .arg(c.y1 - box[0].y1)
                   .arg(c.fontSize);
    return out.join(QLatin1Char(' '));
}

// Page `page` of a PDF at PdfDpi as an image; a null image (and a message) on failure.
QImage rasterise(const QString &pdf, int page, QString *message)
{
    const QString prefix = pdf + QStringLiteral("-p") + QString::number(page);
    const QString n = QString::number(page);
    *message = runTool(QStringLiteral("pdftoppm"),
                       {QStringLiteral("-r"), QString::number(PdfDpi), QStringLiteral("-f"), n,
                        QStringLiteral("-l"), n, QStringLiteral("-png"),
                        QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installJapaneseFontSubstitutions(); }

    void gridTable();
    void japaneseFaces();
    void conversion_data();
    void conversion();
    void labelBox_data();
    void labelBox();
    void frameRing_data();
    void frameRing();
    void textBackground_data();
    void textBackground();
    void documentOrder_data();
    void documentOrder();
    void emptyRangeStillEndsPage();
    void laterSheetNeverBegins();
    void positionsClamped_data();
    void positionsClamped();
    void alignment_data();
    void alignment();
    void layouts_data();
    void layouts();
    void textInDots_data();
    void textInDots();
    void numberRule_data();
    void numberRule();
    void numberSequence_data();
    void numberSequence();
    void canvasFailure_data();
    void canvasFailure();
    void unknownSheetType();

    void pdfSheets_data();
    void pdfSheets();
    void pdfTextCell_data();
    void pdfTextCell();
    void pdfUnwritable();
    void scaledSheetOnPaper_data();
    void scaledSheetOnPaper();
};

void TestPrint::gridTable()
{
    // A mistyped grid would print labels off the sheet or leave positions without a box.
    for (int type = 1; type <= SheetTypeCount; ++type) {
        const FamilyInfo &g = familyInfo(FamilyOfType(type));
        QCOMPARE(g.family, FamilyOfType(type));
        QCOMPARE(g.columns * g.rows, g.labels);
        QVERIFY(g.pitchX >= g.labelWidth);
        QVERIFY(g.pitchY >= g.labelHeight);
    }
}

void TestPrint::japaneseFaces()
{
    // The labels are drawn in the proportional Gothic face, the fixed one stays fixed; in a
    // Japanese locale the installed faces are listed under their Japanese names.
    const QString proportional = QFontInfo(QFont(QStringLiteral("IPAPGothic"))).family();
    const QString fixed = QFontInfo(QFont(QStringLiteral("IPAGothic"))).family();
    QVERIFY2(proportional != fixed, qPrintable(proportional));
    QCOMPARE(QFontInfo(QFont(uiFaceName())).family(), proportional);
    QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ ゴシック"))).family(), fixed);
}

void TestPrint::conversion_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("dots");
    QTest::newRow("zero") << 0 << 600 << 0;
    QTest::newRow("origin 600") << 195 << 600 << 468;
    QTest::newRow("truncates 2.4") << 1 << 600 << 2;
    QTest::newRow("truncates 0.996") << 1 << 249 << 0;
    QTest::newRow("exact multiple") << 250 << 600 << 600;
    QTest::newRow("exact 300") << 1250 << 300 << 1500;
    QTest::newRow("toward zero") << -3 << 600 << -7;
    QTest::newRow("64-bit product") << 2000000 << 2400 << 19200000;
}

void TestPrint::conversion()
{
    QFETCH(int, units);
    QFETCH(int, dpi);
    QFETCH(int, dots);
    QCOMPARE(corvial::dotsFor(units, dpi), dots);
}

void TestPrint::labelBox_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("dpiX");
    QTest::addColumn<int>("dpiY");
    QTest::addColumn<int>("offX");
    QTest::addColumn<int>("offY");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("box");
    QTest::newRow("circle 1 @600") << 1 << 600 << 600 << 10 << 10 << 1 << "468,494-780,806";
    QTest::newRow("circle 150 @600") << 1 << 600 << 600 << 10 << 10 << 150 << "4075,6139-4387,6451";
    QTest::newRow("rect 7 @300") << 2 << 300 << 300 << 10 << 10 << 7 << "204,734-516,902";
    QTest::newRow("rect memo 7 @300") << 3 << 300 << 300 << 10 << 10 << 7 << "204,734-516,902";
    QTest::newRow("tube72 72 @600") << 8 << 600 << 600 << 10 << 10 << 72 << "3540,6326-4548,6662";
    QTest::newRow("tube72 short 1 @300") << 10 << 300 << 300 << 10 << 10 << 1 << "168,144-672,312";
    QTest::newRow("circle offsets 0/20") << 1 << 600 << 600 << 0 << 20 << 1 << "348,614-660,926";
    QTest::newRow("tube95 5 ends row 0") << 6 << 600 << 600 << 10 << 10 << 5 << "3708,324-4476,612";
    QTest::newRow("tube95 6 starts row 1")
        << 5 << 600 << 600 << 10 << 10 << 6 << "396,655-1164,943";
    QTest::newRow("tube95 6 @300 truncates .6")
        << 7 << 300 << 300 << 10 << 10 << 6 << "198,327-582,471";
    QTest::newRow("x 300 y 600") << 1 << 300 << 600 << 10 << 10 << 1 << "234,494-390,806";
    QTest::newRow("offset clamps") << 4 << 300 << 300 << -7 << 99 << 1 << "144,534-456,702";
}

void TestPrint::labelBox()
{
    QFETCH(int, type);
    QFETCH(int, dpiX);
    QFETCH(int, dpiY);
    QFETCH(int, offX);
    QFETCH(int, offY);
    QFETCH(int, position);
    QFETCH(QString, box);
    RecordingCanvas canvas(dpiX, dpiY);
    LabelJob job = jobOf(type);
    job.offsetX = offX;
    job.offsetY = offY;
    job.backColourIndex = RedIndex;
    QVERIFY(PrintSheet(canvas, job, 1, position, position, true));
    const QVector<CanvasCall> drawn = boxes(canvas);
    QCOMPARE(drawn.size(), 1);
    const CanvasCall &c = drawn.first();
    QCOMPARE(boxText(c), box);
    QCOMPARE(c.kind, type == 1 ? CanvasCall::Ellipse : CanvasCall::Rectangle);
    QCOMPARE(c.penWidth, 5);
    QCOMPARE(c.penColour, BackColorOf(RedIndex));
    QVERIFY(c.brushSolid);
    QCOMPARE(c.brushColour, BackColorOf(RedIndex));
}

void TestPrint::frameRing_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("frame");
    QTest::addColumn<QString>("ring"); // empty: no white ellipse
    QTest::newRow("circle framed") << 1 << true << "516,542-732,758";
    QTest::newRow("circle plain") << 1 << false << "";
    QTest::newRow("rect framed") << 2 << true << "";
    QTest::newRow("tube framed") << 9 << true << "";
}

void TestPrint::frameRing()
{
    QFETCH(int, type);
    QFETCH(bool, frame);
    QFETCH(QString, ring);
    RecordingCanvas canvas(600, 600);
    LabelJob job = jobOf(type);
    job.frame = frame;
    job.backColourIndex = RedIndex;
    QVERIFY(PrintSheet(canvas, job, 1, 1, 1, true));
    QStringList rings;
    for (const CanvasCall &c : canvas.calls) {
        if (!isShape(c) || c.penColour != 0xFFFFFF)
            continue;
        QCOMPARE(c.kind, CanvasCall::Ellipse);
        QVERIFY(c.brushSolid);
        QCOMPARE(c.brushColour, ColourValue(0xFFFFFF));
        rings << boxText(c);
    }
    QCOMPARE(rings.join(QLatin1Char(' ')), ring);
    QCOMPARE(canvas.count(CanvasCall::Ellipse), type == 1 ? 1 + int(!ring.isEmpty()) : 0);
}

void TestPrint::textBackground_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("frame");
    for (int type = 1; type <= SheetTypeCount; ++type) {
        QTest::addRow("type %d framed", type) << type << true;
        QTest::addRow("type %d plain", type) << type << false;
    }
}

void TestPrint::textBackground()
{
    QFETCH(int, type);
    QFETCH(bool, frame);
    RecordingCanvas canvas;
    LabelJob job = jobOf(type, 2);
    job.frame = frame;
    job.enteredText = QStringLiteral("AB");
    job.proofText = QStringLiteral("AB\nCD");
    job.backColourIndex = RedIndex;
    job.textColourIndex = WhiteIndex;
    QVERIFY(printJob(canvas, job, nullptr));
    const QVector<CanvasCall> texts = canvas.callsOf(CanvasCall::TextOut);
    QVERIFY(!texts.isEmpty());
    for (const CanvasCall &t : texts) {
        const bool circleNumber = type == 1 && t.text.startsWith(QLatin1String("000"));
        QCOMPARE(t.brushSolid, !frame && !circleNumber);
        if (t.brushSolid)
            QCOMPARE(t.brushColour, BackColorOf(RedIndex));
        QCOMPARE(t.fontColour, TextColorOf(WhiteIndex));
    }
    if (type == 1)
        QCOMPARE(texts.size(), 4); // text and number on both labels
}

void TestPrint::documentOrder_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("startPos");
    QTest::addColumn<int>("labels");
    QTest::addColumn<QString>("labelsPerPage");
    QTest::newRow("circle 140+30") << 1 << 140 << 30 << "11 19";
    QTest::newRow("tube72 one full sheet") << 9 << 1 << 72 << "72";
    QTest::newRow("rect 60 from 60") << 4 << 60 << 60 << "1 59";
    QTest::newRow("tube95 400 from 95") << 7 << 95 << 400 << "1 95 95 95 95 19";
}

void TestPrint::documentOrder()
{
    QFETCH(int, type);
    QFETCH(int, startPos);
    QFETCH(int, labels);
    QFETCH(QString, labelsPerPage);
    RecordingCanvas canvas;
    LabelJob job = jobOf(type, labels);
    job.startPos = startPos;
    QVERIFY(printJob(canvas, job, nullptr));
    const int pages = int(labelsPerPage.count(QLatin1Char(' '))) + 1;
    QCOMPARE(canvas.misuse, 0);
    QCOMPARE(canvas.count(CanvasCall::BeginDocument), 1);
    QCOMPARE(canvas.count(CanvasCall::NewPage), pages - 1);
    QCOMPARE(canvas.count(CanvasCall::EndDocument), 1);
    QCOMPARE(canvas.calls.last().kind, CanvasCall::EndDocument);
    QCOMPARE(canvas.pagesPrinted(), pages);
    QVector<int> perPage(pages + 1, 0);
    for (const CanvasCall &b : boxes(canvas))
        ++perPage[b.page];
    QStringList counts;
    for (int p = 1; p <= pages; ++p)
        counts << QString::number(perPage[p]);
    QCOMPARE(counts.join(QLatin1Char(' ')), labelsPerPage);
    // The page font is taken over once per sheet, from the job's label font.
    const QVector<CanvasCall> fonts = canvas.callsOf(CanvasCall::SetFont);
    QCOMPARE(fonts.size(), pages);
    for (const CanvasCall &f : fonts)
        QCOMPARE(f.font, job.labelFont);
}

void TestPrint::emptyRangeStillEndsPage()
{
    RecordingCanvas canvas;
    const LabelJob job = jobOf(2);
    QVERIFY(PrintSheet(canvas, job, 1, 5, 4, false));
    QVERIFY(PrintSheet(canvas, job, 2, 1, 0, true));
    QCOMPARE(boxes(canvas).size(), 0);
    QCOMPARE(canvas.count(CanvasCall::TextOut), 0);
    QCOMPARE(canvas.misuse, 0);
    QCOMPARE(canvas.pagesPrinted(), 2);
}

void TestPrint::laterSheetNeverBegins()
{
    RecordingCanvas canvas;
    QVERIFY(canvas.beginDocument());
    QVERIFY(PrintSheet(canvas, jobOf(3), 2, 1, 3, true));
    QCOMPARE(canvas.count(CanvasCall::BeginDocument), 1);
    QCOMPARE(boxes(canvas).size(), 3);
    QCOMPARE(canvas.misuse, 0);
}

void TestPrint::positionsClamped_data()
{
    QTest::addColumn<int>("firstPos");
    QTest::addColumn<int>("lastPos");
    QTest::addColumn<int>("drawn");
    QTest::newRow("from 0") << 0 << 150 << 150;
    QTest::newRow("from negative") << -5 << 3 << 3;
    QTest::newRow("past the end") << 149 << 1000 << 2;
    QTest::newRow("wholly past") << 151 << 200 << 0;
}

void TestPrint::positionsClamped()
{
    QFETCH(int, firstPos);
    QFETCH(int, lastPos);
    QFETCH(int, drawn);
    RecordingCanvas canvas;
    QVERIFY(PrintSheet(canvas, jobOf(1), 1, firstPos, lastPos, true));
    QCOMPARE(boxes(canvas).size(), drawn);
    // Every box lies on the sheet: none at the zero corner of an unset table entry.
    for (const CanvasCall &b : boxes(canvas))
        QVERIFY(b.x1 > 0 && b.y1 > 0);

    RecordingCanvas direct;
    const LabelPositions pos = ComputeLabelPositions(familyInfo(1), 10, 10);
    DrawLabelContent(direct, jobOf(1), pos, 1, firstPos < 1 ? firstPos : 151, 1);
    QCOMPARE(direct.calls.size(), 0);
}

void TestPrint::alignment_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVector<int>>("shifts"); // printAlign 0, 1, 2, 3, 4
    QTest::newRow("6") << 6 << QVector<int>{0, 0, 40, 75, 0};
    QTest::newRow("7") << 7 << QVector<int>{0, 0, 40, 80, 0};
    QTest::newRow("9") << 9 << QVector<int>{0, 0, 60, 120, 0};
    QTest::newRow("10") << 10 << QVector<int>{0, 0, 60, 120, 0};
    for (int type : {1, 2, 3, 4, 5, 8})
        QTest::addRow("%d", type) << type << QVector<int>{0, 0, 0, 0, 0};
}

void TestPrint::alignment()
{
    QFETCH(int, type);
    QFETCH(QVector<int>, shifts);
    for (int align = 0; align < shifts.size(); ++align)
        QCOMPARE(corvial::alignShift(typeOf(type), PrintAlign(align)), shifts.at(align));
}

void TestPrint::layouts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("align");
    QTest::addColumn<QString>("texts");
    auto row = [](const char *name, int type, const char *entry, const char *memo, int style,
                  int value, int align, const char *texts) {
        QTest::newRow(name) << type << QString::fromUtf8(entry) << QString::fromUtf8(memo) << style
                            << value << align << QString::fromUtf8(texts);
    };
    row("1 two bytes", 1, "AB", "", 0, 1, 1, "AB@40,30/10 0001@30,60/10");
    row("1 five bytes", 1, "ABCDE", "", 0, 1, 1, "ABCDE@25,30/9 0001@30,60/9");
    row("1 cut to five bytes", 1, "ABCDEFG", "", 0, 1, 1, "ABCDE@25,30/9 0001@30,60/9");
    row("1 full-width cut", 1, "あいう", "", 0, 1, 1, "あい@30,30/9 0001@30,60/9");
    row("1 empty text", 1, "", "", 0, 1, 1, "0001@30,60/10");
    row("1 plain", 1, "AB", "", 1, 7, 1, "AB@40,30/10 7@60,65/10");
    row("1 plain wide", 1, "AB", "", 1, 1234, 1, "AB@40,30/10 1234@45,65/10");
    row("2 one line", 2, "", "AB", 0, 1, 1, "AB@30,30/12 0001@180,55/8");
    row("2 two lines", 2, "", "AB\nCD", 0, 1, 1, "AB@30,30/9 CD@30,60/9 0001@180,55/8");
    row("2 three lines", 2, "", "A\nB\nC", 0, 1, 1, "A@30,30/8 B@30,60/8 0001@180,55/8");
    row("2 four lines", 2, "", "A\nB\nC\nD", 0, 1, 1, "A@30,30/6 B@30,60/6 0001@180,55/8");
    row("2 five lines base", 2, "ABCD", "A\nB\nC\nD\nE", 0, 1, 1,
        "A@30,30/9 B@30,60/9 0001@180,55/8");
    row("2 final break", 2, "", "AB\n", 0, 1, 1, "AB@30,30/12 0001@180,55/8");
    row("2 empty first line", 2, "", "\nCD", 0, 1, 1, "CD@30,60/9 0001@180,55/8");
    row("2 plain", 2, "", "AB", 1, 7, 1, "AB@30,30/12 7@205,55/10");
    row("2 plain wide", 2, "", "AB", 1, 1234, 1, "AB@30,30/12 1234@190,55/8");
    row("3 empty", 3, "", "", 0, 1, 1, "");
    row("3 one line", 3, "", "AB", 0, 1, 1, "AB@30,45/12");
    row("3 two lines", 3, "", "AB\nCD", 0, 1, 1, "AB@30,30/10 CD@30,60/10");
    row("3 three lines", 3, "", "A\nB\nC", 0, 1, 1, "A@30,15/9 B@30,40/9 C@30,65/9");
    row("3 four lines", 3, "", "A\nB\nC\nD", 0, 1, 1, "A@30,15/8 B@30,40/8 C@30,65/8 D@30,90/8");
    row("3 five lines base", 3, "", "A\nB\nC\nD\nE", 0, 1, 1,
        "A@30,15/10 B@30,40/10 C@30,65/10 D@30,90/10");
    row("4 marker", 4, "", "注意\nX", 0, 1, 1, "注意@30,30/16");
    row("5 one line", 5, "", "ABC", 0, 1, 1, "ABC@30,45/10 0001@230,45/8");
    row("5 long line", 5, "", "ABCDEFG", 0, 1, 1, "ABCDEFG@30,45/8 0001@230,45/8");
    row("5 two lines", 5, "", "ABCD\nE", 0, 1, 1, "ABCD@30,30/8 E@30,60/8 0001@230,45/8");
    row("5 plain", 5, "", "AB", 1, 7, 1, "AB@30,45/10 7@255,45/10");
    row("6 left", 6, "", "AB", 0, 1, 1, "AB@30,45/10 0001@170,45/8");
    row("6 right long", 6, "", "ABCDEFG", 0, 1, 3, "ABCDEFG@105,45/6 0001@245,45/8");
    row("6 centre two lines", 6, "", "ABCD\nE", 0, 1, 2, "ABCD@70,30/8 E@70,60/8 0001@210,45/8");
    row("6 centre plain", 6, "", "AB", 1, 7, 2, "AB@70,45/10 7@235,45/10");
    row("6 unknown align", 6, "", "AB", 0, 1, 5, "AB@30,45/10 0001@170,45/8");
    row("7 one line right", 7, "", "AB", 0, 1, 3, "AB@250,45/9");
    row("7 one line left", 7, "", "ABCD", 0, 1, 1, "ABCD@170,45/8");
    row("7 two lines centre", 7, "", "AB\nC", 0, 1, 2, "AB@70,30/9 C@70,60/9");
    row("8 one short line", 8, "", "AB", 0, 1, 1, "AB@30,45/9 0001@300,50/9");
    row("8 one line", 8, "", "ABCD", 0, 1, 1, "ABCD@30,45/8 0001@300,50/8");
    row("8 long line", 8, "", "ABCDEFG", 0, 1, 1, "ABCDEFG@30,45/6 0001@300,50/6");
    row("8 two lines", 8, "", "AB\nCD", 0, 1, 1, "AB@30,30/9 CD@30,60/9 0001@300,50/9");
    row("8 three lines", 8, "", "ABCDEFG\nB\nC", 0, 1, 1,
        "ABCDEFG@30,30/8 B@30,55/8 C@30,80/8 0001@300,50/8");
    row("8 empty middle line", 8, "", "A\n\nC", 0, 1, 1, "A@30,30/8 C@30,80/8 0001@300,50/8");
    row("8 plain", 8, "", "AB", 1, 7, 1, "AB@30,45/9 7@335,50/9");
    row("9 two lines right", 9, "", "AB\nCD", 0, 1, 3, "AB@150,30/9 CD@150,60/9 0001@335,45/8");
    row("9 three lines centre", 9, "", "ABCDEFG\nB\nC", 0, 1, 2,
        "ABCDEFG@90,30/8 B@90,55/8 C@90,80/8 0001@275,45/8");
    row("9 long line", 9, "", "ABCDEFG", 0, 1, 1, "ABCDEFG@30,45/8 0001@215,45/8");
    row("9 plain right", 9, "", "AB", 1, 7, 3, "AB@150,45/9 7@360,45/10");
    row("10 one line right", 10, "", "AB", 0, 1, 3, "AB@440,45/9");
    row("10 one line left", 10, "", "ABCD", 0, 1, 1, "ABCD@320,45/8");
    row("10 three lines centre", 10, "", "A\nB\nC", 0, 1, 2, "A@90,30/8 B@90,55/8 C@90,80/8");
    row("10 two lines", 10, "", "AB\nCD", 0, 1, 1, "AB@30,30/9 CD@30,60/9");
}

void TestPrint::layouts()
{
    QFETCH(int, type);
    QFETCH(QString, entry);
    QFETCH(QString, memo);
    QFETCH(int, style);
    QFETCH(int, value);
    QFETCH(int, align);
    QFETCH(QString, texts);
    LabelJob job = jobOf(type);
    job.enteredText = entry;
    job.proofText = memo;
    job.numberStyle = NumberStyle(style);
    job.initialValue = value;
    job.printAlign = PrintAlign(align);
    QCOMPARE(labelTexts(job), texts);
}

void TestPrint::textInDots_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("dpiX");
    QTest::addColumn<int>("dpiY");
    QTest::addColumn<int>("charWidth");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("places");
    // Position 1 of the rectangle sheet is at (170, 395) units, of the tube-95 sheet at (165, 135).
    QTest::newRow("plain 40 dots wide @600") << 2 << 600 << 600 << 10 << 1234 << 1 << "892,1080";
    QTest::newRow("odd width truncates") << 2 << 600 << 600 << 7 << 7 << 1 << "909,1080";
    QTest::newRow("plain x 300 y 600") << 2 << 300 << 600 << 10 << 7 << 1 << "451,1080";
    QTest::newRow("memo and padded x 600 y 300")
        << 5 << 600 << 300 << 10 << 1 << 0 << "468,216 948,216";
    QTest::newRow("padded @300") << 2 << 300 << 300 << 10 << 1 << 0 << "240,510 420,540";
}

void TestPrint::textInDots()
{
    QFETCH(int, type);
    QFETCH(int, dpiX);
    QFETCH(int, dpiY);
    QFETCH(int, charWidth);
    QFETCH(int, value);
    QFETCH(int, style);
    QFETCH(QString, places);
    RecordingCanvas canvas(dpiX, dpiY);
    canvas.charWidth = charWidth;
    LabelJob job = jobOf(type);
    job.initialValue = value;
    job.numberStyle = NumberStyle(style);
    job.proofText = style == 0 ? QStringLiteral("AB") : QString();
    QVERIFY(PrintSheet(canvas, job, 1, 1, 1, true));
    QStringList got;
    for (const CanvasCall &t : canvas.callsOf(CanvasCall::TextOut))
        got << QStringLiteral("%1,%2").arg(t.x1).arg(t.y1);
    QCOMPARE(got.join(QLatin1Char(' ')), places);
}

void TestPrint::numberRule_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("startPos");
    QTest::addColumn<int>("sheetNo");
    QTest::addColumn<int>("S");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");
    QTest::newRow("140 first") << 1 << 140 << 1 << 140 << 2 << 1 << 0 << "0001";
    QTest::newRow("141 repeats") << 1 << 140 << 1 << 141 << 2 << 1 << 0 << "0001";
    QTest::newRow("142 next") << 1 << 140 << 1 << 142 << 2 << 1 << 0 << "0002";
    QTest::newRow("sheet 2 position 1") << 1 << 140 << 2 << 1 << 2 << 1 << 0 << "0006";
    QTest::newRow("plain 7") << 2 << 1 << 1 << 1 << 1 << 7 << 1 << "7";
    QTest::newRow("plain 0") << 5 << 1 << 1 << 1 << 1 << 0 << 1 << "0";
    QTest::newRow("padded 0") << 5 << 1 << 1 << 1 << 1 << 0 << 0 << "0000";
    QTest::newRow("10000 padded") << 6 << 1 << 1 << 2 << 1 << 9999 << 0 << "0000";
    QTest::newRow("10000 plain") << 6 << 1 << 1 << 2 << 1 << 9999 << 1 << "0000";
    QTest::newRow("10389 padded") << 2 << 1 << 7 << 40 << 1 << 9990 << 0 << "0389";
    QTest::newRow("10389 plain") << 2 << 1 << 7 << 40 << 1 << 9990 << 1 << "0389";
    QTest::newRow("repeat 5 before") << 8 << 70 << 2 << 2 << 5 << 1 << 0 << "0001";
    QTest::newRow("repeat 5 after") << 8 << 70 << 2 << 3 << 5 << 1 << 0 << "0002";
    QTest::newRow("repeat 0 counts as 1") << 9 << 1 << 1 << 3 << 0 << 1 << 1 << "3";
}

void TestPrint::numberRule()
{
    QFETCH(int, type);
    QFETCH(int, startPos);
    QFETCH(int, sheetNo);
    QFETCH(int, S);
    QFETCH(int, repeat);
    QFETCH(int, value);
    QFETCH(int, style);
    QFETCH(QString, text);
    LabelJob job = jobOf(type);
    job.startPos = startPos;
    job.repeatCount = repeat;
    job.initialValue = value;
    job.numberStyle = NumberStyle(style);
    RecordingCanvas canvas;
    QVERIFY(canvas.beginDocument());
    DrawLabelContent(canvas, job, ComputeLabelPositions(typeOf(type).family(), 10, 10), sheetNo, S,
                     sheetNo == 1 ? startPos : 1);
    const QVector<CanvasCall> texts = canvas.callsOf(CanvasCall::TextOut);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts.first().text, text);
}

void TestPrint::numberSequence_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("startPos");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QString>("numbers");
    QTest::newRow("circle repeat 2 from 140")
        << 1 << 140 << 10 << 2
        << "0001 0001 0002 0002 0003 0003 0004 0004 0005 0005 0006 | "
           "0006 0007 0007 0008 0008 0009 0009 0010 0010";
    QTest::newRow("repeat 5 across the sheet edge")
        << 2 << 58 << 3 << 5
        << "0001 0001 0001 | 0001 0001 0002 0002 0002 0002 0002 0003 0003 0003 0003 0003";
    QTest::newRow("memo type has none") << 7 << 94 << 3 << 1 << " | ";
}

void TestPrint::numberSequence()
{
    QFETCH(int, type);
    QFETCH(int, startPos);
    QFETCH(int, samples);
    QFETCH(int, repeat);
    QFETCH(QString, numbers);
    LabelJob job = jobOf(type, samples);
    job.startPos = startPos;
    job.repeatCount = repeat;
    RecordingCanvas canvas;
    QVERIFY(printJob(canvas, job, nullptr));
    QStringList pages;
    for (int page = 1; page <= canvas.pagesPrinted(); ++page) {
        QStringList texts;
        for (const CanvasCall &t : canvas.textsOnPage(page))
            texts << t.text;
        pages << texts.join(QLatin1Char(' '));
    }
    QCOMPARE(pages.join(QLatin1String(" | ")), numbers);
}

void TestPrint::canvasFailure_data()
{
    QTest::addColumn<int>("failBegin");
    QTest::addColumn<int>("failNewPage");
    QTest::addColumn<int>("failEnd");
    QTest::addColumn<QString>("failureText");
    QTest::addColumn<int>("boxesDrawn");
    QTest::addColumn<QString>("error"); // empty: the job succeeds
    const QString text = QStringLiteral("Paper jam in tray 2");
    QTest::newRow("no failure") << 0 << 0 << 0 << text << 301 << "";
    QTest::newRow("begin fails") << 1 << 0 << 0 << text << 0 << text;
    QTest::newRow("second new page fails") << 0 << 2 << 0 << text << 300 << text;
    QTest::newRow("end fails") << 0 << 0 << 1 << text << 301 << text;
    QTest::newRow("silent canvas") << 0 << 1 << 0 << QString() << 150
                                   << QStringLiteral("1 枚目のシートを印刷できませんでした。");
}

void TestPrint::canvasFailure()
{
    QFETCH(int, failBegin);
    QFETCH(int, failNewPage);
    QFETCH(int, failEnd);
    QFETCH(QString, failureText);
    QFETCH(int, boxesDrawn);
    QFETCH(QString, error);
    RecordingCanvas canvas;
    canvas.failBeginAt = failBegin;
    canvas.failNewPageAt = failNewPage;
    canvas.failEndAt = failEnd;
    canvas.failureText = failureText;
    const LabelJob job = jobOf(1, 301); // three sheets
    QString got = QStringLiteral("untouched");
    QCOMPARE(printJob(canvas, job, &got), error.isEmpty());
    QCOMPARE(got, error.isEmpty() ? QStringLiteral("untouched") : error);
    QCOMPARE(boxes(canvas).size(), boxesDrawn);
    // Nothing is drawn or paged after the failing call.
    QVERIFY(!canvas.calls.last().ok || error.isEmpty());
}

void TestPrint::unknownSheetType()
{
    // A number that is no sheet type is refused where it is read, so no job can carry one to
    // the printer.
    QVERIFY(!SheetType::fromCode(SheetTypeCount + 1));
    QVERIFY(!SheetType::fromCode(0));
}

void TestPrint::pdfSheets_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("circle") << 1;
    QTest::newRow("rectangle") << 2;
    QTest::newRow("tube 95") << 6;
    QTest::newRow("tube 72") << 9;
}

void TestPrint::pdfSheets()
{
    QFETCH(int, type);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("job.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdfPrinter(printer, pdf, PdfDpi);
    const int perSheet = LabelsPerSheet(type);
    LabelJob job = jobOf(type, 3); // positions P-1, P, then 1 on sheet 2
    job.startPos = perSheet - 1;
    job.backColourIndex = RedIndex;
    job.textColourIndex = WhiteIndex;
    job.proofText = job.enteredText = QStringLiteral("AB");
    PrinterCanvas canvas(&printer);
    QCOMPARE(canvas.resolutionX(), PdfDpi);
    QString error;
    QVERIFY2(printJob(canvas, job, &error), qPrintable(error));

    const QString info = runTool(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    QVERIFY2(pages.hasMatch(), qPrintable(info));
    QCOMPARE(pages.captured(1).toInt(), 2);

    const QPoint origin = printer.pageLayout().paintRectPixels(PdfDpi).topLeft();
    QCOMPARE(origin, QPoint(100, 50));
    const LabelPositions pos = ComputeLabelPositions(typeOf(type).family(), 10, 10);
    const int w = LabelWidth(typeOf(type));
    const int h = LabelHeight(typeOf(type));
    auto deviceBox = [&](int s) {
        return QRect(QPoint(dotsFor(pos.labelX[s], PdfDpi), dotsFor(pos.labelY[s], PdfDpi)),
                     QPoint(dotsFor(pos.labelX[s] + w, PdfDpi) - 1,
                            dotsFor(pos.labelY[s] + h, PdfDpi) - 1))
            .translated(origin);
    };
    // The 5-dot pen reaches 2.5 dots outside the box; a dot of rounding either way.
    auto checkPrinted = [&](const QImage &img, int s) {
        const QRect b = deviceBox(s);
        const QPoint c = b.center();
        const int left = firstRed(img, QPoint(b.left() - 12, c.y()), 1, 0, 40);
        const int right = firstRed(img, QPoint(b.right() + 13, c.y()), -1, 0, 40);
        const int top = firstRed(img, QPoint(c.x(), b.top() - 12), 0, 1, 40);
        const int bottom = firstRed(img, QPoint(c.x(), b.bottom() + 13), 0, -1, 40);
        const QString where =
            QStringLiteral("position %1 box %2,%3 %4x%5: red from x %6..%7 y %8..%9")
                .arg(s)
                .arg(b.x())
                .arg(b.y())
                .arg(b.width())
                .arg(b.height())
                .arg(left)
                .arg(right)
                .arg(top)
                .arg(bottom);
        QVERIFY2(qAbs(left - (b.left() - 2)) <= 1, qPrintable(where));
        QVERIFY2(qAbs(right - (b.right() + 2)) <= 1, qPrintable(where));
        QVERIFY2(qAbs(top - (b.top() - 2)) <= 1, qPrintable(where));
        QVERIFY2(qAbs(bottom - (b.bottom() + 2)) <= 1, qPrintable(where));
        QVERIFY2(isRed(img.pixel(b.left() + 8, c.y())), qPrintable(where));
    };
    auto checkBlank = [&](const QImage &img, int s) {
        const QRect b = deviceBox(s);
        QVERIFY2(isWhite(img.pixel(b.center())) && isWhite(img.pixel(b.left() + 8, b.center().y())),
                 qPrintable(QStringLiteral("position %1 is not blank").arg(s)));
    };

    QString message;
    const QImage page1 = rasterise(pdf, 1, &message);
    QVERIFY2(!page1.isNull(), qPrintable(message));
    checkPrinted(page1, perSheet - 1);
    checkPrinted(page1, perSheet);
    checkBlank(page1, 1);
    const QImage page2 = rasterise(pdf, 2, &message);
    QVERIFY2(!page2.isNull(), qPrintable(message));
    checkPrinted(page2, 1);
    checkBlank(page2, 2);
    checkBlank(page2, perSheet);
}

void TestPrint::pdfTextCell_data()
{
    QTest::addColumn<bool>("solid");
    QTest::newRow("solid brush fills the cell") << true;
    QTest::newRow("clear brush draws glyphs only") << false;
}

void TestPrint::pdfTextCell()
{
    QFETCH(bool, solid);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("cell.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdfPrinter(printer, pdf, PdfDpi);
    PrinterCanvas canvas(&printer);
    const QString text = QStringLiteral("ABC");
    const QPoint at(300, 300);
    QVERIFY(canvas.beginDocument());
    canvas.setFont(QFont(uiFaceName()));
    canvas.setFontSize(24);
    canvas.setFontColour(0x000000);
    if (solid)
        canvas.setSolidBrush(BackColorOf(RedIndex));
    else
        canvas.clearBrush();
    canvas.textOut(at.x(), at.y(), text);
    const int width = canvas.textWidth(text);
    QVERIFY2(canvas.endDocument(), qPrintable(canvas.errorString()));
    // 24 points at 300 dpi is 100 dots: the cell is about that high and well over 100 wide.
    QVERIFY2(width > 100 && width < 300, qPrintable(QString::number(width)));

    QString message;
    const QImage img = rasterise(pdf, 1, &message);
    QVERIFY2(!img.isNull(), qPrintable(message));
    const QPoint o = printer.pageLayout().paintRectPixels(PdfDpi).topLeft() + at;
    // The row just below the cell's top edge holds no glyph: only the cell fill shows there.
    int red = 0;
    for (int x = 3; x < width - 3; ++x)
        red += isRed(img.pixel(o.x() + x, o.y() + 3));
    QCOMPARE(red > (width - 6) * 9 / 10, solid);
    QVERIFY(isWhite(img.pixel(o.x() - 4, o.y() + 3)));
    QVERIFY(isWhite(img.pixel(o.x() + width + 4, o.y() + 3)));
    // The glyphs hang down from the top-left corner: dark pixels in the cell, none above it.
    int inside = 0;
    int above = 0;
    for (int y = -40; y < 100; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb p = img.pixel(o.x() + x, o.y() + y);
            const bool dark = qRed(p) < 80 && qGreen(p) < 80 && qBlue(p) < 80;
            (y < 0 ? above : inside) += dark;
        }
    }
    QVERIFY2(inside > 200, qPrintable(QString::number(inside)));
    QCOMPARE(above, 0);
}

void TestPrint::pdfUnwritable()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("missing/job.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdfPrinter(printer, pdf, PdfDpi);
    PrinterCanvas canvas(&printer);
    QString error;
    QVERIFY(!printJob(canvas, jobOf(2, 5), &error));
    QVERIFY2(error.contains(QLatin1String("job.pdf")), qPrintable(error));
    QVERIFY(!QFile::exists(pdf));
}

void TestPrint::scaledSheetOnPaper_data()
{
    QTest::addColumn<int>("scaleX");
    QTest::addColumn<int>("scaleY");
    QTest::addColumn<int>("offsetX");
    QTest::addColumn<int>("offsetY");
    QTest::newRow("101.0 % across, 99.0 % along") << 1010 << 990 << 10 << 10;
    QTest::newRow("the ends of the range, offsets stay millimetres") << 970 << 1030 << 20 << 0;
    QTest::newRow("100 %") << 1000 << 1000 << 10 << 10;
}

// A full 60-label sheet at a scale, read back from the PDF in pixels: the pitches are the
// sheet's times the factor within half a device pixel, and every label sits where the sheet,
// scaled about the page's top-left corner, and then the offset put it.
void TestPrint::scaledSheetOnPaper()
{
    QFETCH(int, scaleX);
    QFETCH(int, scaleY);
    QFETCH(int, offsetX);
    QFETCH(int, offsetY);
    constexpr int Type = 2;
    const FamilyInfo &g = typeOf(Type).family();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("scaled.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdfPrinter(printer, pdf, PdfDpi);
    LabelJob job = jobOf(Type, g.labels);
    job.textColourIndex = WhiteIndex;
    job.offsetX = offsetX;
    job.offsetY = offsetY;
    job.scale = {scaleX, scaleY};
    {
        PrinterCanvas canvas(&printer);
        QString error;
        QVERIFY2(printJob(canvas, job, &error), qPrintable(error));
    }
    QString message;
    const QImage img = rasterise(pdf, 1, &message);
    QVERIFY2(!img.isNull(), qPrintable(message));
    const QPoint origin = printer.pageLayout().paintRectPixels(PdfDpi).topLeft();
    const double perUnit = PdfDpi / 250.0;
    // Where label s should be, in exact (unrounded) pixels.
    const auto ideal = [&](int s) {
        const int col = (s - 1) % g.columns;
        const int row = (s - 1) / g.columns;
        return QPointF(origin.x() + perUnit * ((g.originX + g.pitchX * col) * scaleX / 1000.0 +
                                               OffsetStepUnits * (offsetX - 10)),
                       origin.y() + perUnit * ((g.originY + g.pitchY * row) * scaleY / 1000.0 +
                                               OffsetStepUnits * (offsetY - 10)));
    };
    // The box's left and top edge as printed: the first red walking in from outside, where
    // the 5-dot pen reaches 2 dots beyond the box.
    const auto printed = [&](int s) {
        const QPoint at = ideal(s).toPoint();
        const int midX = at.x() + int(perUnit * g.labelWidth / 4);
        const int midY = at.y() + int(perUnit * g.labelHeight / 2);
        return QPoint(firstRed(img, QPoint(at.x() - 14, midY), 1, 0, 30) + 2,
                      firstRed(img, QPoint(midX, at.y() - 14), 0, 1, 30) + 2);
    };
    const int lastInRow = g.columns;
    const int firstOfLastRow = g.labels - g.columns + 1;
    const QPoint first = printed(1);
    const double pitchX = double(printed(lastInRow).x() - first.x()) / (g.columns - 1);
    const double pitchY = double(printed(firstOfLastRow).y() - first.y()) / (g.rows - 1);
    const QString where = QStringLiteral("first label at %1,%2, pitch %3 x %4")
                              .arg(first.x())
                              .arg(first.y())
                              .arg(pitchX)
                              .arg(pitchY);
    QVERIFY2(qAbs(pitchX - perUnit * g.pitchX * scaleX / 1000.0) <= 0.5, qPrintable(where));
    QVERIFY2(qAbs(pitchY - perUnit * g.pitchY * scaleY / 1000.0) <= 0.5, qPrintable(where));
    QVERIFY2(qAbs(first.x() - ideal(1).x()) <= 1 && qAbs(first.y() - ideal(1).y()) <= 1,
             qPrintable(where));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
