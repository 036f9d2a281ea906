// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "print/LabelGeometry.h"
#include "print/PageCanvas.h"

#include <QFont>
#include <QString>
#include <QVector>

namespace corvial {

// Everything printing reads, taken from the window when Print is pressed.
struct PrintSnapshot
{
    int sheetType = 1;    // 1..10
    int sampleCount = 0;  // samples of the job
    int repeatCount = 1;  // labels per sample (>= 1)
    int initialValue = 1; // number of the first sample
    int numberStyle = 0;  // 0 zero-padded "0000", otherwise plain "###0"
    int printAlign = 1;   // 1 left, 2 centre, 3 right
    int startPos = 1;     // start position of the type's family, 1..P
    int offsetX = 10;     // offset indices of the type's family, 0..20
    int offsetY = 10;
    QString entryText;       // the circle labels' text (Edit2)
    QString memo3, memo7;    // proof memos, "\n" between lines
    int textColourIndex = 0; // ListBox21 position, 0..8
    int backColourIndex = 0; // ListBox19 position, 0..7
    bool frame = false;      // CheckBox1: circle labels get a white centre
    QFont labelFont;
};

// One sheet of a job: label positions firstPos..lastPos of sheet sheetNo (1-based).
struct SheetRun
{
    int sheetNo;
    int firstPos;
    int lastPos;
    bool isLastSheet;
};

// The sheets a job of `labels` labels uses from start position startPos (taken as the
// nearest of 1 and perSheet when outside) on sheets of perSheet positions; empty when
// labels or perSheet is not positive.
QVector<SheetRun> splitJob(int labels, int startPos, int perSheet);
// Start position 1..perSheet for the job after that one: the label after its last label.
int nextStartPos(int labels, int startPos, int perSheet);
// First sample number of the next numbered job: initialValue + sampleCount, less 10000 when
// that goes above 9999.
int advancedInitialValue(int initialValue, int sampleCount);

// Draws sheet sheetNo of the job on the canvas: begins the document when sheetNo is 1, draws
// the labels firstPos..lastPos (clamped to the sheet; none when firstPos > lastPos), then
// opens a new page, or ends the document when isLastSheet. False when the canvas fails.
bool PrintSheet(PageCanvas &canvas, const PrintSnapshot &job, int sheetNo, int firstPos,
                int lastPos, bool isLastSheet);
// Draws the texts and the number of the label at position S (1..P; anything else draws
// nothing) of sheet sheetNo whose first printed position is firstPos, using the page state
// PrintSheet set up for the label.
void DrawLabelContent(PageCanvas &canvas, const PrintSnapshot &job, const LabelPositions &pos,
                      int sheetNo, int S, int firstPos);
// Prints the whole job as one document, one page per sheet. A job of no labels prints
// nothing and succeeds. False with *error set (if error is given) when the canvas fails or
// the sheet type is unknown.
bool printJob(PageCanvas &canvas, const PrintSnapshot &job, QString *error);

// Sample number printed on label S of sheet sheetNo (number rule, before formatting).
int labelNumberValue(const PrintSnapshot &job, int sheetNo, int S, int firstPos);
// Font size by the Shift-JIS byte length of text: shortSize below 4 bytes, middleSize for 4
// to 6 bytes, longSize from 7 bytes on.
int sizeByLength(const QString &text, int shortSize, int middleSize, int longSize);
// Base font size of every label of the job: 10 points when the entry text is shorter than
// 4 bytes, else 9.
int baseFontSize(const QString &entryText);

} // namespace corvial
