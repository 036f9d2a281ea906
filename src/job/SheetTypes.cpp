// SPDX-License-Identifier: GPL-3.0-or-later
#include "SheetTypes.h"

namespace corvial {

namespace {

const SheetTypeInfo kTypes[SheetTypeCount] = {
    {1, "RadioButton10", "円形シート番号（１５０）", 1, true, 1, true, 0, 0, 0, false, 1},
    {2, "RadioButton2", "長方形シート番号（６０）", 2, true, 2, true, 16, 2, 7, false, 2},
    {3, "RadioButton5", "長方形シートメモ（６０）", 2, false, 3, false, 0, 0, 0, false, 3},
    {4, "RadioButton6", "長方形特殊（６０）", 2, false, 4, false, 0, 0, 0, false, 3},
    {5, "RadioButton9", "長方形チューブ番号（９５）", 3, true, 5, true, 26, 2, 12, false, 2},
    {6, "RadioButton11", "長方形チューブ番号短（９５）", 3, true, 6, true, 22, 2, 10, true, 2},
    {7, "RadioButton12", "長方形チューブメモ短（９５）", 3, false, 7, false, 26, 2, 12, true, 4},
    {8, "RadioButton3", "長方形チューブ番号（７２）", 4, true, 2, true, 49, 3, 15, false, 2},
    {9, "RadioButton1", "長方形チューブ番号短（７２）", 4, true, 2, true, 40, 3, 12, true, 2},
    {10, "RadioButton13", "長方形チューブメモ短（７２）", 4, false, 2, false, 49, 3, 15, true, 4},
};

struct FamilyGrid
{
    int labels;
    int columns;
    int rows;
};

const FamilyGrid kFamilies[FamilyCount] = {{150, 10, 15}, {60, 6, 10}, {95, 5, 19}, {72, 4, 18}};

} // namespace

bool isValidSheetType(int sheetType)
{
    return sheetType >= 1 && sheetType <= SheetTypeCount;
}

const SheetTypeInfo &sheetTypeInfo(int sheetType)
{
    return kTypes[isValidSheetType(sheetType) ? sheetType - 1 : 0];
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
    return family >= 1 && family <= FamilyCount ? kFamilies[family - 1].labels : 0;
}

int columnsInFamily(int family)
{
    return family >= 1 && family <= FamilyCount ? kFamilies[family - 1].columns : 0;
}

int rowsInFamily(int family)
{
    return family >= 1 && family <= FamilyCount ? kFamilies[family - 1].rows : 0;
}

bool isNumberedType(int sheetType)
{
    return isValidSheetType(sheetType) && kTypes[sheetType - 1].numbered;
}

} // namespace corvial
