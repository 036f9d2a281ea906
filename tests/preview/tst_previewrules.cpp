// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/Colours.h"
#include "job/SheetTypes.h"
#include "preview/PreviewRules.h"

#include <QtTest>

using namespace corvial;

namespace {

// The row of family number f. The rules take a row, so a number without one never reaches
// them: it is turned away here, where the number is read, and the answer is "none".
const FamilyInfo *familyRow(int f)
{
    return isValidFamily(f) ? &familyInfo(f) : nullptr;
}

// "G140 R10": runs of cell colours, first cell first.
QString runs(const QVector<CellColour> &cells)
{
    QStringList out;
    for (qsizetype i = 0; i < cells.size();) {
        qsizetype j = i;
        while (j < cells.size() && cells.at(j) == cells.at(i))
            ++j;
        const char letter = cells.at(i) == CellColour::Grey  ? 'G'
                            : cells.at(i) == CellColour::Red ? 'R'
                                                             : 'W';
        out << QLatin1Char(letter) + QString::number(j - i);
        i = j;
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void circleLimitsAgreeWithFormula();
    void largestSheetCounts();
    void sheetCount_data();
    void sheetCount();
    void cells_data();
    void cells();
    void cellColours_data();
    void cellColours();
    void bands_data();
    void bands();
    void hits_data();
    void hits();
    void cellRects_data();
    void cellRects();
};

void TestPreview::circleLimitsAgreeWithFormula()
{
    for (int n = 1; n <= MaxJobLabels; ++n) {
        for (int s = 1; s <= 150; ++s) {
            if (sheetCountFor(familyInfo(1), n, s) != sheetCountByFormula(n, s, 150))
                QFAIL(qPrintable(QStringLiteral("N %1, S %2").arg(n).arg(s)));
        }
    }
}

void TestPreview::largestSheetCounts()
{
    const int expected[FamilyCount] = {4, 8, 6, 7};
    for (int f = 1; f <= FamilyCount; ++f) {
        int largest = 0;
        for (int n = 1; n <= MaxJobLabels; ++n) {
            for (int s = 1; s <= labelsInFamily(f); ++s)
                largest = qMax(largest, sheetCountFor(familyInfo(f), n, s));
        }
        QCOMPARE(largest, expected[f - 1]);
    }
}

void TestPreview::sheetCount_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("startPos");
    QTest::addColumn<int>("sheets");
    QTest::newRow("circle 30 from 1") << 1 << 30 << 1 << 1;
    QTest::newRow("circle 30 from 141") << 1 << 30 << 141 << 2;
    QTest::newRow("circle N+S 151") << 1 << 121 << 30 << 1;
    QTest::newRow("circle N+S 152") << 1 << 122 << 30 << 2;
    QTest::newRow("circle N+S 301") << 1 << 300 << 1 << 2;
    QTest::newRow("circle N+S 302") << 1 << 300 << 2 << 3;
    QTest::newRow("circle N+S 452") << 1 << 400 << 52 << 4;
    QTest::newRow("tube 72 with 72") << 4 << 72 << 1 << 1;
    QTest::newRow("tube 72 with 73") << 4 << 73 << 1 << 2;
    QTest::newRow("rectangle 61 from 60") << 2 << 61 << 60 << 2;
    QTest::newRow("rectangle 1 from 60") << 2 << 1 << 60 << 1;
    QTest::newRow("tube 95 with 190") << 3 << 190 << 1 << 2;
    QTest::newRow("tube 95 with 191") << 3 << 191 << 1 << 3;
    QTest::newRow("unknown family") << 5 << 10 << 1 << 0;
}

void TestPreview::sheetCount()
{
    QFETCH(int, family);
    QFETCH(int, labels);
    QFETCH(int, startPos);
    QFETCH(int, sheets);
    const FamilyInfo *row = familyRow(family);
    QCOMPARE(row ? sheetCountFor(*row, labels, startPos) : 0, sheets);
}

void TestPreview::cells_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("startPos");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<QString>("expected");
    QTest::newRow("circle 30 from 1") << 1 << 30 << 1 << 1 << QStringLiteral("R30 W120");
    QTest::newRow("circle 30 from 141, sheet 1")
        << 1 << 30 << 141 << 1 << QStringLiteral("G140 R10");
    QTest::newRow("circle 30 from 141, sheet 2")
        << 1 << 30 << 141 << 2 << QStringLiteral("R20 W130");
    QTest::newRow("circle one sheet from 100")
        << 1 << 20 << 100 << 1 << QStringLiteral("G99 R20 W31");
    QTest::newRow("circle exactly full") << 1 << 150 << 1 << 1 << QStringLiteral("R150");
    QTest::newRow("circle last sheet full") << 1 << 300 << 1 << 2 << QStringLiteral("R150");
    QTest::newRow("tube 72 with 72") << 4 << 72 << 1 << 1 << QStringLiteral("R72");
    QTest::newRow("tube 72 with 73, sheet 1") << 4 << 73 << 1 << 1 << QStringLiteral("R72");
    QTest::newRow("tube 72 with 73, sheet 2") << 4 << 73 << 1 << 2 << QStringLiteral("R1 W71");
    QTest::newRow("rectangle 61 from 60, sheet 1")
        << 2 << 61 << 60 << 1 << QStringLiteral("G59 R1");
    QTest::newRow("rectangle 61 from 60, sheet 2") << 2 << 61 << 60 << 2 << QStringLiteral("R60");
    QTest::newRow("rectangle 400, middle sheet") << 2 << 400 << 1 << 3 << QStringLiteral("R60");
    QTest::newRow("rectangle 400, last sheet") << 2 << 400 << 1 << 7 << QStringLiteral("R40 W20");
    QTest::newRow("tube 95 from 95, sheet 1") << 3 << 5 << 95 << 1 << QStringLiteral("G94 R1");
    QTest::newRow("tube 95 from 95, sheet 2") << 3 << 5 << 95 << 2 << QStringLiteral("R4 W91");
    QTest::newRow("sheet 0") << 1 << 30 << 1 << 0 << QStringLiteral("W150");
    QTest::newRow("sheet past the job") << 4 << 73 << 1 << 3 << QStringLiteral("W72");
    QTest::newRow("unknown family") << 0 << 30 << 1 << 1 << QString();
}

