// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/JobRules.h"
#include "job/LabelJob.h"
#include "print/LabelGeometry.h"
#include "print/PageCanvas.h"

#include <QString>
#include <QVector>

namespace corvial {

// Draws sheet sheetNo of the job on the canvas: begins the document when sheetNo is 1, draws
// the labels firstPos..lastPos (clamped to the sheet; none when firstPos > lastPos), then
// opens a new page, or ends the document when isLastSheet. False when the canvas fails.
bool PrintSheet(PageCanvas &canvas, const LabelJob &job, int sheetNo, int firstPos, int lastPos,
                bool isLastSheet);
// Draws the texts and the number of the label at position S (1..P; anything else draws
// nothing) of sheet sheetNo whose first printed position is firstPos, using the page state
// PrintSheet set up for the label; with job.code on a type that has a code row, the label is
// laid out by that row and gets its code. False when the code cannot be drawn (printJob
// refuses such a job before it prints anything).
bool DrawLabelContent(PageCanvas &canvas, const LabelJob &job, const LabelPositions &pos,
                      int sheetNo, int S, int firstPos);
// Prints the whole job as one document, one page per sheet. A job of no labels prints
// nothing and succeeds. False with *error set (if error is given) when the canvas fails or
// the job asks for codes that its type, prefix or the canvas's resolution cannot print
// (refused before anything is drawn).
bool printJob(PageCanvas &canvas, const LabelJob &job, QString *error);

// Sample (0-based, in job order) whose label stands at position S of sheet sheetNo: the
// labels of one sample follow each other, repeatCount of them.
int labelSampleIndex(const LabelJob &job, int sheetNo, int S, int firstPos);
// Sample number printed on label S of sheet sheetNo (number rule, before formatting).
int labelNumberValue(const LabelJob &job, int sheetNo, int S, int firstPos);
} // namespace corvial
