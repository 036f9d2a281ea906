// SPDX-License-Identifier: GPL-3.0-or-later
#include "SheetPicture.h"

#include "Controls.h"
#include "job/Colours.h"
#include "job/SheetTypes.h"
#include "preview/PreviewRules.h"

namespace corvial {

namespace {

// Name of the cell of label position i of family f, as the sheet pictures have always named
// them; the widget tests find the print screen's cells by these names.
QString previewCellName(int f, int i)
{
    switch (f) {
    case 1:
        return QStringLiteral("Shape%1").arg(200 + i);
    case 2:
        return i == 27 ? QStringLiteral("rect27")
                       : QStringLiteral("Rect%1").arg(i, 2, 10, QLatin1Char('0'));
    case 3:
        return QStringLiteral("Shape%1").arg(97 + i);
    default:
        return QStringLiteral("Shape%1").arg(i <= 8 ? 192 + i : 343 + i);
    }
}

} // namespace

QVector<ShapeCell *> buildSheetCells(QWidget *panel, int f)
{
    const FamilyInfo &info = familyInfo(f);
    const ShapeCell::Kind kind =
        info.shape == LabelShape::Ellipse ? ShapeCell::Kind::Circle : ShapeCell::Kind::Rectangle;
    QVector<ShapeCell *> cells(info.labels + 1, nullptr);
    for (int i = 1; i <= info.labels; ++i) {
        auto *s = new ShapeCell(kind, panel);
        s->setObjectName(previewCellName(f, i));
        s->setGeometry(previewCellRect(info, i));
        cells[i] = s;
    }
    return cells;
}

void paintSheetCells(const QVector<ShapeCell *> &cells, int f, int labels, int startPos,
                     int sheetCount, int sheet)
{
    const QVector<CellColour> colours =
        previewCells(familyInfo(f), labels, startPos, sheetCount, sheet);
    for (int i = 1; i < cells.size() && i <= colours.size(); ++i)
        cells[i]->setFillColour(toQColor(cellColourValue(colours[i - 1])));
}

SheetPicture::SheetPicture(int f, const QSize &panelSize, const QRect &surfaceRect, QWidget *parent)
    : QFrame(parent), mFamily(f)
{
    setFixedSize(panelSize);
    mCells = buildSheetCells(this, f);
    // Over the cells, as on the print screen, so that it gets every pointer event.
    mSurface = new ClickSurface(this);
    mSurface->setObjectName(QStringLiteral("pictureSurface"));
    mSurface->setGeometry(surfaceRect);
    mSurface->raise();
    connect(mSurface, &ClickSurface::mouseMoved, this, [this](int x, int y) {
        mX = x;
        mY = y;
    });
    connect(mSurface, &ClickSurface::clicked, this, &SheetPicture::clickedAt);
}

void SheetPicture::setJob(int labels, int startPos)
{
    mLabels = labels;
    mStartPos = startPos;
    recount();
}

void SheetPicture::showSheet(int sheet)
{
    mSheet = qBound(1, sheet, mSheetCount);
    paintSheetCells(mCells, mFamily, mLabels, mStartPos, mSheetCount, mSheet);
}

void SheetPicture::clickedAt()
{
    // The start lies on the first sheet; a later one only shows where the labels go.
    if (mSheet != 1)
        return;
    const int position = hitPosition(familyInfo(mFamily), mX, mY);
    if (position == 0)
        return;
    mStartPos = position;
    recount();
    emit startChanged(position);
}

void SheetPicture::recount()
{
    mSheetCount = sheetCountFor(familyInfo(mFamily), mLabels, mStartPos);
    showSheet(1);
}

} // namespace corvial
