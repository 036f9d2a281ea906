// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/PreviewRules.h"

#include "job/SheetTypes.h"

#include <iterator>

namespace corvial {

namespace {

// A run of `count` equally spaced bands of the click surface: band k (0-based) covers
// first + k * step .. first + k * step + width - 1.
struct BandRun
{
    int count;
    int first;
    int width;
    int step;
};

struct BandTable
{
    const BandRun *runs;
    int runCount;
};

// The bands follow the drawn cells only roughly, and the circle and tube-95 rows shift by
// a pixel or two from row 10 on; clicks are resolved by these bands as users know them.
const BandRun kCircleColumns[] = {{10, 10, 15, 15}};
const BandRun kCircleRows[] = {{9, 16, 14, 24}, {6, 233, 14, 24}};
const BandRun kRectColumns[] = {{6, 8, 31, 40}};
const BandRun kRectRows[] = {{10, 8, 15, 24}};
const BandRun kTube95Columns[] = {{5, 8, 41, 48}};
const BandRun kTube95Rows[] = {{9, 8, 13, 16}, {1, 152, 15, 16}, {9, 170, 13, 16}};
const BandRun kTube72Columns[] = {{3, 15, 67, 72}, {1, 231, 69, 72}};
const BandRun kTube72Rows[] = {{18, 15, 16, 16}};

template <int N> constexpr BandTable table(const BandRun (&runs)[N])
{
    return {runs, N};
}

const BandTable kColumnBands[FamilyCount] = {table(kCircleColumns), table(kRectColumns),
                                             table(kTube95Columns), table(kTube72Columns)};
const BandTable kRowBands[FamilyCount] = {table(kCircleRows), table(kRectRows), table(kTube95Rows),
                                          table(kTube72Rows)};

// Cell grid on the preview panel: cell (c, r), 0-based, at left + c * dx, top + r * dy.
struct CellGrid
{
    int left;
    int top;
    int dx;
    int dy;
    int width;
    int height;
};

const CellGrid kCells[FamilyCount] = {
    {56, 32, 16, 24, 17, 17},
    {56, 80, 40, 24, 30, 15},
    {48, 56, 48, 16, 41, 12},
    {32, 72, 72, 16, 65, 14},
};

// The fixed sheet limits of the circle preview, for N + S.
const int kCircleSheetLimits[] = {152, 302, 452};

constexpr ColourValue kGrey = 0x00808080;
constexpr ColourValue kRed = 0x000000FF;
constexpr ColourValue kWhite = 0x00FFFFFF;

bool isFamily(int family)
{
    return family >= 1 && family <= FamilyCount;
}

int bandAt(const BandTable &bands, int pixel)
{
    int index = 0;
    for (int r = 0; r < bands.runCount; ++r) {
        const BandRun &run = bands.runs[r];
        const int offset = pixel - run.first;
        if (offset >= 0 && offset < run.count * run.step) {
            if (offset % run.step < run.width)
                return index + offset / run.step + 1;
            return 0;
        }
        index += run.count;
    }
    return 0;
}

void paint(QVector<CellColour> &cells, int from, int to, CellColour colour)
{
    from = qMax(from, 1);
    to = qMin(to, int(cells.size()));
    for (int i = from; i <= to; ++i)
        cells[i - 1] = colour;
}

} // namespace

int sheetCountByFormula(int labels, int startPos, int perSheet)
{
    if (perSheet < 1)
        return 0;
    // Integer division truncates toward zero, as the floating-point truncation does.
    return int((qint64(labels) + startPos - 2) / perSheet) + 1;
}

int sheetCountFor(int family, int labels, int startPos)
{
    if (!isFamily(family))
        return 0;
    if (family != 1)
        return sheetCountByFormula(labels, startPos, labelsInFamily(family));
    const qint64 end = qint64(labels) + startPos;
    int sheets = 1;
    for (int limit : kCircleSheetLimits) {
        if (end < limit)
            return sheets;
        ++sheets;
    }
    return sheets;
}

ColourValue cellColourValue(CellColour colour)
{
    switch (colour) {
    case CellColour::Grey:
        return kGrey;
    case CellColour::Red:
        return kRed;
    case CellColour::White:
        break;
    }
    return kWhite;
}

QVector<CellColour> previewCells(int family, int labels, int startPos, int sheetCount, int sheet)
{
    const int perSheet = labelsInFamily(family);
    QVector<CellColour> cells(perSheet, CellColour::White);
    if (perSheet == 0 || sheet < 1 || sheet > sheetCount)
        return cells;
    const int lastOnFirst = startPos + labels - 1;
    if (sheet == 1) {
        paint(cells, 1, startPos - 1, CellColour::Grey);
        paint(cells, startPos, sheetCount == 1 ? lastOnFirst : perSheet, CellColour::Red);
    } else if (sheet < sheetCount) {
        paint(cells, 1, perSheet, CellColour::Red);
    } else {
        const qint64 onLast = qint64(lastOnFirst) - qint64(sheetCount - 1) * perSheet;
        paint(cells, 1, int(qBound(qint64(0), onLast, qint64(perSheet))), CellColour::Red);
    }
    return cells;
}

int hitColumn(int family, int x)
{
    return isFamily(family) ? bandAt(kColumnBands[family - 1], x) : 0;
}

int hitRow(int family, int y)
{
    return isFamily(family) ? bandAt(kRowBands[family - 1], y) : 0;
}

int hitPosition(int family, int x, int y)
{
    const int column = hitColumn(family, x);
    const int row = hitRow(family, y);
    if (column == 0 || row == 0)
        return 0;
    return (row - 1) * columnsInFamily(family) + column;
}

QRect previewCellRect(int family, int position)
{
    if (!isFamily(family) || position < 1 || position > labelsInFamily(family))
        return QRect();
    const CellGrid &g = kCells[family - 1];
    const int columns = columnsInFamily(family);
    const int c = (position - 1) % columns;
    const int r = (position - 1) / columns;
    return QRect(g.left + c * g.dx, g.top + r * g.dy, g.width, g.height);
}

} // namespace corvial
