// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/PrinterScale.h"
#include "job/SheetTypes.h"
#include "print/PageCanvas.h"

#include <QString>
#include <QStringList>

namespace corvial {

// The calibration page is printed on plain paper and laid over a label sheet against the
// light: every label of the family's grid is outlined where a print with the current offsets
// would put it, so the shift between outline and label can be read off and corrected with
// the offset lists.

// Offset index 0..20 (taken as the nearest end outside) as the shift it stands for, in
// millimetres as the offset lists write it, with its sign: "-5 mm", "-0.5 mm", "0 mm", "+1.5 mm".
QString offsetMillimetreText(int offsetIndex);

// The caption of the calibration page of a sheet type at offset indices 0..20, one entry per
// printed line: the sheet, the current offsets in mm, one line of instructions.
QStringList calibrationCaption(SheetType sheetType, int offsetXIndex, int offsetYIndex);

// Draws the calibration page of a sheet type at offset indices 0..20 on the page that is
// open on the canvas: thin outlines of every label position of the type's family in the
// type's label shape at the printer's scale, the position number and a centre cross in
// each, millimetre scales along the top and left edges of the drawable area, and the caption.
void DrawCalibrationPage(PageCanvas &canvas, SheetType sheetType, int offsetXIndex,
                         int offsetYIndex, PrinterScale scale = PrinterScale());
// Draws the page that measures the printer's scale on the open page: a ruler RulerAcrossMm
// long across and one RulerAlongMm long down the page from a common 0, in millimetres with
// numbered centimetres, and rulerCaption(). Never scaled: it shows what the printer does.
void DrawRulerPage(PageCanvas &canvas);
// The lines printed beside the rulers: what they are and how to measure them.
QStringList rulerCaption();

// Prints the calibration page and the ruler page as a document of two pages. False with
// *error set (if error is given) when the canvas fails.
bool printCalibrationSheet(PageCanvas &canvas, SheetType sheetType, int offsetXIndex,
                           int offsetYIndex, QString *error, PrinterScale scale = PrinterScale());

} // namespace corvial
