// SPDX-License-Identifier: GPL-3.0-or-later
#include "barcode/DataMatrix.h"

#include <zint.h>

#include <cmath>
#include <memory>

namespace corvial {

namespace {

// Square ECC 200 sizes (modules a side) and their data codewords, from the symbology's
// table of symbol attributes.
struct SquareSize
{
    int modules;
    int dataCodewords;
};
const SquareSize kSquareSizes[] = {
    {10, 3},   {12, 5},   {14, 8},   {16, 12},  {18, 18},   {20, 22},    {22, 30},    {24, 36},
    {26, 44},  {32, 62},  {36, 86},  {40, 114}, {44, 144},  {48, 174},   {52, 204},   {64, 280},
    {72, 368}, {80, 456}, {88, 576}, {96, 696}, {104, 816}, {120, 1050}, {132, 1304}, {144, 1558},
};

struct SymbolDeleter
{
    void operator()(zint_symbol *s) const { ZBarcode_Delete(s); }
};

DataMatrixSymbol failed(const QString &why)
{
    DataMatrixSymbol s;
    s.error = why;
    return s;
}

} // namespace

int squareDataCodewords(int modules)
{
    for (const SquareSize &s : kSquareSizes) {
        if (s.modules == modules)
            return s.dataCodewords;
    }
    return 0;
}

int largestSquareSymbol(int modules)
{
    int best = 0;
    for (const SquareSize &s : kSquareSizes) {
        if (s.modules <= modules)
            best = s.modules;
    }
    return best;
}

DataMatrixSymbol encodeDataMatrix(const QByteArray &data)
{
    if (data.isEmpty())
        return failed(QStringLiteral("2次元コードにする文字がありません。"));
    for (const char c : data) {
        // Printable ASCII only: anything else would need an ECI and a larger symbol, and
        // a control character cannot be read back from the label by a person.
        if (c < 0x20 || c > 0x7E)
            return failed(
                QStringLiteral("「%1」は2次元コードにできません。ASCII の文字だけが使えます。")
                    .arg(QString::fromLatin1(data)));
    }

    const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol)
        return failed(QStringLiteral("2次元コードを作るメモリがありません。"));
    symbol->symbology = BARCODE_DATAMATRIX;
    symbol->input_mode = DATA_MODE;
    symbol->option_3 = DM_SQUARE;
    int rc = ZBarcode_Encode(
        symbol.get(), reinterpret_cast<const unsigned char *>(data.constData()), int(data.size()));
    if (rc < ZINT_ERROR)
        rc = ZBarcode_Buffer_Vector(symbol.get(), 0);
    if (rc >= ZINT_ERROR || !symbol->vector || symbol->width <= 0 || symbol->width != symbol->rows)
        return failed(QStringLiteral("「%1」を2次元コードにできませんでした。%2")
                          .arg(QString::fromLatin1(data), QString::fromLatin1(symbol->errtxt)));

    // The vector output gives the dark modules in its own scale, already merged into
    // rectangles; bring them back to whole modules so that the caller can place them on
    // whole printer dots.
    DataMatrixSymbol out;
    out.modules = symbol->width;
    const double unit = double(symbol->vector->width) / symbol->width;
    int count = 0;
    for (const zint_vector_rect *r = symbol->vector->rectangles; r; r = r->next)
        ++count;
    out.dark.reserve(count);
    for (const zint_vector_rect *r = symbol->vector->rectangles; r; r = r->next) {
        ModuleRect m;
        m.x = int(std::lround(r->x / unit));
        m.y = int(std::lround(r->y / unit));
        m.width = int(std::lround(r->width / unit));
        m.height = int(std::lround(r->height / unit));
        if (m.width > 0 && m.height > 0)
            out.dark.append(m);
    }
    return out;
}

} // namespace corvial
