// SPDX-License-Identifier: GPL-3.0-or-later
#include "LabelGeometry.h"

#include <QtGlobal>

namespace corvial {

namespace {

const FamilyGeometry kFamilies[FamilyCount] = {
    {1, 10, 15, 150, 167, 168, 195, 206, 130, 130, true},
    {2, 6, 10, 60, 286, 217, 170, 395, 260, 140, false},
    {3, 5, 19, 95, 345, 138, 165, 135, 320, 120, false},
    {4, 4, 18, 72, 445, 148, 140, 120, 420, 140, false},
};

struct AlignRow
{
    int sheetType;
    int centre;
    int right;
};

const AlignRow kAlign[] = {{6, 40, 75}, {7, 40, 80}, {9, 60, 120}, {10, 60, 120}};

} // namespace

const FamilyGeometry &familyGeometry(int family)
{
    return kFamilies[family >= 1 && family <= FamilyCount ? family - 1 : 0];
}

int LabelWidth(int sheetType)
{
    const int family = FamilyOfType(sheetType);
    return family == 0 ? 0 : familyGeometry(family).labelWidth;
}

int LabelHeight(int sheetType)
{
    const int family = FamilyOfType(sheetType);
    return family == 0 ? 0 : familyGeometry(family).labelHeight;
}

int dotsFor(int v, int dpi)
{
    // 64 bits so that no resolution a printer reports can overflow the product; C++ integer
    // division truncates toward zero, which is the rounding the sheets were measured with.
    return int(qint64(v) * qint64(dpi) / LayoutUnitsPerInch);
}

LabelPositions ComputeLabelPositions(int family, int offsetXIndex, int offsetYIndex)
{
    LabelPositions pos = {};
    if (family < 1 || family > FamilyCount)
        return pos;
    const FamilyGeometry &g = familyGeometry(family);
    const int ox =
        g.originX + OffsetStepUnits * (qBound(0, offsetXIndex, OffsetIndexMax) - OffsetIndexCentre);
    const int oy =
        g.originY + OffsetStepUnits * (qBound(0, offsetYIndex, OffsetIndexMax) - OffsetIndexCentre);
    for (int i = 1; i <= g.positions; ++i) {
        pos.labelX[i] = ox + g.pitchX * ((i - 1) % g.columns);
        pos.labelY[i] = oy + g.pitchY * ((i - 1) / g.columns);
    }
    return pos;
}

int alignShift(int sheetType, int printAlign)
{
    for (const AlignRow &row : kAlign) {
        if (row.sheetType != sheetType)
            continue;
        if (printAlign == 2)
            return row.centre;
        if (printAlign == 3)
            return row.right;
        return 0;
    }
    return 0;
}

} // namespace corvial
