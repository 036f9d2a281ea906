/* SPDX-License-Identifier: GPL-3.0-or-later */
/* xlscrt: a small writer of Excel 97-2003 workbooks (BIFF8 in an OLE2 compound file),
 * one worksheet, with the thirteen operations label programs call to fill it.
 *
 * One workbook is open at a time. Texts are NUL-terminated Shift-JIS (windows-31j)
 * byte strings and are stored as Unicode; the path is in the file system's own
 * encoding (UTF-8 on Linux). Nothing reaches the disk before XlsCloseBook, which writes
 * a temporary file beside the target and renames it over the target, so an existing
 * file is only ever replaced by a complete workbook. */
#ifndef XLSCRT2_H
#define XLSCRT2_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Starts a new workbook to be written to path at XlsCloseBook. version and sheets are
 * accepted as the callers pass them (2002, 3); one worksheet is written. Stores a
 * non-zero handle in *bookHandle when bookHandle is not NULL. Returns 0, or an errno
 * value (EINVAL for a NULL path, EBUSY when a book is already open). */
int32_t XlsCreateBook(const char *path, int32_t version, int32_t sheets, int32_t *bookHandle);

/* Reference to the cell range (firstCol, firstRow)..(lastCol, lastRow), 0-based; callers
 * pass one cell twice. POS and POS2 return the same reference for the same cell. */
int32_t POS2(int32_t firstCol, int32_t firstRow, int32_t lastCol, int32_t lastRow);
int32_t POS(int32_t firstCol, int32_t firstRow, int32_t lastCol, int32_t lastRow);

/* Cell contents and formats. Each returns 0, or EINVAL for a bad reference or when no
 * book is open. */
int32_t XlsPutStr(const char *text, int32_t cell);          /* Shift-JIS text */
int32_t XlsPutRowHeight(double points, int32_t cell);       /* height of the cell's row */
int32_t XlsPutLineTop(int32_t line, int32_t cell);          /* line: kind << 24 | colour */
int32_t XlsPutLineBottom(int32_t line, int32_t cell);
int32_t XlsPutLineLeft(int32_t line, int32_t cell);
int32_t XlsPutLineRight(int32_t line, int32_t cell);
int32_t XlsPutColWidth(int32_t characters, int32_t cell);   /* width of the cell's column */
int32_t XlsPutFontColor(int32_t colourCode, int32_t cell);  /* palette code 8..63 */
int32_t XlsPutBackColor(int32_t colourCode, int32_t cell);  /* palette code 8..63, solid */

/* Finishes the open workbook and writes it (mode is accepted as callers pass it, 1).
 * Returns 0 when the file was written, otherwise the errno value of the failing system
 * call (the target is then left as it was), or EINVAL when no book is open. The book is
 * closed in either case. */
int32_t XlsCloseBook(int32_t mode);

#ifdef __cplusplus
}
#endif

#endif
