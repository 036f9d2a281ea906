// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/XlsCrtLibrary.h"
#include "XlsCrt3.h"

// Both declarations of the library in one unit: a signature that drifts apart from the
// library's own header is a compile error here rather than a wrong call at run time.
#include <xlscrt2.h>

namespace corvial {

// The put operations' results are not read: the library remembers the first put it
// refused, fails XlsCloseBook for it and names it through XlsFirstRefusal, so one status
// at the end covers the whole book.

static_assert(int32_t(XlsOperation::PutStr) == XLS_OP_PUT_STR);
static_assert(int32_t(XlsOperation::PutRowHeight) == XLS_OP_PUT_ROW_HEIGHT);
static_assert(int32_t(XlsOperation::PutLineTop) == XLS_OP_PUT_LINE_TOP);
static_assert(int32_t(XlsOperation::PutLineBottom) == XLS_OP_PUT_LINE_BOTTOM);
static_assert(int32_t(XlsOperation::PutLineLeft) == XLS_OP_PUT_LINE_LEFT);
static_assert(int32_t(XlsOperation::PutLineRight) == XLS_OP_PUT_LINE_RIGHT);
static_assert(int32_t(XlsOperation::PutColWidth) == XLS_OP_PUT_COL_WIDTH);
static_assert(int32_t(XlsOperation::PutFontColor) == XLS_OP_PUT_FONT_COLOR);
static_assert(int32_t(XlsOperation::PutBackColor) == XLS_OP_PUT_BACK_COLOR);

int32_t XlsCrtLibrary::XlsCreateBook(const QByteArray &path, int32_t version, int32_t sheets,
                                     int32_t *bookHandle)
{
    return ::XlsCreateBook(path.constData(), version, sheets, bookHandle);
}

int32_t XlsCrtLibrary::POS2(int32_t c1, int32_t r1, int32_t c2, int32_t r2)
{
    return ::POS2(c1, r1, c2, r2);
}

int32_t XlsCrtLibrary::POS(int32_t c1, int32_t r1, int32_t c2, int32_t r2)
{
    return ::POS(c1, r1, c2, r2);
}

void XlsCrtLibrary::XlsPutStr(const QByteArray &sjisText, int32_t cell)
{
    ::XlsPutStr(sjisText.constData(), cell);
}

void XlsCrtLibrary::XlsPutRowHeight(double height, int32_t cell)
{
    ::XlsPutRowHeight(height, cell);
}

void XlsCrtLibrary::XlsPutLineTop(int32_t line, int32_t cell)
{
    ::XlsPutLineTop(line, cell);
}

void XlsCrtLibrary::XlsPutLineBottom(int32_t line, int32_t cell)
{
    ::XlsPutLineBottom(line, cell);
}

void XlsCrtLibrary::XlsPutLineLeft(int32_t line, int32_t cell)
{
    ::XlsPutLineLeft(line, cell);
}

void XlsCrtLibrary::XlsPutLineRight(int32_t line, int32_t cell)
{
    ::XlsPutLineRight(line, cell);
}

void XlsCrtLibrary::XlsPutColWidth(int32_t width, int32_t cell)
{
    ::XlsPutColWidth(width, cell);
}

void XlsCrtLibrary::XlsPutFontColor(int32_t code, int32_t cell)
{
    ::XlsPutFontColor(code, cell);
}

void XlsCrtLibrary::XlsPutBackColor(int32_t code, int32_t cell)
{
    ::XlsPutBackColor(code, cell);
}

int32_t XlsCrtLibrary::XlsCloseBook(int32_t mode)
{
    return ::XlsCloseBook(mode);
}

int32_t XlsCrtLibrary::XlsFirstRefusal(int32_t *operation, int32_t *column, int32_t *row)
{
    return ::XlsFirstRefusal(operation, column, row);
}

} // namespace corvial
