// SPDX-License-Identifier: GPL-3.0-or-later
#include "CodeView.h"

#include "barcode/CodeRules.h"

#include <QPainter>

namespace corvial {

CodeView::CodeView(QWidget *parent) : QWidget(parent) {}

void CodeView::setData(const QByteArray &data)
{
    if (data == mData && mSymbol.isValid())
        return;
    mData = data;
    mSymbol = encodeDataMatrix(data);
    update();
}

void CodeView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!mSymbol.isValid())
        return;
    const int span = mSymbol.modules + 2 * QuietZoneModules;
    const int module = qMax(1, qMin(width(), height()) / span);
    const int x0 = (width() - span * module) / 2 + QuietZoneModules * module;
    const int y0 = (height() - span * module) / 2 + QuietZoneModules * module;
    for (const ModuleRect &m : mSymbol.dark)
        p.fillRect(x0 + m.x * module, y0 + m.y * module, m.width * module, m.height * module,
                   Qt::black);
}

} // namespace corvial
