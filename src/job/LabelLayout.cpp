// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/LabelLayout.h"

#include "job/SheetTypes.h"
#include "job/ShiftJis.h"
#include "job/TextLimits.h"

namespace corvial {

namespace {

using L = LineChoice;
using S = TextSizeRule;

// clang-format off
const LabelLayout kLayouts[SheetTypeCount] = {
    // type, lines,     n, x, lone x, lone y, text size,       sizes,    3 lines, number (padded x, y, centre x, y), number sizes
    {1,  L::CircleEntry,   0, 0,  0,   30, S::Keep,        {0, 0, 0, 0},   0, {30, 60, 65, 65},   {0, 0, 0}},
    {2,  L::Fixed,         2, 30, 30,  45, S::ByLineCount, {12, 9, 8, 6},  0, {180, 55, 210, 55}, {10, 8, 8}},
    {3,  L::ByLineCount,   4, 30, 30,  45, S::ByLineCount, {12, 10, 9, 8}, 0, {0, 0, 0, 0},       {0, 0, 0}},
    {4,  L::Fixed,         1, 30, 30,  30, S::Fixed,       {16, 0, 0, 0},  0, {0, 0, 0, 0},       {0, 0, 0}},
    {5,  L::ByFilledLines, 2, 30, 30,  45, S::ByFirstLine, {10, 8, 8, 0},  0, {230, 45, 260, 45}, {10, 8, 8}},
    {6,  L::ByFilledLines, 2, 30, 30,  45, S::ByFirstLine, {10, 8, 6, 0},  0, {170, 45, 200, 45}, {10, 8, 6}},
    {7,  L::ByFilledLines, 2, 30, 170, 45, S::ByFirstLine, {9, 8, 8, 0},   0, {0, 0, 0, 0},       {0, 0, 0}},
    {8,  L::ByFilledLines, 3, 30, 30,  45, S::ByFirstLine, {9, 8, 6, 0},   8, {300, 50, 340, 50}, {0, 0, 0}},
    {9,  L::ByFilledLines, 3, 30, 30,  45, S::ByFirstLine, {9, 8, 8, 0},   8, {215, 45, 245, 45}, {10, 8, 6}},
    {10, L::ByFilledLines, 3, 30, 320, 45, S::ByFirstLine, {9, 8, 8, 0},   8, {0, 0, 0, 0},       {0, 0, 0}},
};
// clang-format on

// Tops of the lines when two, three or four are placed (one line uses the layout's loneY).
const int kLineTops[5][4] = {{}, {}, {30, 60}, {30, 55, 80}, {15, 40, 65, 90}};

int textSize(const LabelLayout &l, const QString &memo, const QString &entryText)
{
    switch (l.textSize) {
    case S::Keep:
        return 0;
    case S::Fixed:
        return l.sizes[0];
    case S::ByLineCount: {
        const int lines = memoLineCount(memo);
        return lines >= 1 && lines <= 4 ? l.sizes[lines - 1] : baseFontSize(entryText);
    }
    case S::ByFirstLine:
        return sizeByLength(memoLine(memo, 0), l.sizes[0], l.sizes[1], l.sizes[2]);
    }
    return 0;
}

} // namespace

const LabelLayout &labelLayout(int sheetType)
{
    return kLayouts[isValidSheetType(sheetType) ? sheetType - 1 : 0];
}

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

int circleTextX(const QString &t)
{
    // Five layout units per byte to the left of the middle of the text's cell.
    return 50 - 5 * sjisLength(t);
}

int placedLineCount(const LabelLayout &layout, const QString &memo)
{
    switch (layout.lines) {
    case L::CircleEntry:
        return 1;
    case L::Fixed:
        return layout.fixedLines;
    case L::ByLineCount: {
        const int lines = memoLineCount(memo);
        return lines >= 3 ? 4 : lines == 2 ? 2 : 1;
    }
    case L::ByFilledLines:
        for (int k = layout.fixedLines; k > 1; --k) {
            if (!memoLine(memo, k - 1).isEmpty())
                return k;
        }
        return 1;
    }
    return 1;
}

QVector<LabelStep> labelSteps(int sheetType, const LabelTexts &texts)
{
    QVector<LabelStep> steps;
    if (!isValidSheetType(sheetType))
        return steps;
    const LabelLayout &l = labelLayout(sheetType);
    const auto add = [&steps](const LabelStep &step) {
        if (step.points > 0 || step.clearBrush || !step.text.isEmpty())
            steps.append(step);
    };

    if (l.lines == L::CircleEntry) {
        const QString t = sjisLeft(texts.entryText, Edit2MaxBytes);
        add({0, false, t, circleTextX(t), l.loneY, false});
    } else {
        const int placed = placedLineCount(l, texts.memo);
        int points = textSize(l, texts.memo, texts.entryText);
        if (placed == 3 && l.threeLineSize > 0)
            points = l.threeLineSize;
        add({points, false, QString(), 0, 0, false});
        for (int k = 0; k < placed; ++k) {
            const bool lone = placed == 1;
            add({0, false, memoLine(texts.memo, k), (lone ? l.loneX : l.x) + texts.shift,
                 lone ? l.loneY : kLineTops[placed][k], false});
        }
    }

    if (texts.number.isEmpty())
        return steps;
    // The number of a round label sits across the white centre of a ring as well as on a
    // plain disc, so it never gets an opaque cell.
    if (isCircleType(sheetType))
        add({0, true, QString(), 0, 0, false});
    if (l.numberSizes[0] > 0)
        add({sizeByLength(texts.number, l.numberSizes[0], l.numberSizes[1], l.numberSizes[2]),
             false, QString(), 0, 0, false});
    if (texts.numberStyle == NumberStyle::Padded)
        add({0, false, texts.number, l.number.paddedX + texts.shift, l.number.paddedY, false});
    else
        add({0, false, texts.number, l.number.centreX + texts.shift, l.number.y, true});
    return steps;
}

} // namespace corvial
