// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration page: label outlines where a print with the current offsets puts the
// labels, with numbers, crosses, scales and caption; checked on a recording and on paper.
#include "job/Fonts.h"
#include "job/PrinterScale.h"
#include "job/SheetTypes.h"
#include "print/CalibrationSheet.h"
#include "print/LabelGeometry.h"
#include "print/PrinterCanvas.h"
#include "support/PdfProbe.h"
#include "support/RecordingCanvas.h"
#include "support/SheetTypeOf.h"

#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvial;

namespace {

constexpr int PdfDpi = 300;

// The white box the caption sits on where there is no room above the grid.
bool isBlank(const CanvasCall &c)
{
    return c.kind == CanvasCall::Rectangle && c.brushSolid && c.brushColour == 0xFFFFFF &&
           c.penColour == 0xFFFFFF;
}

bool isOutline(const CanvasCall &c)
{
    return (c.kind == CanvasCall::Ellipse || c.kind == CanvasCall::Rectangle) && !isBlank(c);
}

QVector<CanvasCall> outlines(const RecordingCanvas &canvas)
{
    QVector<CanvasCall> out;
    for (const CanvasCall &c : canvas.calls) {
        if (isOutline(c))
            out << c;
    }
    return out;
}

QString boxText(const CanvasCall &c)
{
    return QStringLiteral("%1,%2-%3,%4").arg(c.x1).arg(c.y1).arg(c.x2).arg(c.y2);
}

bool inside(const CanvasCall &box, int x, int y)
{
    return x > box.x1 && x < box.x2 && y > box.y1 && y < box.y2;
}

RecordingCanvas drawn(int type, int ox, int oy, int dpiX = 600, int dpiY = 600)
{
    RecordingCanvas canvas(dpiX, dpiY);
    QString error;
    if (!printCalibrationSheet(canvas, typeOf(type), ox, oy, &error))
        qWarning("calibration sheet failed: %s", qPrintable(error));
    // The offset page only; the ruler page after it is looked at on its own.
    canvas.calls.erase(std::remove_if(canvas.calls.begin(), canvas.calls.end(),
                                      [](const CanvasCall &c) { return c.page > 1; }),
                       canvas.calls.end());
    return canvas;
}

} // namespace

class TestCalibration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installJapaneseFontSubstitutions(); }
    void offsetText_data();
    void offsetText();
    void outlineBoxes_data();
    void outlineBoxes();
    void everySheetType_data();
    void everySheetType();
    void scales();
    void captionKeepsClearOfTheGrid_data();
    void captionKeepsClearOfTheGrid();
    void captionOverWholeLabels_data();
    void captionOverWholeLabels();
    void failures_data();
    void failures();
    void onPaper();
    void rulersOnPaper_data();
    void rulersOnPaper();
};

void TestCalibration::offsetText_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::newRow("lowest") << 0 << QStringLiteral("-5 mm");
    QTest::newRow("one step up from lowest") << 1 << QStringLiteral("-4.5 mm");
    QTest::newRow("half a millimetre up or left") << 9 << QStringLiteral("-0.5 mm");
    QTest::newRow("no shift") << 10 << QStringLiteral("0 mm");
    QTest::newRow("half a millimetre") << 11 << QStringLiteral("+0.5 mm");
    QTest::newRow("whole millimetres") << 14 << QStringLiteral("+2 mm");
    QTest::newRow("highest") << 20 << QStringLiteral("+5 mm");
    QTest::newRow("below the list") << -3 << QStringLiteral("-5 mm");
    QTest::newRow("above the list") << 27 << QStringLiteral("+5 mm");
}

void TestCalibration::offsetText()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QCOMPARE(offsetMillimetreText(index), text);
}