void TestPreview::cells()
{
    QFETCH(int, family);
    QFETCH(int, labels);
    QFETCH(int, startPos);
    QFETCH(int, sheet);
    QFETCH(QString, expected);
    const FamilyInfo *row = familyRow(family);
    if (!row) {
        QCOMPARE(expected, QString());
        return;
    }
    const int sheets = sheetCountFor(*row, labels, startPos);
    QCOMPARE(runs(previewCells(*row, labels, startPos, sheets, sheet)), expected);
}

void TestPreview::cellColours_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<ColourValue>("value");
    QTest::addColumn<QColor>("rgb");
    QTest::newRow("grey") << int(CellColour::Grey) << ColourValue(0x00808080)
                          << QColor(128, 128, 128);
    QTest::newRow("red") << int(CellColour::Red) << ColourValue(0x000000FF) << QColor(255, 0, 0);
    QTest::newRow("white") << int(CellColour::White) << ColourValue(0x00FFFFFF)
                           << QColor(255, 255, 255);
}

void TestPreview::cellColours()
{
    QFETCH(int, colour);
    QFETCH(ColourValue, value);
    QFETCH(QColor, rgb);
    QCOMPARE(cellColourValue(CellColour(colour)), value);
    QCOMPARE(toQColor(cellColourValue(CellColour(colour))), rgb);
}

void TestPreview::bands_data()
{
    // Every band of every click surface, as inclusive pixel ranges "first-last".
    QTest::addColumn<int>("family");
    QTest::addColumn<bool>("rows");
    QTest::addColumn<QString>("bands");
    QTest::newRow("circle columns") << 1 << false
                                    << QStringLiteral("10-24 25-39 40-54 55-69 70-84 85-99 100-114 "
                                                      "115-129 130-144 145-159");
    QTest::newRow("circle rows") << 1 << true
                                 << QStringLiteral(
                                        "16-29 40-53 64-77 88-101 112-125 136-149 160-173 "
                                        "184-197 208-221 233-246 257-270 281-294 305-318 "
                                        "329-342 353-366");
    QTest::newRow("rectangle columns")
        << 2 << false << QStringLiteral("8-38 48-78 88-118 128-158 168-198 208-238");
    QTest::newRow("rectangle rows")
        << 2 << true
        << QStringLiteral("8-22 32-46 56-70 80-94 104-118 128-142 152-166 "
                          "176-190 200-214 224-238");
    QTest::newRow("tube 95 columns")
        << 3 << false << QStringLiteral("8-48 56-96 104-144 152-192 200-240");
    QTest::newRow("tube 95 rows") << 3 << true
                                  << QStringLiteral(
                                         "8-20 24-36 40-52 56-68 72-84 88-100 104-116 "
                                         "120-132 136-148 152-166 170-182 186-198 202-214 "
                                         "218-230 234-246 250-262 266-278 282-294 298-310");
    QTest::newRow("tube 72 columns")
        << 4 << false << QStringLiteral("15-81 87-153 159-225 231-299");
    QTest::newRow("tube 72 rows") << 4 << true
                                  << QStringLiteral(
                                         "15-30 31-46 47-62 63-78 79-94 95-110 111-126 "
                                         "127-142 143-158 159-174 175-190 191-206 207-222 "
                                         "223-238 239-254 255-270 271-286 287-302");
}

