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

int scaledDotsFor(int v, int offset, int permille, int dpi)
{
    // 100 % takes the plain conversion, so that an unscaled job is drawn with the very
    // numbers it always was.
    if (permille == ScalePermilleNominal)
        return dotsFor(v, dpi);
    // Offsets keep meaning the millimetres their lists show, so only the position on the
    // sheet is scaled; one division at the end, so no rounding to layout units comes between.
    const qint64 thousandths =
        (qint64(v) - offset) * permille + qint64(offset) * ScalePermilleNominal;
    return int(thousandths * dpi / (qint64(LayoutUnitsPerInch) * ScalePermilleNominal));
}

LabelPositions ComputeLabelPositions(const FamilyInfo &g, int offsetXIndex, int offsetYIndex,
                                     PrinterScale scale)
{
    LabelPositions pos = {};
    pos.offsetX = OffsetStepUnits * (boundedOffsetIndex(offsetXIndex) - OffsetIndexCentre);
    pos.offsetY = OffsetStepUnits * (boundedOffsetIndex(offsetYIndex) - OffsetIndexCentre);
    pos.scale = scale;
    const int ox = g.originX + pos.offsetX;
    const int oy = g.originY + pos.offsetY;
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