void TestCalibration::outlineBoxes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("ox");
    QTest::addColumn<int>("oy");
    QTest::addColumn<int>("dpiX");
    QTest::addColumn<int>("dpiY");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("box");
    QTest::newRow("circle, first")
        << 1 << 10 << 10 << 600 << 600 << 1 << QStringLiteral("468,494-780,806");
    QTest::newRow("circle, last") << 1 << 10 << 10 << 600 << 600 << 150
                                  << QStringLiteral("4075,6139-4387,6451");
    QTest::newRow("circle, 5 mm left and down")
        << 1 << 0 << 20 << 600 << 600 << 1 << QStringLiteral("348,614-660,926");
    QTest::newRow("rectangle, second row")
        << 3 << 10 << 10 << 300 << 300 << 7 << QStringLiteral("204,734-516,902");
    QTest::newRow("rectangle, 2 mm right and up")
        << 4 << 14 << 6 << 300 << 300 << 60 << QStringLiteral("1944,2793-2256,2961");
    QTest::newRow("tube 95, 1.5 mm right and up")
        << 5 << 13 << 7 << 300 << 300 << 6 << QStringLiteral("216,309-600,453");
    QTest::newRow("tube 72, last")
        << 9 << 10 << 10 << 600 << 600 << 72 << QStringLiteral("3540,6326-4548,6662");
    QTest::newRow("tube 72, own x and y resolution")
        << 10 << 20 << 0 << 600 << 300 << 1 << QStringLiteral("456,84-1464,252");
}

void TestCalibration::outlineBoxes()
{
    QFETCH(int, type);
    QFETCH(int, ox);
    QFETCH(int, oy);
    QFETCH(int, dpiX);
    QFETCH(int, dpiY);
    QFETCH(int, position);
    QFETCH(QString, box);
    const RecordingCanvas canvas = drawn(type, ox, oy, dpiX, dpiY);
    const QVector<CanvasCall> boxes = outlines(canvas);
    QCOMPARE(boxes.size(), LabelsPerSheet(type));
    const CanvasCall &c = boxes.at(position - 1);
    QCOMPARE(boxText(c), box);
    QCOMPARE(c.kind, type == 1 ? CanvasCall::Ellipse : CanvasCall::Rectangle);
    // An outline, not a label: nothing filled that would hide the sheet under the paper.
    QVERIFY(!c.brushSolid);
    QCOMPARE(c.penColour, ColourValue(0x000000));
    QVERIFY2(c.penWidth >= 1 && c.penWidth <= dpiX / 100, qPrintable(QString::number(c.penWidth)));
}

void TestCalibration::everySheetType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("ox");
    QTest::addColumn<int>("oy");
    QTest::addColumn<QString>("xText");
    QTest::addColumn<QString>("yText");
    for (int type = 1; type <= SheetTypeCount; ++type) {
        // Every type once right/down and once left/up of the grid.
        QTest::addRow("type %d right down", type)
            << type << 12 << 17 << QStringLiteral("+1 mm") << QStringLiteral("+3.5 mm");
        QTest::addRow("type %d left up", type)
            << type << 3 << 9 << QStringLiteral("-3.5 mm") << QStringLiteral("-0.5 mm");
    }
}

