// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace corvial {

// Sheet families: 1 circle 150, 2 rectangle 60, 3 tube 95, 4 tube 72.
constexpr int FamilyCount = 4;
constexpr int SheetTypeCount = 10;
constexpr int MaxLabelsPerSheet = 150;
constexpr int MaxJobLabels = 400;

// What one of the ten sheet types offers and prints.
struct SheetTypeInfo
{
    int code;              // 1..10
    const char *radioName; // objectName of its radio button
    const char *caption;   // UTF-8 caption of the radio button
    int family;            // 1..4
    bool numbered;         // prints a sample number and advances it after a print
    int entryLayout;       // argument of ShowEntryLayout when the type is chosen
    bool repeatShown;      // ListBox1 offered; otherwise repeatCount is forced to 1
    int memo8Limit;        // Memo8 maximum length in bytes, 0 = keep the previous one
    int memo8Lines;        // lines of Memo8 checked against memo8LineBytes (0 = none)
    int memo8LineBytes;    // bytes allowed per checked Memo8 line
    bool alignChoice;      // GroupBox2 shown on the print screen
    int proofKind;         // argument of ShowProofPanel
};

// Sheet type 1..10 to its row of the table; any other value gives type 1's row.
const SheetTypeInfo &sheetTypeInfo(int sheetType);
bool isValidSheetType(int sheetType);

// Family 1..4 of a sheet type 1..10; 0 for anything else.
int FamilyOfType(int sheetType);
// Labels on one sheet of the type's family: 150, 60, 95 or 72; 0 for an unknown type.
int LabelsPerSheet(int sheetType);

// Labels on one sheet of family 1..4; 0 for anything else.
int labelsInFamily(int family);
// Columns of the label grid of family 1..4 (10, 6, 5, 4); 0 for anything else.
int columnsInFamily(int family);
// Rows of the label grid of family 1..4 (15, 10, 19, 18); 0 for anything else.
int rowsInFamily(int family);

// True for the types that print a sample number: 1, 2, 5, 6, 8, 9.
bool isNumberedType(int sheetType);

} // namespace corvial
