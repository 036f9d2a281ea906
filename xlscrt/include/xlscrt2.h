/* SPDX-License-Identifier: GPL-3.0-or-later */
/* xlscrt: a small writer of Excel 97-2003 workbooks (BIFF8 in an OLE2 compound file),
 * one worksheet, with the thirteen operations label programs call to fill it.
 *
 * One workbook is open at a time. Texts are NUL-terminated Shift-JIS (windows-31j)
 * byte strings and are stored as Unicode; the path is in the file system's own
 * encoding (UTF-8 on Linux). Nothing reaches the disk before XlsCloseBook, which writes
 * a temporary file beside the target and renames it over the target, so an existing
 * file is only ever replaced by a complete workbook; only a regular file (or a link to
 * one, whose target is replaced) is ever replaced, and no temporary file is left behind. A book in which any put was refused
 * is not written at all: XlsCloseBook fails, and XlsFirstRefusal says which put it was. */
#ifndef XLSCRT2_H
#define XLSCRT2_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Starts a new workbook to be written to path at XlsCloseBook and forgets the refusal
 * of the book before. version and sheets are accepted as the callers pass them (2002, 3);
 * one worksheet is written. Stores a non-zero handle in *bookHandle when bookHandle is
 * not NULL. Returns 0, or an errno value (EINVAL for a NULL or empty path, EBUSY when a
 * book is already open). */
int32_t XlsCreateBook(const char *path, int32_t version, int32_t sheets, int32_t *bookHandle);

/* Reference to the cell range (firstCol, firstRow)..(lastCol, lastRow), 0-based; callers
 * pass one cell twice. POS and POS2 return the same reference for the same cell:
 * 0x01000000 | row << 8 | column, for column 0..255 and row 0..65535. A range of more
 * than one cell, or a cell outside the sheet, gives -1, which every operation refuses. */
int32_t POS2(int32_t firstCol, int32_t firstRow, int32_t lastCol, int32_t lastRow);
int32_t POS(int32_t firstCol, int32_t firstRow, int32_t lastCol, int32_t lastRow);

/* Cell contents and formats. Each returns 0, or EINVAL for a bad reference, a value out
 * of its range or when no book is open (nothing is changed then), or ENOMEM when memory
 * runs out. A later call for the same cell and property replaces the earlier value.
 * While a book is open, the first refused put is remembered and fails XlsCloseBook. */

/* Shift-JIS text of at most 32767 UTF-16 units, CR LF kept as a line break (the cell then
 * wraps); "" leaves the cell empty. EMSGSIZE for a longer text, ENOTSUP when no
 * Shift-JIS decoder is available. */
int32_t XlsPutStr(const char *text, int32_t cell);
/* Height of the cell's row, 0..409.5 points, kept in whole twips (at least 2). */
int32_t XlsPutRowHeight(double points, int32_t cell);
/* A border line on one side of the cell. The kind is in the top byte: 1 = grid line
 * (thin, automatic colour), 2 = frame line (thin, in the palette code 8..63 held in the
 * low 8 bits; other codes are refused). Any other kind removes the line from that side. */
int32_t XlsPutLineTop(int32_t line, int32_t cell);
int32_t XlsPutLineBottom(int32_t line, int32_t cell);
int32_t XlsPutLineLeft(int32_t line, int32_t cell);
int32_t XlsPutLineRight(int32_t line, int32_t cell);
/* Width of the cell's column in characters, 0 or more (0 is kept as it is); a width over
 * 255, the widest column the format has, is kept as 255. */
int32_t XlsPutColWidth(int32_t characters, int32_t cell);
/* Text colour of the cell, palette code 8..63. */
int32_t XlsPutFontColor(int32_t colourCode, int32_t cell);
/* Solid fill of the cell, palette code 8..63 (code 30 is sky blue 166,202,240). */
int32_t XlsPutBackColor(int32_t colourCode, int32_t cell);

/* Finishes the open workbook and writes it (mode is accepted as callers pass it, 1).
 * Returns 0 when the file was written, otherwise: the status of the first refused put
 * (nothing is written then; see XlsFirstRefusal), the errno value of the failing system
 * call (the target is then left as it was and the temporary file removed), ERANGE when
 * the cells need more than 4000 distinct formats, EFBIG when the workbook would exceed
 * 2 GB, ENOMEM when memory runs out, or EINVAL when no book is open. The book is closed
 * in every case. A new file gets the rights 0666 less the umask; a replaced file keeps
 * its rights. A symbolic link at path is replaced, not followed. */
int32_t XlsCloseBook(int32_t mode);

/* Operations XlsFirstRefusal names. */
enum {
    XLS_OP_PUT_STR = 1,
    XLS_OP_PUT_ROW_HEIGHT = 2,
    XLS_OP_PUT_LINE_TOP = 3,
    XLS_OP_PUT_LINE_BOTTOM = 4,
    XLS_OP_PUT_LINE_LEFT = 5,
    XLS_OP_PUT_LINE_RIGHT = 6,
    XLS_OP_PUT_COL_WIDTH = 7,
    XLS_OP_PUT_FONT_COLOR = 8,
    XLS_OP_PUT_BACK_COLOR = 9
};

/* The first put refused in the open book, or in the last closed one until the next
 * XlsCreateBook. Returns the status that put returned, or 0 when every put was accepted.
 * Stores, where the pointer is not NULL, the operation (XLS_OP_..., 0 when none) and the
 * cell's 0-based column and row (-1 when none, or when the reference named no cell). */
int32_t XlsFirstRefusal(int32_t *operation, int32_t *column, int32_t *row);

#ifdef __cplusplus
}
#endif

#endif