void TestCalibration::everySheetType()
{
    QFETCH(int, type);
    QFETCH(int, ox);
    QFETCH(int, oy);
    QFETCH(QString, xText);
    QFETCH(QString, yText);
    constexpr int Dpi = 600;
    const RecordingCanvas canvas = drawn(type, ox, oy, Dpi, Dpi);
    QCOMPARE(canvas.documentsBegun, 1);
    QCOMPARE(canvas.documentsEnded, 1);
    // The offset page and the ruler page.
    QCOMPARE(canvas.pagesPrinted(), 2);
    QCOMPARE(canvas.misuse, 0);

    const FamilyInfo &g = familyInfo(FamilyOfType(type));
    const QVector<CanvasCall> boxes = outlines(canvas);
    QCOMPARE(boxes.size(), g.labels);
    const QVector<CanvasCall> lines = canvas.callsOf(CanvasCall::Line);
    const QVector<CanvasCall> texts = canvas.callsOf(CanvasCall::TextOut);
    for (int i = 1; i <= g.labels; ++i) {
        const CanvasCall &b = boxes.at(i - 1);
        const QString where = QStringLiteral("position %1 at %2").arg(i).arg(boxText(b));
        // The family's grid moved by 5 units (0.5 mm) per offset step.
        const int x = g.originX + 5 * (ox - 10) + g.pitchX * ((i - 1) % g.columns);
        const int y = g.originY + 5 * (oy - 10) + g.pitchY * ((i - 1) / g.columns);
        QVERIFY2(b.x1 == dotsFor(x, Dpi) && b.y1 == dotsFor(y, Dpi), qPrintable(where));
        QVERIFY2(b.x2 == dotsFor(x + g.labelWidth, Dpi) && b.y2 == dotsFor(y + g.labelHeight, Dpi),
                 qPrintable(where));
        QCOMPARE(b.kind,
                 g.shape == LabelShape::Ellipse ? CanvasCall::Ellipse : CanvasCall::Rectangle);

        // One cross whose arms meet in the middle of the box.
        const int cx = (b.x1 + b.x2) / 2;
        const int cy = (b.y1 + b.y2) / 2;
        int across = 0;
        int down = 0;
        for (const CanvasCall &l : lines) {
            if (l.y1 == l.y2 && qAbs(l.y1 - cy) <= 1 && l.x1 < cx && l.x2 > cx && l.x1 > b.x1 &&
                l.x2 < b.x2)
                ++across;
            if (l.x1 == l.x2 && qAbs(l.x1 - cx) <= 1 && l.y1 < cy && l.y2 > cy && l.y1 > b.y1 &&
                l.y2 < b.y2)
                ++down;
        }
        QVERIFY2(across == 1 && down == 1, qPrintable(where));

        // Its own number, once, inside it.
        int numbers = 0;
        for (const CanvasCall &t : texts)
            numbers += t.text == QString::number(i) && inside(b, t.x1, t.y1);
        QVERIFY2(numbers == 1, qPrintable(where));
    }

    // The caption names the sheet and the offsets in millimetres, drawn last on white cells.
    const QStringList caption = calibrationCaption(typeOf(type), ox, oy);
    QCOMPARE(caption.size(), 3);
    QVERIFY2(caption.at(0).contains(QString::number(g.labels)), qPrintable(caption.at(0)));
    QVERIFY(caption.at(0).contains(QString::fromUtf8(sheetTypeInfo(type).caption)));
    QVERIFY2(caption.at(1).contains(QStringLiteral("横 ") + xText), qPrintable(caption.at(1)));
    QVERIFY2(caption.at(1).contains(QStringLiteral("縦 ") + yText), qPrintable(caption.at(1)));
    QVERIFY(caption.at(2).contains(QStringLiteral("オフセット")));
    QCOMPARE(texts.size() >= 3, true);
    for (int k = 0; k < 3; ++k) {
        const CanvasCall &t = texts.at(texts.size() - 3 + k);
        QCOMPARE(t.text, caption.at(k));
        QVERIFY(t.brushSolid);
        QCOMPARE(t.brushColour, ColourValue(0xFFFFFF));
        QCOMPARE(t.fontColour, ColourValue(0x000000));
    }
    // Nothing drawn off the top or left of the page.
    for (const CanvasCall &c : canvas.calls) {
        if (isOutline(c) || c.kind == CanvasCall::Line || c.kind == CanvasCall::TextOut)
            QVERIFY(c.x1 >= 0 && c.y1 >= 0);
    }
}

