// SPDX-License-Identifier: GPL-3.0-or-later
#include "LabelGeometry.h"

#include <QtGlobal>

namespace corvial {

int LabelWidth(SheetType sheetType)
{
    return sheetType.family().labelWidth;
}

int LabelHeight(SheetType sheetType)
{
    return sheetType.family().labelHeight;
}

int dotsFor(int v, int dpi)
{
    // 64 bits so that no resolution a printer reports can overflow the product; C++ integer
    // division truncates toward zero, which is the rounding the sheets were measured with.
    return int(qint64(v) * qint64(dpi) / LayoutUnitsPerInch);
}

LabelPositions ComputeLabelPositions(const FamilyInfo &g, int offsetXIndex, int offsetYIndex)
{
    LabelPositions pos = {};
    const int ox =
        g.originX + OffsetStepUnits * (boundedOffsetIndex(offsetXIndex) - OffsetIndexCentre);
    const int oy =
        g.originY + OffsetStepUnits * (boundedOffsetIndex(offsetYIndex) - OffsetIndexCentre);
    for (int i = 1; i <= g.labels; ++i) {
        pos.labelX[i] = ox + g.pitchX * ((i - 1) % g.columns);
        pos.labelY[i] = oy + g.pitchY * ((i - 1) / g.columns);
    }
    return pos;
}

int alignShift(SheetType sheetType, PrintAlign align)
{
    const SheetTypeInfo &info = sheetType.info();
    if (align == PrintAlign::Centre)
        return info.alignCentre;
    if (align == PrintAlign::Right)
        return info.alignRight;
    return 0;
}

} // namespace corvial
