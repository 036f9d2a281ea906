// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The workbook library's thirteen operations, and the query that names a refused put, as
// this program imports them. The program
// keeps its own copy of the declarations so that it depends on the calls it makes, not on
// whatever else the library's header may grow; XlsCrtLibrary.cpp includes both headers so
// the compiler refuses a build in which the two disagree.

#include <cstdint>

extern "C" {

// path: NUL-terminated, file system encoding; returns 0 or an errno value.
int32_t XlsCreateBook(const char *path, int32_t version, int32_t sheets, int32_t *bookHandle);
// Reference to the cell range (c1, r1)..(c2, r2), 0-based.
int32_t POS2(int32_t firstCol, int32_t firstRow, int32_t lastCol, int32_t lastRow);
int32_t POS(int32_t firstCol, int32_t firstRow, int32_t lastCol, int32_t lastRow);
// text: NUL-terminated Shift-JIS.
int32_t XlsPutStr(const char *text, int32_t cell);
int32_t XlsPutRowHeight(double points, int32_t cell);
// line: kind << 24 | palette code.
int32_t XlsPutLineTop(int32_t line, int32_t cell);
int32_t XlsPutLineBottom(int32_t line, int32_t cell);
int32_t XlsPutLineLeft(int32_t line, int32_t cell);
int32_t XlsPutLineRight(int32_t line, int32_t cell);
int32_t XlsPutColWidth(int32_t characters, int32_t cell);
int32_t XlsPutFontColor(int32_t colourCode, int32_t cell);
int32_t XlsPutBackColor(int32_t colourCode, int32_t cell);
// Writes the open book; returns 0 or an errno value.
int32_t XlsCloseBook(int32_t mode);
// The first refused put: returns its errno value or 0; stores operation, column and row.
int32_t XlsFirstRefusal(int32_t *operation, int32_t *column, int32_t *row);

} // extern "C"
