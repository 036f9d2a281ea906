// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <optional>

namespace corvial {

// The one place that knows the label sheets. Everything else (entry limits, proof label,
// preview, printing, export, the settings file) looks its facts up here.

// Sheet families: 1 circle 150, 2 rectangle 60, 3 tube 95, 4 tube 72.
constexpr int FamilyCount = 4;
constexpr int SheetTypeCount = 10;
constexpr int MaxLabelsPerSheet = 150;
constexpr int MaxJobLabels = 400;

// Printer offsets are indices into the offset lists: 0..20 for -5 mm .. +5 mm in 0.5 mm
// steps, 10 = no shift; one step moves the grid by 5 layout units.
constexpr int OffsetIndexMin = 0;
constexpr int OffsetIndexCentre = 10;
constexpr int OffsetIndexMax = 20;
constexpr int OffsetStepUnits = 5;

enum class LabelShape { Ellipse, Rectangle };

// Which proof a label is shown with.
enum class ProofKind { Circle = 1, Number = 2, Memo = 3, TextOnly = 4 };

// What a label's text is typed as.
enum class TextBoxKind {
    OneLine, // a single short line (the round labels)
    Lines,   // a few short lines (the number and text-only labels)
    Memo,    // the four lines of a memo label
    Marker,  // no text: the label prints one of the fixed markers
};

// How much text a sheet type's label takes, counted in Shift-JIS bytes (a line break 2).
// Default-constructed it takes no text at all, which is what a text without a sheet type gets.
struct TextBox
{
    TextBoxKind kind = TextBoxKind::Marker;
    int lineCount = 0; // lines the label prints; each holds at most lineBytes
    int lineBytes = 0;
    int totalBytes = 0; // the whole text with its line breaks
};

// A run of `count` equally spaced bands of a preview's click surface, in pixels: band k
// (0-based) covers first + k * step .. first + k * step + width - 1.
struct BandRun
{
    int count;
    int first;
    int width;
    int step;
};

struct BandTable
{
    const BandRun *runs;
    int runCount;
};

// Preview cells on the preview panel, in pixels: cell (c, r), 0-based, has its top-left
// corner at left + c * dx, top + r * dy and the size width x height.
struct PreviewCellGrid
{
    int left;
    int top;
    int dx;
    int dy;
    int width;
    int height;
};

// What a click that chooses the start position on a family's preview does with start.txt.
enum class StartClickSave {
    BeforeRepaint, // save, then repaint the preview
    AfterRepaint,  // repaint, then save
    Deferred,      // repaint only; the choice reaches the file with the next save
};

// One physical label sheet. Geometry is in layout units of 1/250 inch; origin is the
// top-left corner of the box of position 1 with both offsets at OffsetIndexCentre.
struct FamilyInfo
{
    int family; // 1..4
    int columns;
    int rows;
    int labels; // columns x rows = positions on one sheet
    int pitchX;
    int pitchY;
    int originX;
    int originY;
    int labelWidth; // box of one label
    int labelHeight;
    LabelShape shape;
    PreviewCellGrid previewCells;
    BandTable columnBands; // click surface of the preview
    BandTable rowBands;
    // The circle preview counts its sheets by fixed limits of N + S (1 sheet below the
    // first, 2 below the second, ...); 0 entries for the families that use the formula.
    int sheetLimits[3];
    int settingsLine; // record line of start.txt
    StartClickSave startClickSave;
};

// What one of the ten sheet types offers and prints.
struct SheetTypeInfo
{
    int code;                   // 1..10
    const char *caption;        // UTF-8 caption of the radio button
    int family;                 // 1..4
    bool numbered;              // prints a sample number, advances it after a print, exports
    int entryLayout;            // which entry screen layout the type shows
    bool repeatShown;           // labels per sample can be chosen; otherwise repeatCount is 1
    TextBox textBox;            // what the label's text is typed as, and how much it takes
    bool alignChoice;           // the print screen offers the alignment of the texts
    int alignCentre;            // sideways shift of the texts, layout units, for centre
    int alignRight;             // ... and for right alignment
    ProofKind proofKind;        // proof panel
    bool proofNumberSized;      // the proof sizes its number by NumberFontSize
    const char *exportSizeName; // label-size name of the workbook title, UTF-8; "" = none
};

// A sheet type known to exist. The number a user or a file gives is turned into this value
// where it enters (the window's type choice, an option, the settings file), so everything
// past that point works on a row of the table and never checks the number again.
class SheetType
{
public:
    SheetType() = default; // type 1, so that a default job is a valid one

    // Type 1..SheetTypeCount, or nothing for any other number.
    static std::optional<SheetType> fromCode(int code);
    // Every sheet type in the order of its number.
    static std::array<SheetType, SheetTypeCount> all();

    // The type's number, 1..SheetTypeCount, as files, options and messages write it.
    int code() const { return mCode; }
    // The type's row of the sheet type table.
    const SheetTypeInfo &info() const;
    // The row of the family the type's sheets belong to.
    const FamilyInfo &family() const;

    friend bool operator==(SheetType a, SheetType b) { return a.mCode == b.mCode; }
    friend bool operator!=(SheetType a, SheetType b) { return a.mCode != b.mCode; }

private:
    explicit constexpr SheetType(int code) : mCode(code) {}
    int mCode = 1;
};

// The lookups by number below serve the places where a number is all there is: the window's
// type choice and the family records of the settings file. Past those, use SheetType.

// Sheet type 1..10 to its row of the table; any other value gives type 1's row.
const SheetTypeInfo &sheetTypeInfo(int sheetType);
bool isValidSheetType(int sheetType);
// Family 1..4 to its row; any other value gives family 1's row.
const FamilyInfo &familyInfo(int family);
bool isValidFamily(int family);

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
// True for family 1..4 when its labels are round (the circle sheet).
bool isCircleFamily(int family);
// True for the types whose labels are round (type 1).
bool isCircleType(int sheetType);
// True for the type whose label is a fixed marker in colours of its own (type 4).
bool isMarkerType(int sheetType);
// Proof panel kind of sheet type 1..10; ProofKind::Circle for an unknown type.
ProofKind proofKindOf(int sheetType);
// The same questions of a type known to exist, answered from its row.
inline bool isCircleType(SheetType type)
{
    return isCircleFamily(type.info().family);
}
inline bool isMarkerType(SheetType type)
{
    return type.info().textBox.kind == TextBoxKind::Marker;
}
inline ProofKind proofKindOf(SheetType type)
{
    return type.info().proofKind;
}

// Offset index brought into 0..20.
int boundedOffsetIndex(int index);

} // namespace corvial
