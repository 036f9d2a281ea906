// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/XlsApi.h"

namespace corvial {

// The real library: every operation forwards to the C function of the same name.
class XlsCrtLibrary : public XlsApi
{
public:
    int32_t XlsCreateBook(const QByteArray &path, int32_t version, int32_t sheets,
                          int32_t *bookHandle) override;
    int32_t POS2(int32_t c1, int32_t r1, int32_t c2, int32_t r2) override;
    int32_t POS(int32_t c1, int32_t r1, int32_t c2, int32_t r2) override;
    void XlsPutStr(const QByteArray &sjisText, int32_t cell) override;
    void XlsPutRowHeight(double height, int32_t cell) override;
    void XlsPutLineTop(int32_t line, int32_t cell) override;
    void XlsPutLineBottom(int32_t line, int32_t cell) override;
    void XlsPutLineLeft(int32_t line, int32_t cell) override;
    void XlsPutLineRight(int32_t line, int32_t cell) override;
    void XlsPutColWidth(int32_t width, int32_t cell) override;
    void XlsPutFontColor(int32_t code, int32_t cell) override;
    void XlsPutBackColor(int32_t code, int32_t cell) override;
    int32_t XlsCloseBook(int32_t mode) override;
    int32_t XlsFirstRefusal(int32_t *operation, int32_t *column, int32_t *row) override;
};

} // namespace corvial
