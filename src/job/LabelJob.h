// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/PrinterScale.h"
#include "job/SheetTypes.h"

#include <QFont>
#include <QString>
#include <QStringList>

namespace corvial {

// How sample numbers are written: "0000" zero-padded to four digits, or "###0" plain.
enum class NumberStyle { Padded = 0, Plain = 1 };
// Where the texts of the types with an alignment choice sit on their label.
enum class PrintAlign { Left = 1, Centre = 2, Right = 3 };

// One job as the print screen holds it when Print or Excel is pressed: the window reads its
// controls once into this value, and printing and export (and the batch printer) take it.
struct LabelJob
{
    SheetType sheetType;
    int sampleCount = 0;  // samples of the job
    int repeatCount = 1;  // labels per sample (>= 1)
    int initialValue = 1; // number of the first sample
    NumberStyle numberStyle = NumberStyle::Padded;
    PrintAlign printAlign = PrintAlign::Left;
    int startPos = 1; // start position of the type's family, 1..P
    int offsetX = 10; // offset indices of the type's family, 0..20
    int offsetY = 10;
    // The one line typed for the round labels, which they print; its length also sets the
    // base size every label of the job starts from, whatever the type.
    QString enteredText;
    // What the type's proof label holds, "\n" between lines: the round label's text line,
    // which the export writes; the memo or marker text; or the lines of the other labels.
    QString proofText;
    int textColourIndex = 0; // position in the text colour list, 0..8
    int backColourIndex = 0; // position in the background colour list, 0..7
    bool frame = false;      // circle labels get a white centre
    QFont labelFont;
    // Each sample's own text from a sample list, in sample order ("\n" between lines); empty
    // when every sample carries the typed text.
    QStringList sampleTexts;
    bool code = false;  // each numbered label carries a 2-D code of its sample's ID
    QString codePrefix; // printed in the code before the number (ASCII)
    // The printer's correction, applied to every position on the page; the workbook and
    // the history leave it out, it belongs to the printer and not to the labels.
    PrinterScale scale;
};

// Labels of the job: sampleCount x repeatCount.
int jobLabelCount(const LabelJob &job);
// The job as sample index (0-based) prints: with a list, the sample's own text stands as the
// proof text and, for a type typed as one line, as the entered text too; without a list, or
// for an index the list does not have, the job as it is.
LabelJob sampleJob(const LabelJob &job, int sampleIndex);
// Text the export writes for an empty circle text line: the workbook cannot hold an empty
// label cell, and the circle proof shows a blank label as a space.
QString circleExportText(const QString &circleText);

} // namespace corvial
