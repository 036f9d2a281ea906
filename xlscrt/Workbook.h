// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace xlscrt {

inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxColumns = 256;
// Palette codes a caller may name; 0..7 are fixed colours and 64.. system colours.
inline constexpr int kFirstPaletteCode = 8;
inline constexpr int kLastPaletteCode = 63;
// Colour of automatic lines (the system's window text colour).
inline constexpr uint8_t kAutomaticColour = 64;
// Longest text a cell can hold, in UTF-16 code units.
inline constexpr int kMaxTextUnits = 32767;
// More cell formats than this make Excel refuse or mangle the file.
inline constexpr int kMaxCellFormats = 4000;
// Largest record body; longer data goes on in CONTINUE records.
inline constexpr int kMaxRecordData = 8224;

// One border line of a cell: style 0 none or 1 thin; colour a palette code or
// kAutomaticColour (0 when there is no line).
struct Border
{
    uint8_t style = 0;
    uint8_t colour = 0;
};

// How a cell looks; colour codes 8..63, 0 = not set (automatic text, no fill).
struct CellFormat
{
    uint8_t fontColour = 0;
    uint8_t fillColour = 0;
    Border top;
    Border bottom;
    Border left;
    Border right;
};

bool operator<(const CellFormat &a, const CellFormat &b);

struct Cell
{
    QString text;
    CellFormat format;
};

// The one worksheet as the callers filled it.
struct Sheet
{
    // Keyed by cellKey(row, column) so iteration runs row by row, left to right.
    std::map<uint32_t, Cell> cells;
    std::map<int, uint16_t> rowHeights;   // row 0..65535 -> twips 2..8190
    std::map<int, uint16_t> columnWidths; // column 0..255 -> 1/256 of a character
};

// Map key of the cell in row 0..65535, column 0..255.
inline uint32_t cellKey(int row, int column)
{
    return uint32_t(row) << 8 | uint32_t(column);
}

// Number of distinct cell formats the sheet needs (its count of XF records beyond the
// built-in ones).
int cellFormatCount(const Sheet &sheet);

// The BIFF8 Workbook stream (globals, then the worksheet "Sheet1") for the sheet, not
// yet padded for the container.
QByteArray workbookStream(const Sheet &sheet);

// Appends an SST record (with CONTINUE records as needed) holding strings, which
// totalRefs cells refer to, and the EXTSST index that follows it. Offsets in EXTSST are
// positions in stream, so stream must be the Workbook stream from its first byte.
void appendSharedStrings(QByteArray &stream, const std::vector<QString> &strings,
                         uint32_t totalRefs);

} // namespace xlscrt