void TestPreview::bands()
{
    QFETCH(int, family);
    QFETCH(bool, rows);
    QFETCH(QString, bands);
    QList<int> expected(500, 0);
    int index = 0;
    for (const QString &band : bands.split(QLatin1Char(' '))) {
        ++index;
        const QStringList ends = band.split(QLatin1Char('-'));
        for (int p = ends.at(0).toInt(); p <= ends.at(1).toInt(); ++p)
            expected[p] = index;
    }
    for (int p = -20; p < 500; ++p) {
        const int got = rows ? hitRow(familyInfo(family), p) : hitColumn(familyInfo(family), p);
        if (got != (p < 0 ? 0 : expected.at(p)))
            QFAIL(qPrintable(QStringLiteral("pixel %1: band %2").arg(p).arg(got)));
    }
}

void TestPreview::hits_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("position");
    QTest::newRow("circle (30,45)") << 1 << 30 << 45 << 12;
    QTest::newRow("circle (30,35) between rows") << 1 << 30 << 35 << 0;
    QTest::newRow("circle left of column 1") << 1 << 9 << 20 << 0;
    QTest::newRow("circle last label") << 1 << 159 << 366 << 150;
    QTest::newRow("circle row 10 shifted") << 1 << 10 << 233 << 91;
    QTest::newRow("circle row 9 end") << 1 << 10 << 221 << 81;
    QTest::newRow("circle 232 in no row") << 1 << 10 << 232 << 0;
    QTest::newRow("Image6 (231,302)") << 4 << 231 << 302 << 72;
    QTest::newRow("tube 72 column gap") << 4 << 84 << 20 << 0;
    QTest::newRow("tube 72 rows touch") << 4 << 15 << 31 << 5;
    QTest::newRow("rectangle first") << 2 << 8 << 8 << 1;
    QTest::newRow("rectangle last") << 2 << 238 << 238 << 60;
    QTest::newRow("rectangle below") << 2 << 238 << 239 << 0;
    QTest::newRow("tube 95 row 10") << 3 << 8 << 166 << 46;
    QTest::newRow("tube 95 last") << 3 << 240 << 310 << 95;
    QTest::newRow("unknown family") << 0 << 30 << 45 << 0;
}

void TestPreview::hits()
{
    QFETCH(int, family);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, position);
    const FamilyInfo *row = familyRow(family);
    QCOMPARE(row ? hitPosition(*row, x, y) : 0, position);
}

void TestPreview::cellRects_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("position");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("circle 1") << 1 << 1 << QRect(56, 32, 17, 17);
    QTest::newRow("circle 10") << 1 << 10 << QRect(200, 32, 17, 17);
    QTest::newRow("circle 11") << 1 << 11 << QRect(56, 56, 17, 17);
    QTest::newRow("circle 150") << 1 << 150 << QRect(200, 368, 17, 17);
    QTest::newRow("rectangle 1") << 2 << 1 << QRect(56, 80, 30, 15);
    QTest::newRow("rectangle 60") << 2 << 60 << QRect(256, 296, 30, 15);
    QTest::newRow("tube 95 1") << 3 << 1 << QRect(48, 56, 41, 12);
    QTest::newRow("tube 95 95") << 3 << 95 << QRect(240, 344, 41, 12);
    QTest::newRow("tube 72 8") << 4 << 8 << QRect(248, 88, 65, 14);
    QTest::newRow("tube 72 72") << 4 << 72 << QRect(248, 344, 65, 14);
    QTest::newRow("position 0") << 1 << 0 << QRect();
    QTest::newRow("past the sheet") << 2 << 61 << QRect();
    QTest::newRow("unknown family") << 5 << 1 << QRect();
}

void TestPreview::cellRects()
{
    QFETCH(int, family);
    QFETCH(int, position);
    QFETCH(QRect, rect);
    const FamilyInfo *row = familyRow(family);
    QCOMPARE(row ? previewCellRect(*row, position) : QRect(), rect);
}

QTEST_GUILESS_MAIN(TestPreview)
#include "tst_previewrules.moc"
