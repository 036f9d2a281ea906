// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace corvial {

// A block of dark modules of a symbol: columns x .. x + width - 1, rows y .. y + height - 1,
// counted in modules from the symbol's top-left corner (the quiet zone is not part of it).
struct ModuleRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ModuleRect &o) const
    {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// One square ECC 200 DataMatrix: its side in modules and its dark modules as rectangles.
struct DataMatrixSymbol
{
    int modules = 0;          // 10, 12, 14, ...; 0 when encoding failed
    QVector<ModuleRect> dark; // together they cover exactly the dark modules
    QString error;            // why encoding failed (Japanese), empty on success

    bool isValid() const { return modules > 0 && error.isEmpty(); }
};

// Encodes printable ASCII data as the smallest square DataMatrix that holds it. Anything
// else (a non-ASCII or control character, empty data, data too long for any square size)
// gives a symbol with modules 0 and an error text naming the data.
DataMatrixSymbol encodeDataMatrix(const QByteArray &data);

// Data codewords of the square ECC 200 symbol of `modules` modules a side; 0 for a size
// that is not a square ECC 200 size.
int squareDataCodewords(int modules);
// The largest square ECC 200 size of at most `modules` modules a side; 0 when even the
// smallest (10) is larger.
int largestSquareSymbol(int modules);

} // namespace corvial
