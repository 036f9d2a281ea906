// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstdint>

namespace corvial {

// The put operations as the workbook library numbers them when it names a refused one.
enum class XlsOperation : int32_t {
    None = 0,
    PutStr = 1,
    PutRowHeight = 2,
    PutLineTop = 3,
    PutLineBottom = 4,
    PutLineLeft = 5,
    PutLineRight = 6,
    PutColWidth = 7,
    PutFontColor = 8,
    PutBackColor = 9,
};

// The workbook library's thirteen operations and its refusal query, in its own names and
// argument orders, as one interface: the export talks only to this, so a test can record every call
// the program makes. Columns and rows are 0-based; a cell reference is what POS2 or POS returned.
class XlsApi
{
public:
    virtual ~XlsApi() = default;

    // path in the file system's encoding; version 2002, sheets 3; returns 0 or an errno value.
    virtual int32_t XlsCreateBook(const QByteArray &path, int32_t version, int32_t sheets,
                                  int32_t *bookHandle) = 0;
    // Reference to the range (c1, r1)..(c2, r2); the program passes one cell twice.
    virtual int32_t POS2(int32_t c1, int32_t r1, int32_t c2, int32_t r2) = 0;
    // The same as POS2; the program uses it for a single border line.
    virtual int32_t POS(int32_t c1, int32_t r1, int32_t c2, int32_t r2) = 0;
    // Shift-JIS text (CR LF line breaks) into the cell.
    virtual void XlsPutStr(const QByteArray &sjisText, int32_t cell) = 0;
    // Height of the cell's row, in points.
    virtual void XlsPutRowHeight(double height, int32_t cell) = 0;
    // Border line of one side of the cell: kind << 24 | palette code.
    virtual void XlsPutLineTop(int32_t line, int32_t cell) = 0;
    virtual void XlsPutLineBottom(int32_t line, int32_t cell) = 0;
    virtual void XlsPutLineLeft(int32_t line, int32_t cell) = 0;
    virtual void XlsPutLineRight(int32_t line, int32_t cell) = 0;
    // Width of the cell's column, in characters.
    virtual void XlsPutColWidth(int32_t width, int32_t cell) = 0;
    // Palette code (8..63) of the cell's text.
    virtual void XlsPutFontColor(int32_t code, int32_t cell) = 0;
    // Palette code (8..63) of the cell's solid fill.
    virtual void XlsPutBackColor(int32_t code, int32_t cell) = 0;
    // Finishes and writes the book (mode 1); returns 0 when written, otherwise an errno value
    // (a book with a refused put is not written).
    virtual int32_t XlsCloseBook(int32_t mode) = 0;
    // The first refused put of the open or last closed book: returns its errno value (0 when
    // none) and stores its XlsOperation code and the cell's 0-based column and row (-1 when
    // unknown) where the pointers are not null.
    virtual int32_t XlsFirstRefusal(int32_t *operation, int32_t *column, int32_t *row) = 0;
};

} // namespace corvial