void TestCalibration::scales()
{
    // At 254 dpi a tenth of a millimetre is one dot.
    constexpr int Dpi = 254;
    const RecordingCanvas canvas = drawn(2, 10, 10, Dpi, Dpi);
    const QVector<CanvasCall> boxes = outlines(canvas);
    const CanvasCall &last = boxes.last();
    QMap<int, int> topTicks;  // x -> length
    QMap<int, int> leftTicks; // y -> length
    for (const CanvasCall &l : canvas.callsOf(CanvasCall::Line)) {
        if (l.y1 == 0 && l.x1 == l.x2)
            topTicks.insert(l.x1, l.y2);
        if (l.x1 == 0 && l.y1 == l.y2)
            leftTicks.insert(l.y1, l.x2);
    }
    for (const QMap<int, int> *ticks : {&topTicks, &leftTicks}) {
        const int reach = ticks == &topTicks ? last.x2 : last.y2;
        QVERIFY2(
            ticks->lastKey() >= reach + 100,
            qPrintable(
                QStringLiteral("scale ends at %1, grid at %2").arg(ticks->lastKey()).arg(reach)));
        for (int at = 0; at <= ticks->lastKey(); at += 10) {
            const int expected = at % 100 == 0 ? 30 : at % 50 == 0 ? 20 : 10;
            QVERIFY2(
                ticks->value(at) == expected,
                qPrintable(QStringLiteral("tick at %1 mm: %2").arg(at / 10).arg(ticks->value(at))));
        }
        QCOMPARE(ticks->size(), ticks->lastKey() / 10 + 1);
    }
    // Every centimetre is numbered, in millimetres.
    QStringList top;
    QStringList left;
    for (const CanvasCall &t : canvas.callsOf(CanvasCall::TextOut)) {
        if (t.y1 < 40 && t.x1 >= 100)
            top << QStringLiteral("%1@%2").arg(t.text).arg(t.x1 / 100 * 10);
        if (t.x1 < 80 && t.y1 >= 100)
            left << QStringLiteral("%1@%2").arg(t.text).arg(t.y1 / 100 * 10);
    }
    QCOMPARE(top.first(), QStringLiteral("10@10"));
    QCOMPARE(top.at(4), QStringLiteral("50@50"));
    QCOMPARE(top.size(), topTicks.lastKey() / 100);
    QCOMPARE(left.first(), QStringLiteral("10@10"));
    QCOMPARE(left.size(), leftTicks.lastKey() / 100);
}

void TestCalibration::captionKeepsClearOfTheGrid_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("oy");
    QTest::newRow("circle at the top offset") << 1 << 0;
    QTest::newRow("circle at the bottom offset") << 1 << 20;
    QTest::newRow("rectangle at the top offset") << 2 << 0;
}

void TestCalibration::captionKeepsClearOfTheGrid()
{
    // Where the sheet leaves room above the labels, the caption covers none of them.
    QFETCH(int, type);
    QFETCH(int, oy);
    const RecordingCanvas canvas = drawn(type, 10, oy, 600, 600);
    const int gridTop = outlines(canvas).first().y1;
    const QVector<CanvasCall> texts = canvas.callsOf(CanvasCall::TextOut);
    const CanvasCall &lastLine = texts.last();
    // A 7-point line is under 75 dots high at 600 dpi.
    QVERIFY2(
        lastLine.y1 + 75 < gridTop,
        qPrintable(
            QStringLiteral("caption ends near %1, grid at %2").arg(lastLine.y1 + 75).arg(gridTop)));
    // ... and below the scale along the top edge.
    QVERIFY(texts.at(texts.size() - 3).y1 > dotsFor(38, 600));
}

void TestCalibration::captionOverWholeLabels_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("ox");
    QTest::addColumn<int>("oy");
    QTest::addColumn<int>("charWidth");
    QTest::newRow("tube 95, lowest offsets") << 5 << 0 << 0 << 12;
    QTest::newRow("tube 95, highest offsets, wide text") << 7 << 20 << 20 << 40;
    QTest::newRow("tube 72") << 8 << 10 << 10 << 12;
    QTest::newRow("tube 72, text wider than the sheet") << 10 << 13 << 4 << 200;
}

