// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/PreviewRules.h"

#include "job/SheetTypes.h"

namespace corvial {

namespace {

constexpr ColourValue kGrey = 0x00808080;
constexpr ColourValue kRed = 0x000000FF;
constexpr ColourValue kWhite = 0x00FFFFFF;

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

int sheetCountFor(const FamilyInfo &family, int labels, int startPos)
{
    if (family.sheetLimits[0] == 0)
        return sheetCountByFormula(labels, startPos, family.labels);
    const qint64 end = qint64(labels) + startPos;
    int sheets = 1;
    for (int limit : family.sheetLimits) {
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

QVector<CellColour> previewCells(const FamilyInfo &family, int labels, int startPos, int sheetCount,
                                 int sheet)
{
    const int perSheet = family.labels;
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

int hitColumn(const FamilyInfo &family, int x)
{
    return bandAt(family.columnBands, x);
}

int hitRow(const FamilyInfo &family, int y)
{
    return bandAt(family.rowBands, y);
}

int hitPosition(const FamilyInfo &family, int x, int y)
{
    const int column = hitColumn(family, x);
    const int row = hitRow(family, y);
    if (column == 0 || row == 0)
        return 0;
    return (row - 1) * family.columns + column;
}

QRect previewCellRect(const FamilyInfo &family, int position)
{
    if (position < 1 || position > family.labels)
        return QRect();
    const PreviewCellGrid &g = family.previewCells;
    const int columns = family.columns;
    const int c = (position - 1) % columns;
    const int r = (position - 1) / columns;
    return QRect(g.left + c * g.dx, g.top + r * g.dy, g.width, g.height);
}

} // namespace corvial
