// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <QRect>
#include <QSize>
#include <QVector>

namespace corvial {

class ClickSurface;
class ShapeCell;

// Makes the cells of family f's (1..4) sheet picture on panel, placed and named as the print
// screen has always placed and named them; element i (1-based) is label position i, element
// 0 is null. The panel owns them.
QVector<ShapeCell *> buildSheetCells(QWidget *panel, int f);
// Colours cells (as buildSheetCells made them) for sheet 1..sheetCount of a job of labels
// labels of family f starting at label startPos: grey before the start, red printed.
void paintSheetCells(const QVector<ShapeCell *> &cells, int f, int labels, int startPos,
                     int sheetCount, int sheet);

// A family's sheet picture on a panel of its own, for choosing where a job starts away from
// the print screen: the print screen's cells, colours and click rule, showing the first sheet
// of a job. A click on a label position makes it the start.
class SheetPicture : public QFrame
{
    Q_OBJECT

public:
    // f: 1..4. panelSize and surfaceRect: the print screen's preview panel of the family and
    // its click surface within it, so that the bands of the click rule fall on the cells.
    SheetPicture(int f, const QSize &panelSize, const QRect &surfaceRect,
                 QWidget *parent = nullptr);

    // Shows the first sheet of a job of labels labels (1..) starting at label startPos
    // (1..P of the family).
    void setJob(int labels, int startPos);
    // Shows sheet 1..sheetCount() of the job; a click moves the start on the first only.
    void showSheet(int sheet);
    int startPos() const { return mStartPos; }
    // Sheets the job spans from its start position, counted as the print screen counts them.
    int sheetCount() const { return mSheetCount; }
    // The click surface, for whoever drives the picture by pointer (the widget tests).
    ClickSurface *surface() const { return mSurface; }
    // Cell of label position 1..P.
    ShapeCell *cell(int position) const { return mCells.value(position); }

signals:
    // The start moved to position by a click.
    void startChanged(int position);

private:
    void clickedAt();
    void recount();

    int mFamily;
    QVector<ShapeCell *> mCells;
    ClickSurface *mSurface;
    int mLabels = 1;
    int mStartPos = 1;
    int mSheetCount = 1;
    int mSheet = 1;
    int mX = 0;
    int mY = 0;
};

} // namespace corvial
