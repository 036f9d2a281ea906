// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintJob.h"

#include "job/NumberText.h"
#include "job/ShiftJis.h"

#include <QtGlobal>

namespace corvial {

namespace {

constexpr int CircleTextBytes = 5;

// Where a numbered layout puts its number: the padded style at a fixed point, the plain
// style centred on centreX, both with the top of the text at y.
struct NumberPlace
{
    int paddedX;
    int paddedY;
    int centreX;
    int y;
};

// One label's drawing: places are layout units from the label's top-left corner.
class LabelPen
{
public:
    LabelPen(PageCanvas &canvas, int labelX, int labelY)
        : mCanvas(canvas), mX(labelX), mY(labelY), mDpiX(canvas.resolutionX()),
          mDpiY(canvas.resolutionY())
    {
    }

    void size(int points) { mCanvas.setFontSize(points); }

    // An empty text has no cell to fill and no glyphs, so it is not sent at all.
    void text(int a, int b, const QString &t)
    {
        if (!t.isEmpty())
            mCanvas.textOut(dotsFor(mX + a, mDpiX), dotsFor(mY + b, mDpiY), t);
    }

    void number(const QString &t, int numberStyle, const NumberPlace &at)
    {
        if (numberStyle == 0) {
            text(at.paddedX, at.paddedY, t);
            return;
        }
        // Centring happens in dots after the conversion so the middle of the number lands
        // on the converted centre whatever the resolution.
        mCanvas.textOut(dotsFor(mX + at.centreX, mDpiX) - mCanvas.textWidth(t) / 2,
                        dotsFor(mY + at.y, mDpiY), t);
    }

private:
    PageCanvas &mCanvas;
    int mX;
    int mY;
    int mDpiX;
    int mDpiY;
};

int sizeByLineCount(int lines, const int (&sizes)[4], int otherwise)
{
    return lines >= 1 && lines <= 4 ? sizes[lines - 1] : otherwise;
}

// Lines 0..2 of a tube-72 memo: three small lines when line 2 has text, else two, else line 0
// alone at loneX. Line 0's length sizes the text 9/8/longSize first.
void tube72Lines(LabelPen &pen, const QString &memo, int shift, int loneX, int longSize)
{
    const QString l0 = memoLine(memo, 0);
    const QString l1 = memoLine(memo, 1);
    const QString l2 = memoLine(memo, 2);
    pen.size(sizeByLength(l0, 9, 8, longSize));
    if (!l2.isEmpty()) {
        pen.size(8);
        pen.text(30 + shift, 30, l0);
        pen.text(30 + shift, 55, l1);
        pen.text(30 + shift, 80, l2);
    } else if (!l1.isEmpty()) {
        pen.text(30 + shift, 30, l0);
        pen.text(30 + shift, 60, l1);
    } else {
        pen.text(loneX + shift, 45, l0);
    }
}

// Lines 0 and 1 of a tube-95 memo: two lines when line 1 has text, else line 0 at loneX.
void tube95Lines(LabelPen &pen, const QString &memo, int shift, int loneX)
{
    const QString l0 = memoLine(memo, 0);
    const QString l1 = memoLine(memo, 1);
    if (!l1.isEmpty()) {
        pen.text(30 + shift, 30, l0);
        pen.text(30 + shift, 60, l1);
    } else {
        pen.text(loneX + shift, 45, l0);
    }
}

} // namespace

int sizeByLength(const QString &text, int shortSize, int middleSize, int longSize)
{
    const int bytes = sjisLength(text);
    if (bytes < 4)
        return shortSize;
    return bytes <= 6 ? middleSize : longSize;
}

int baseFontSize(const QString &entryText)
{
    return sjisLength(entryText) < 4 ? 10 : 9;
}

int labelNumberValue(const PrintSnapshot &job, int sheetNo, int S, int firstPos)
{
    const int perSheet = LabelsPerSheet(job.sheetType);
    const int ordinal = sheetNo <= 1
                            ? S - firstPos
                            : (sheetNo - 1) * perSheet + S - qBound(1, job.startPos, perSheet);
    // A repeat count below 1 cannot be chosen; it must not divide by zero either.
    return job.initialValue + ordinal / qMax(job.repeatCount, 1);
}

void DrawLabelContent(PageCanvas &canvas, const PrintSnapshot &job, const LabelPositions &pos,
                      int sheetNo, int S, int firstPos)
{
    if (S < 1 || S > LabelsPerSheet(job.sheetType))
        return;
    LabelPen pen(canvas, pos.labelX[S], pos.labelY[S]);
    const int shift = alignShift(job.sheetType, job.printAlign);
    const QString number =
        isNumberedType(job.sheetType)
            ? labelNumberText(labelNumberValue(job, sheetNo, S, firstPos), job.numberStyle)
            : QString();
    const QString &memo = job.sheetType == 3 || job.sheetType == 4 ? job.memo7 : job.memo3;
    const QString l0 = memoLine(memo, 0);
    const QString l1 = memoLine(memo, 1);

    switch (job.sheetType) {
    case 1: {
        const QString t = sjisLeft(job.entryText, CircleTextBytes);
        pen.text(50 - 5 * sjisLength(t), 30, t);
        // The number sits across the white centre of a ring as well as on a plain disc, so
        // it never gets an opaque cell.
        canvas.clearBrush();
        pen.number(number, job.numberStyle, {30, 60, 65, 65});
        break;
    }
    case 2:
        pen.size(sizeByLineCount(memoLineCount(memo), {12, 9, 8, 6}, baseFontSize(job.entryText)));
        pen.text(30, 30, l0);
        pen.text(30, 60, l1);
        pen.size(sizeByLength(number, 10, 8, 8));
        pen.number(number, job.numberStyle, {180, 55, 210, 55});
        break;
    case 3: {
        const int lines = memoLineCount(memo);
        pen.size(sizeByLineCount(lines, {12, 10, 9, 8}, baseFontSize(job.entryText)));
        if (lines >= 3) {
            for (int k = 0; k < 4; ++k)
                pen.text(30, 15 + 25 * k, memoLine(memo, k));
        } else if (lines == 2) {
            pen.text(30, 30, l0);
            pen.text(30, 60, l1);
        } else {
            pen.text(30, 45, l0);
        }
        break;
    }
    case 4:
        pen.size(16);
        pen.text(30, 30, l0);
        break;
    case 5:
        pen.size(sizeByLength(l0, 10, 8, 8));
        tube95Lines(pen, memo, 0, 30);
        pen.size(sizeByLength(number, 10, 8, 8));
        pen.number(number, job.numberStyle, {230, 45, 260, 45});
        break;
    case 6:
        pen.size(sizeByLength(l0, 10, 8, 6));
        tube95Lines(pen, memo, shift, 30);
        pen.size(sizeByLength(number, 10, 8, 6));
        pen.number(number, job.numberStyle, {170 + shift, 45, 200 + shift, 45});
        break;
    case 7:
        pen.size(sizeByLength(l0, 9, 8, 8));
        tube95Lines(pen, memo, shift, 170);
        break;
    case 8:
        tube72Lines(pen, memo, 0, 30, 6);
        pen.number(number, job.numberStyle, {300, 50, 340, 50});
        break;
    case 9:
        tube72Lines(pen, memo, shift, 30, 8);
        pen.size(sizeByLength(number, 10, 8, 6));
        pen.number(number, job.numberStyle, {215 + shift, 45, 245 + shift, 45});
        break;
    case 10:
        tube72Lines(pen, memo, shift, 320, 8);
        break;
    default:
        break;
    }
}

} // namespace corvial