void TestCalibration::captionOverWholeLabels()
{
    // The tube sheets leave no room above their labels: the caption covers whole labels of
    // the middle row on a white box, and no other label loses any of its outline.
    QFETCH(int, type);
    QFETCH(int, ox);
    QFETCH(int, oy);
    QFETCH(int, charWidth);
    RecordingCanvas canvas(600, 600);
    canvas.charWidth = charWidth;
    QString error;
    QVERIFY2(printCalibrationSheet(canvas, typeOf(type), ox, oy, &error), qPrintable(error));
    QVector<CanvasCall> blanks;
    for (const CanvasCall &c : canvas.calls) {
        if (isBlank(c))
            blanks << c;
    }
    QCOMPARE(blanks.size(), 1);
    const CanvasCall &blank = blanks.first();
    const QVector<CanvasCall> boxes = outlines(canvas);
    const FamilyInfo &g = familyInfo(FamilyOfType(type));
    int covered = 0;
    for (int i = 1; i <= boxes.size(); ++i) {
        const CanvasCall &b = boxes.at(i - 1);
        const bool in = b.x1 > blank.x1 && b.x2 < blank.x2 && b.y1 > blank.y1 && b.y2 < blank.y2;
        const bool out = b.x1 > blank.x2 || b.x2 < blank.x1 || b.y1 > blank.y2 || b.y2 < blank.y1;
        QVERIFY2(in || out, qPrintable(QStringLiteral("position %1 cut by the caption").arg(i)));
        if (in) {
            ++covered;
            QCOMPARE((i - 1) / g.columns, g.rows / 2);
        }
    }
    QVERIFY(covered >= 1);
    // The caption lies inside the box, as far as the sheet is wide (the ruler page follows).
    QVector<CanvasCall> texts = canvas.callsOf(CanvasCall::TextOut);
    texts.erase(
        std::remove_if(texts.begin(), texts.end(), [](const CanvasCall &c) { return c.page > 1; }),
        texts.end());
    for (int k = texts.size() - 3; k < texts.size(); ++k) {
        const CanvasCall &t = texts.at(k);
        QVERIFY(t.x1 > blank.x1 && t.y1 > blank.y1);
        QVERIFY(t.y1 + 60 < blank.y2);
        if (covered < g.columns)
            QVERIFY2(t.x1 + canvas.textWidth(t.text) < blank.x2, qPrintable(t.text));
    }
    // Drawn over the outlines, not under them.
    int lastOutline = 0;
    int blankAt = 0;
    for (int i = 0; i < canvas.calls.size(); ++i) {
        if (isOutline(canvas.calls.at(i)))
            lastOutline = i;
        if (isBlank(canvas.calls.at(i)))
            blankAt = i;
    }
    QVERIFY(blankAt > lastOutline);
}

void TestCalibration::failures_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("failBegin");
    QTest::addColumn<int>("failEnd");
    QTest::addColumn<bool>("drawsLabels");
    QTest::newRow("document does not start") << 1 << 1 << 0 << false;
    QTest::newRow("document does not finish") << 8 << 0 << 1 << true;
    QTest::newRow("unknown sheet type 0") << 0 << 0 << 0 << false;
    QTest::newRow("unknown sheet type 11") << 11 << 0 << 0 << false;
}

