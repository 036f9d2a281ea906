// SPDX-License-Identifier: GPL-3.0-or-later
#include "SheetTypes.h"

#include "TextLimits.h"

#include <QtGlobal>

namespace corvial {

namespace {

// Click bands of the previews. They follow the drawn cells only roughly, and the circle and
// tube-95 rows shift by a pixel or two from row 10 on; clicks are resolved by these bands as
// users know them.
const BandRun kCircleColumns[] = {{10, 10, 15, 15}};
const BandRun kCircleRows[] = {{9, 16, 14, 24}, {6, 233, 14, 24}};
const BandRun kRectColumns[] = {{6, 8, 31, 40}};
const BandRun kRectRows[] = {{10, 8, 15, 24}};
const BandRun kTube95Columns[] = {{5, 8, 41, 48}};
const BandRun kTube95Rows[] = {{9, 8, 13, 16}, {1, 152, 15, 16}, {9, 170, 13, 16}};
const BandRun kTube72Columns[] = {{3, 15, 67, 72}, {1, 231, 69, 72}};
const BandRun kTube72Rows[] = {{18, 15, 16, 16}};

template <int N> constexpr BandTable bands(const BandRun (&runs)[N])
{
    return {runs, N};
}

// clang-format off
// One row per sheet: grid, pitch and origin (layout units), label box and shape, preview cells
// (left, top, dx, dy, width, height in pixels), click bands, the circle preview's sheet limits,
// the start.txt line, and what a start-position click does with the file.
const FamilyInfo kFamilies[FamilyCount] = {
    {1, 10, 15, 150, 167, 168, 195, 206, 130, 130, LabelShape::Ellipse,   {56, 32, 16, 24, 17, 17}, bands(kCircleColumns), bands(kCircleRows), {152, 302, 452}, 1, StartClickSave::BeforeRepaint},
    {2, 6,  10, 60,  286, 217, 170, 395, 260, 140, LabelShape::Rectangle, {56, 80, 40, 24, 30, 15}, bands(kRectColumns),   bands(kRectRows),   {0, 0, 0},       2, StartClickSave::Deferred},
    {3, 5,  19, 95,  345, 138, 165, 135, 320, 120, LabelShape::Rectangle, {48, 56, 48, 16, 41, 12}, bands(kTube95Columns), bands(kTube95Rows), {0, 0, 0},       3, StartClickSave::AfterRepaint},
    {4, 4,  18, 72,  445, 148, 140, 120, 420, 140, LabelShape::Rectangle, {32, 72, 72, 16, 65, 14}, bands(kTube72Columns), bands(kTube72Rows), {0, 0, 0},       4, StartClickSave::AfterRepaint},
};

using K = TextBoxKind;
using P = ProofKind;
constexpr TextBox kOneLine{K::OneLine, 1, OneLineMaxBytes, OneLineMaxBytes};
constexpr TextBox kMemo{K::Memo, MemoLines, MemoLineBytes, MemoMaxBytes};
constexpr TextBox kMarker{K::Marker, 0, 0, 0};
// One row per sheet type: code, caption, family, numbered, entry layout, repeat shown; the
// text box (kind, lines, bytes per line, bytes in all); alignment choice and its centre /
// right shifts; proof kind, proof number sized; the label-size name of the workbook title.
const SheetTypeInfo kTypes[SheetTypeCount] = {
    {1,  "円形シート番号（１５０）",         1, true,  1, true,  kOneLine,              false, 0,  0,   P::Circle,   false, "１１ｍφ円形"},
    {2,  "長方形シート番号（６０）",         2, true,  2, true,  {K::Lines, 2, 7, 16},  false, 0,  0,   P::Number,   false, "１２ｍｍＸ２４ｍｍ"},
    {3,  "長方形シートメモ（６０）",         2, false, 3, false, kMemo,                 false, 0,  0,   P::Memo,     false, ""},
    {4,  "長方形特殊（６０）",               2, false, 4, false, kMarker,               false, 0,  0,   P::Memo,     false, ""},
    {5,  "長方形チューブ番号（９５）",       3, true,  5, true,  {K::Lines, 2, 12, 26}, false, 0,  0,   P::Number,   true,  "１０ｍｍＸ３０ｍｍ"},
    {6,  "長方形チューブ番号短（９５）",     3, true,  6, true,  {K::Lines, 2, 10, 22}, true,  40, 75,  P::Number,   true,  "１０ｍｍＸ３０ｍｍ"},
    {7,  "長方形チューブメモ短（９５）",     3, false, 7, false, {K::Lines, 2, 12, 26}, true,  40, 80,  P::TextOnly, false, ""},
    {8,  "長方形チューブ番号（７２）",       4, true,  2, true,  {K::Lines, 3, 15, 49}, false, 0,  0,   P::Number,   true,  "１２ｍｍＸ４０ｍｍ"},
    {9,  "長方形チューブ番号短（７２）",     4, true,  2, true,  {K::Lines, 3, 12, 40}, true,  60, 120, P::Number,   true,  "１２ｍｍＸ４０ｍｍ"},
    {10, "長方形チューブメモ短（７２）",     4, false, 2, false, {K::Lines, 3, 15, 49}, true,  60, 120, P::TextOnly, false, ""},
};
// clang-format on

} // namespace

std::optional<SheetType> SheetType::fromCode(int code)
{
    if (!isValidSheetType(code))
        return std::nullopt;
    return SheetType(code);
}

std::array<SheetType, SheetTypeCount> SheetType::all()
{
    std::array<SheetType, SheetTypeCount> types;
    for (int k = 0; k < SheetTypeCount; ++k)
        types[k] = SheetType(k + 1);
    return types;
}

const SheetTypeInfo &SheetType::info() const
{
    return kTypes[mCode - 1];
}

const FamilyInfo &SheetType::family() const
{
    return kFamilies[info().family - 1];
}

bool isValidSheetType(int sheetType)
{
    return sheetType >= 1 && sheetType <= SheetTypeCount;
}

bool isValidFamily(int family)
{
    return family >= 1 && family <= FamilyCount;
}

const SheetTypeInfo &sheetTypeInfo(int sheetType)
{
    return kTypes[isValidSheetType(sheetType) ? sheetType - 1 : 0];
}

const FamilyInfo &familyInfo(int family)
{
    return kFamilies[isValidFamily(family) ? family - 1 : 0];
}

int FamilyOfType(int sheetType)
{
    return isValidSheetType(sheetType) ? kTypes[sheetType - 1].family : 0;
}

int LabelsPerSheet(int sheetType)
{
    return labelsInFamily(FamilyOfType(sheetType));
}

int labelsInFamily(int family)
{
    return isValidFamily(family) ? kFamilies[family - 1].labels : 0;
}

int columnsInFamily(int family)
{
    return isValidFamily(family) ? kFamilies[family - 1].columns : 0;
}

int rowsInFamily(int family)
{
    return isValidFamily(family) ? kFamilies[family - 1].rows : 0;
}

bool isNumberedType(int sheetType)
{
    return isValidSheetType(sheetType) && kTypes[sheetType - 1].numbered;
}

bool isCircleFamily(int family)
{
    return isValidFamily(family) && kFamilies[family - 1].shape == LabelShape::Ellipse;
}

bool isCircleType(int sheetType)
{
    return isCircleFamily(FamilyOfType(sheetType));
}

bool isMarkerType(int sheetType)
{
    return isValidSheetType(sheetType) && kTypes[sheetType - 1].textBox.kind == TextBoxKind::Marker;
}

ProofKind proofKindOf(int sheetType)
{
    return sheetTypeInfo(sheetType).proofKind;
}

int boundedOffsetIndex(int index)
{
    return qBound(OffsetIndexMin, index, OffsetIndexMax);
}

} // namespace corvial
