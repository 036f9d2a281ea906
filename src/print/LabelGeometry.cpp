// SPDX-License-Identifier: GPL-3.0-or-later
#include "LabelGeometry.h"

#include <QtGlobal>

namespace corvial {

int LabelWidth(int sheetType)
{
    const int family = FamilyOfType(sheetType);
    return family == 0 ? 0 : familyInfo(family).labelWidth;
}

int LabelHeight(int sheetType)
{
    const int family = FamilyOfType(sheetType);
    return family == 0 ? 0 : familyInfo(family).labelHeight;
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
    if (!isValidFamily(family))
        return pos;
    const FamilyInfo &g = familyInfo(family);
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

int alignShift(int sheetType, PrintAlign align)
{
    if (!isValidSheetType(sheetType))
        return 0;
    const SheetTypeInfo &info = sheetTypeInfo(sheetType);
    if (align == PrintAlign::Centre)
        return info.alignCentre;
    if (align == PrintAlign::Right)
        return info.alignRight;
    return 0;
}

} // namespace corvial