void TestCalibration::failures()
{
    QFETCH(int, type);
    QFETCH(int, failBegin);
    QFETCH(int, failEnd);
    QFETCH(bool, drawsLabels);
    // An unknown type is refused where its number is read: it never reaches the printer.
    const std::optional<SheetType> sheetType = SheetType::fromCode(type);
    if (!failBegin && !failEnd) {
        QVERIFY(!sheetType);
        return;
    }
    RecordingCanvas canvas;
    canvas.failBeginAt = failBegin;
    canvas.failEndAt = failEnd;
    QString error;
    QVERIFY(!printCalibrationSheet(canvas, sheetType.value(), 10, 10, &error));
    QVERIFY(!error.isEmpty());
    if (failBegin || failEnd)
        QCOMPARE(error, canvas.failureText);
    QCOMPARE(outlines(canvas).isEmpty(), !drawsLabels);
    QCOMPARE(canvas.misuse, 0);
    QCOMPARE(canvas.pagesPrinted(), 0);
}

void TestCalibration::onPaper()
{
    // The rectangle sheet 2 mm right and 2 mm up of its grid, printed to a PDF and read
    // back: the outlines are where the offset puts them, and not where the grid alone would.
    constexpr int Type = 2;
    constexpr int Ox = 14;
    constexpr int Oy = 6;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("calibration.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdfPrinter(printer, pdf, PdfDpi);
    PrinterCanvas canvas(&printer);
    QString error;
    QVERIFY2(printCalibrationSheet(canvas, typeOf(Type), Ox, Oy, &error), qPrintable(error));

    const QString prefix = dir.filePath(QStringLiteral("page"));
    const QString message =
        runTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QString::number(PdfDpi), QStringLiteral("-png"),
                 QStringLiteral("-singlefile"), pdf, prefix});
    const QImage img =
        QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    QVERIFY2(!img.isNull(), qPrintable(message));
    const QPoint origin = printer.pageLayout().paintRectPixels(PdfDpi).topLeft();
    QCOMPARE(origin, QPoint(100, 50));

    const FamilyInfo &g = familyInfo(FamilyOfType(Type));
    const int shift = dotsFor(OffsetStepUnits * 4, PdfDpi); // 2 mm = 24 dots
    for (int s : {1, g.columns, g.labels - g.columns + 1, g.labels}) {
        const int x = g.originX + 5 * (Ox - 10) + g.pitchX * ((s - 1) % g.columns);
        const int y = g.originY + 5 * (Oy - 10) + g.pitchY * ((s - 1) / g.columns);
        const QRect b(
            QPoint(dotsFor(x, PdfDpi), dotsFor(y, PdfDpi)) + origin,
            QPoint(dotsFor(x + g.labelWidth, PdfDpi), dotsFor(y + g.labelHeight, PdfDpi)) + origin);
        // Well away from the cross and the number in the middle of the label.
        const int midY = b.top() + b.height() / 4;
        const int midX = b.left() + b.width() / 4;
        const int left = firstInk(img, QPoint(b.left() - 10, midY), 1, 0, 20);
        const int right = firstInk(img, QPoint(b.right() + 10, midY), -1, 0, 20);
        const int top = firstInk(img, QPoint(midX, b.top() - 10), 0, 1, 20);
        const int bottom = firstInk(img, QPoint(midX, b.bottom() + 10), 0, -1, 20);
        const QString where =
            QStringLiteral("position %1 box %2,%3-%4,%5: ink at x %6..%7 y %8..%9")
                .arg(s)
                .arg(b.left())
                .arg(b.top())
                .arg(b.right())
                .arg(b.bottom())
                .arg(left)
                .arg(right)
                .arg(top)
                .arg(bottom);
        QVERIFY2(qAbs(left - b.left()) <= 2 && qAbs(right - b.right()) <= 2, qPrintable(where));
        QVERIFY2(qAbs(top - b.top()) <= 2 && qAbs(bottom - b.bottom()) <= 2, qPrintable(where));
        // Thin outlines: the label inside stays white, and nothing lies where the unshifted
        // grid would have put the edges.
        QVERIFY2(!isInk(img.pixel(b.left() + 6, midY)), qPrintable(where));
        QVERIFY2(!isInk(img.pixel(b.left() - shift, midY)), qPrintable(where));
        QVERIFY2(!isInk(img.pixel(midX, b.top() + shift)), qPrintable(where));
        // The centre cross.
        QVERIFY2(isInk(img.pixel(b.center().x() - 5, b.center().y())) ||
                     isInk(img.pixel(b.center().x() - 5, b.center().y() + 1)),
                 qPrintable(where));
    }
    // The 1 cm tick of the top scale: 10 mm = 118 dots from the drawable area's left edge.
    QVERIFY(isInk(img.pixel(origin.x() + 118, origin.y() + 10)) ||
            isInk(img.pixel(origin.x() + 119, origin.y() + 10)));
    // The caption above the rectangle grid: ink in the band between scale and labels.
    int captionInk = 0;
    for (int y = origin.y() + 60; y < origin.y() + dotsFor(g.originY - 20, PdfDpi) - 12; ++y) {
        for (int x = origin.x() + 200; x < origin.x() + 1200; ++x)
            captionInk += isInk(img.pixel(x, y));
    }
    QVERIFY2(captionInk > 1000, qPrintable(QString::number(captionInk)));
}

