// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/Colours.h"
#include "job/SheetTypes.h"

#include <QRect>
#include <QVector>

namespace corvial {

// Sheets a job of `labels` labels (N, 1..400) starting at label startPos (S, 1..P) of the
// family spans. The circle family compares N + S with fixed limits (at most 4 sheets), the
// others use sheetCountByFormula.
int sheetCountFor(const FamilyInfo &family, int labels, int startPos);
// trunc((N + S - 2) / P) + 1 for perSheet P >= 1; 0 when perSheet < 1.
int sheetCountByFormula(int labels, int startPos, int perSheet);

// How a preview cell shows a label: left alone before the start (grey), printed (red), free.
enum class CellColour { Grey, Red, White };
// Fill colour of a cell: $00808080, $000000FF or $00FFFFFF.
ColourValue cellColourValue(CellColour colour);

// Colours of the P cells of the family for sheet 1..sheetCount of a job of `labels` labels
// starting at startPos; element 0 is cell 1. Cells a range does not reach, and every cell
// of a sheet outside 1..sheetCount, are white.
QVector<CellColour> previewCells(const FamilyInfo &family, int labels, int startPos, int sheetCount,
                                 int sheet);

// 1-based column of the family's click surface whose band holds pixel x; 0 when none does.
int hitColumn(const FamilyInfo &family, int x);
// 1-based row of the family's click surface whose band holds pixel y; 0 when none does.
int hitRow(const FamilyInfo &family, int y);
// Label position (row - 1) * C + column hit at pixel (x, y) of the click surface; 0 when
// x or y lies in no band.
int hitPosition(const FamilyInfo &family, int x, int y);
// Bounds, in pixels of the preview panel, of the cell of label position 1..P of the family;
// a null QRect for any other position.
QRect previewCellRect(const FamilyInfo &family, int position);

} // namespace corvial
