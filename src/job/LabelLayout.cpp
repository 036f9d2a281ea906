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

// Labels with a 2-D code. The code sits 15 units (1.5 mm) in from the box's left edge: the
// box is drawn a little larger than the paper label so that a background colour reaches
// its edges, and the code must lie on the paper. Its square holds the largest symbol the
// type allows with its quiet zone at 1/75 inch a module: 54 units take a 14 x 14 symbol (16
// modules with the quiet zone), 60 units a 16 x 16 (18 modules). The texts start 5 units
// right of the square; the number keeps its place. Where the narrower text box would let a
// line at full length run into the number, its size steps down: a half-width character is
// about half an em wide, so a line of n bytes at p points takes about n * p / 2 points.
//   type 2: 105 units for 7 bytes: 8 points for one line (was 12), 6 for two (was 9).
//   type 5: 150 units for 12 bytes: 6 points from 7 bytes on (was 8).
//   type 6: 95 units for 10 bytes: 5 points from 7 bytes on (was 6).
//   type 8: 220 units for 15 bytes: the sizes of the label without a code still fit.
//   type 9: 135 units for 12 bytes: 6 points from 7 bytes on and for three lines (was 8).
// The round labels of type 1 get no code. The paper circle is 11 mm across (5.5 mm radius)
// and carries a text of up to 5 bytes and a four-digit number, today at 9 or 10 points.
// The module is 0.339 mm at 300 and 600 dpi (see barcode/CodeRules.h), so with its quiet
// zone a 10 x 10 symbol is 4.06 mm square and a 12 x 12 one 4.74 mm. Even with text and
// number shrunk to 6 points (cells about 5.3 x 2.5 mm for 5 bytes, 4.7 x 2.5 mm for the
// number):
//   - text, 12 x 12 code and number stacked are 9.74 mm high; the text cell's corners lie
//     5.54 mm from the centre, off the label;
//   - 12 x 12 code beside the number (0.5 mm apart) is 9.94 x 4.74 mm; its corners lie
//     5.49 mm out, on the very edge, and the text has no place left;
//   - the 10 x 10 code beside the number leaves 0.44 mm to the edge, less than one 0.5 mm
//     step of the printer offset, again without the text, and holds a prefix of one
//     character only.
// So the round labels show neither the check box nor the prefix.
// clang-format off
const CodeLayout kCodeLayouts[] = {
    // code (left, side), then the label's texts as in kLayouts
    {{15, 54}, {2, L::Fixed,         2, 75, 75, 45, S::ByLineCount, {8, 6, 5, 4},  0, {180, 55, 210, 55}, {10, 8, 8}}},
    {{15, 60}, {5, L::ByFilledLines, 2, 80, 80, 45, S::ByFirstLine, {10, 8, 6, 0}, 0, {230, 45, 260, 45}, {10, 8, 8}}},
    {{15, 54}, {6, L::ByFilledLines, 2, 75, 75, 45, S::ByFirstLine, {10, 8, 5, 0}, 0, {170, 45, 200, 45}, {10, 8, 6}}},
    {{15, 60}, {8, L::ByFilledLines, 3, 80, 80, 45, S::ByFirstLine, {9, 8, 6, 0},  8, {300, 50, 340, 50}, {0, 0, 0}}},
    {{15, 60}, {9, L::ByFilledLines, 3, 80, 80, 45, S::ByFirstLine, {9, 8, 6, 0},  6, {215, 45, 245, 45}, {10, 8, 6}}},
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

const LabelLayout &labelLayout(SheetType sheetType)
{
    return kLayouts[sheetType.code() - 1];
}

const CodeLayout *codeLayout(SheetType sheetType)
{
    for (const CodeLayout &row : kCodeLayouts) {
        if (row.texts.sheetType == sheetType.code())
            return &row;
    }
    return nullptr;
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

QVector<LabelStep> labelSteps(SheetType sheetType, const LabelTexts &texts)
{
    return labelSteps(labelLayout(sheetType), texts);
}

QVector<LabelStep> labelSteps(const LabelLayout &l, const LabelTexts &texts)
{
    QVector<LabelStep> steps;
    const int sheetType = l.sheetType;
    const auto add = [&steps](const LabelStep &step) {
        if (step.points > 0 || step.clearBrush || !step.text.isEmpty())
            steps.append(step);
    };

    if (l.lines == L::CircleEntry) {
        const QString t = sjisLeft(texts.enteredText, OneLineMaxBytes);
        add({0, false, t, circleTextX(t), l.loneY, false});
    } else {
        const int placed = placedLineCount(l, texts.memo);
        int points = textSize(l, texts.memo, texts.enteredText);
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
