// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"
#include "job/SheetTypes.h"

#include <QString>
#include <QVector>

namespace corvial {

// How a sheet type places its texts and its number on one label. Places are layout units
// (1/250 inch) from the top-left corner of the label's box; sizes are points.

// How many text lines a label shows.
enum class LineChoice {
    CircleEntry,   // the circle text, centred on its place
    Fixed,         // always `fixedLines` lines
    ByLineCount,   // by the text's line count: 4 from three lines on, 2 for two, else 1
    ByFilledLines, // up to `maxLines`: as many as the last of them that has text, at least 1
};

// What sizes the text.
enum class TextSizeRule {
    Keep,        // the sheet's base size, set before the label
    Fixed,       // sizes[0]
    ByLineCount, // sizes[lines - 1] for 1..4 lines, else the base size
    ByFirstLine, // by the first line's bytes: sizes[0] below 4, sizes[1] to 6, sizes[2] beyond
};

struct NumberPlace
{
    int paddedX; // a zero-padded number starts here
    int paddedY;
    int centreX; // a plain number is centred on this
    int y;
};

struct LabelLayout
{
    int sheetType;
    LineChoice lines;
    int fixedLines; // Fixed: lines placed; ByFilledLines: most lines placed
    int x;          // left edge of every line
    int loneX;      // left edge of a line placed alone
    int loneY;      // top of a line placed alone
    TextSizeRule textSize;
    int sizes[4];
    int threeLineSize; // size when three lines are placed, 0 = as textSize says
    NumberPlace number;
    int numberSizes[3]; // by the number's bytes as ByFirstLine; 0 = the text's size
};

// The layout row of a sheet type.
const LabelLayout &labelLayout(SheetType sheetType);

// Where a label's 2-D code goes: a square of `side` layout units whose left edge lies `left`
// units right of the label's left edge, centred on the label's height. It holds the symbol
// and its quiet zone; no text of the label reaches into it.
struct CodePlace
{
    int left;
    int side;
};

// A label with a 2-D code: the code's square and the layout of the texts and the number in
// the box that remains to its right.
struct CodeLayout
{
    CodePlace code;
    LabelLayout texts;
};

// The code row of a sheet type, or nullptr for a type whose labels carry no code.
const CodeLayout *codeLayout(SheetType sheetType);

// One thing DrawLabelContent does, in order.
struct LabelStep
{
    int points = 0;          // > 0: set this font size first
    bool clearBrush = false; // then draw without a cell background
    QString text;            // empty: nothing drawn
    int x = 0;               // left edge, or the centre when centred
    int y = 0;               // top of the text cell
    bool centred = false;    // centre the text on x (done in dots, after conversion)
};

// The label's texts as the job holds them.
struct LabelTexts
{
    QString enteredText; // the round label's text, and the base size of every type
    QString memo;        // the proof text the type prints, "\n" between lines
    QString number;      // the number text, empty for types without one
    NumberStyle numberStyle = NumberStyle::Padded; // plain numbers are centred
    int shift = 0;                                 // sideways shift of the alignment, layout units
};

// The drawing steps of one label of a sheet type. Lines without text are skipped, sizes still
// set, so every label of a sheet ends in the same page state.
QVector<LabelStep> labelSteps(SheetType sheetType, const LabelTexts &texts);
// The drawing steps of one label laid out by a row of the layout data.
QVector<LabelStep> labelSteps(const LabelLayout &layout, const LabelTexts &texts);

// Point size by the Shift-JIS byte length of text: shortSize below 4 bytes, middleSize for
// 4 to 6 bytes, longSize from 7 bytes on.
int sizeByLength(const QString &text, int shortSize, int middleSize, int longSize);
// Base font size of every label of the job: 10 points when the entry text is shorter than
// 4 bytes, else 9.
int baseFontSize(const QString &entryText);
// Left edge of the circle text t (at most 5 bytes), centred on the round label.
int circleTextX(const QString &t);
// Text lines placed for a text with the given choice: see LineChoice.
int placedLineCount(const LabelLayout &layout, const QString &memo);

} // namespace corvial
