// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "barcode/DataMatrix.h"

#include <QByteArray>
#include <QWidget>

namespace corvial {

// The proof label's picture of a 2-D code: the symbol of the data, as large as whole
// pixels per module allow, on a white square with its quiet zone.
class CodeView : public QWidget
{
public:
    explicit CodeView(QWidget *parent = nullptr);

    // Encodes data and repaints; data that cannot be encoded shows an empty white square.
    void setData(const QByteArray &data);
    QByteArray data() const { return mData; }
    const DataMatrixSymbol &symbol() const { return mSymbol; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QByteArray mData;
    DataMatrixSymbol mSymbol;
};

} // namespace corvial
