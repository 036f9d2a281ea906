// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"
#include "job/PrinterScale.h"
#include "job/SheetTypes.h"

namespace corvial {

// Label geometry is kept in layout units of 1/250 inch and turned into printer dots only
// when drawn, so a sheet comes out the same size on every printer. The grids themselves are
// the sheet facts of job/SheetTypes.h.
constexpr int LayoutUnitsPerInch = 250;

// Box width / height in layout units of a sheet type's labels (130, 260, 320, 420 / 130,
// 140, 120, 140).
int LabelWidth(SheetType sheetType);
int LabelHeight(SheetType sheetType);

// Layout units v to dots at dpi dots per inch: v * dpi / 250, truncated toward zero.
int dotsFor(int v, int dpi);

// Layout units v to dots at dpi, v taken as the sum of a position on the sheet and the
// offset `offset` (layout units): the position is scaled by permille / 1000 about the page's
// top-left corner, the offset is added unscaled. Truncated toward zero; at 1000 exactly
// dotsFor(v, dpi).
int scaledDotsFor(int v, int offset, int permille, int dpi);

// Left and top edge of the box of each label position, layout units; index 1..150, only
// 1..P of the family are set, the rest (and index 0) are 0. They hold the offset; the
// printer's scale is applied when a position (or a point of a label) becomes dots.
struct LabelPositions
{
    int labelX[MaxLabelsPerSheet + 1];
    int labelY[MaxLabelsPerSheet + 1];
    int offsetX = 0; // the offset's shift in layout units, part of every labelX / labelY
    int offsetY = 0;
    PrinterScale scale;

    // A point in layout units (a labelX / labelY plus a distance inside the label) as dots
    // at dpi, with the printer's scale: scaledDotsFor(v, offsetX|Y, scale, dpi).
    int dotsX(int v, int dpi) const { return scaledDotsFor(v, offsetX, scale.permilleX, dpi); }
    int dotsY(int v, int dpi) const { return scaledDotsFor(v, offsetY, scale.permilleY, dpi); }
};

// Positions of the family with offset indices 0..20 (10 = no shift; indices outside are
// taken as the nearest end), to be drawn at the printer's scale.
LabelPositions ComputeLabelPositions(const FamilyInfo &family, int offsetXIndex, int offsetYIndex,
                                     PrinterScale scale = PrinterScale());

// Sideways shift in layout units of the texts of sheet types 6, 7, 9 and 10 for the
// alignment; 0 for left alignment and for every other type.
int alignShift(SheetType sheetType, PrintAlign align);

} // namespace corvial