void TestCalibration::rulersOnPaper_data()
{
    QTest::addColumn<int>("scaleX");
    QTest::addColumn<int>("scaleY");
    QTest::newRow("100 %") << 1000 << 1000;
    // The rulers measure the printer: the saved scale must not change them.
    QTest::newRow("at the ends of the range") << 970 << 1030;
}

// The ruler page read back from the PDF: from the common 0 the rulers reach their nominal
// lengths in pixels, whatever scale the labels are printed at.
void TestCalibration::rulersOnPaper()
{
    QFETCH(int, scaleX);
    QFETCH(int, scaleY);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("calibration.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdfPrinter(printer, pdf, PdfDpi);
    {
        PrinterCanvas canvas(&printer);
        QString error;
        QVERIFY2(printCalibrationSheet(canvas, typeOf(2), 10, 10, &error, {scaleX, scaleY}),
                 qPrintable(error));
    }
    const QString prefix = dir.filePath(QStringLiteral("rulers"));
    const QString message =
        runTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QString::number(PdfDpi), QStringLiteral("-f"),
                 QStringLiteral("2"), QStringLiteral("-l"), QStringLiteral("2"),
                 QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix});
    const QImage img =
        QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    QVERIFY2(!img.isNull(), qPrintable(message));
    const QPoint origin = printer.pageLayout().paintRectPixels(PdfDpi).topLeft();
    // The two lines: the first ink down a column and along a row that only they cross,
    // 2 cm in from the drawable area's corner.
    const int across = firstInk(img, origin + QPoint(240, 0), 0, 1, 400);
    const int along = firstInk(img, origin + QPoint(0, 240), 1, 0, 400);
    QVERIFY(across > 0 && along > 0);
    // Just inside the lines every millimetre tick crosses, the first at 0, the last at the
    // ruler's end.
    const int row = across + 6;
    const int column = along + 6;
    const int left = firstInk(img, QPoint(0, row), 1, 0, img.width());
    const int right = firstInk(img, QPoint(img.width() - 1, row), -1, 0, img.width());
    const int top = firstInk(img, QPoint(column, 0), 0, 1, img.height());
    const int bottom = firstInk(img, QPoint(column, img.height() - 1), 0, -1, img.height());
    // Between the outer edges of two lines of 2 dots: the length and one line's width.
    const double width = right - left + 1 - 2;
    const double height = bottom - top + 1 - 2;
    const double nominalWidth = RulerAcrossMm * PdfDpi / 25.4;
    const double nominalHeight = RulerAlongMm * PdfDpi / 25.4;
    const QString where = QStringLiteral("%1 x %2 px").arg(width).arg(height);
    QVERIFY2(qAbs(width - nominalWidth) <= 1.5, qPrintable(where));
    QVERIFY2(qAbs(height - nominalHeight) <= 1.5, qPrintable(where));
}

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
