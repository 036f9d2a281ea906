// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"
#include "job/SheetTypes.h"

#include <QString>

namespace corvial {

constexpr int MarkerCount = 4;

// Text line of the circle proof: the longest prefix of the entered text within 5 bytes.
QString circleProofText(const QString &entryText);
// Label text of marker 0..3 ("－２０℃", "－８０℃", "注意", "危険",
// written with the full-width minus); empty for any other item.
QString markerText(int item);
// Caption of marker item 0..3 as the entry screen offers it ("ー２０℃", "ー８０℃", "注意",
// "危険"); empty for any other item.
QString markerCaption(int item);
// Point size of a proof text, from the byte length L of the longer of the memo's first two
// lines (a missing line counts as empty): L < 6 12, 6..7 10, 8..9 9, 10 or more 8.
int memoFontSizeForText(const QString &memoText);
// Point size of sample number n: 12 with zero-padded numbers; with plain numbers 18 below
// 10, 16 below 100, 14 below 1000, else 12.
int NumberFontSize(int n, NumberStyle style);

// What the proof label is built from.
struct ProofInput
{
    SheetType sheetType;
    QString text;   // the label text as typed for the type, "\n" between lines
    int marker = 0; // marker 0..3 of the marker type
    int initialValue = 1;
    NumberStyle numberStyle = NumberStyle::Padded;
    QString editedProof; // what the memo proof holds now, edited or not
};

// What the proof label shows for a job; the window only applies it.
struct ProofLabelContent
{
    ProofKind kind = ProofKind::Circle; // the proof panel to show
    QString circleText;                 // the round proof's text line
    QString circleNumber;               // the round proof's number
    QString text;                       // the text of the other proofs, "\n" between lines
    int textPoints = 0;                 // its size; 0 = leave it
    QString number;                     // the number proof's number; empty = leave it
    int numberPoints = 0;               // its size; 0 = leave it
    bool fixedColours = false;          // the type prints in colours of its own:
    int backColourIndex = 0;            //   background colour to select (list position)
    int textColourIndex = 0;            //   text colour to select (list position)
};

// The circle proof's text line and number line for the entry text, first number and style.
ProofLabelContent circleProof(const QString &entryText, int initialValue, NumberStyle style);
// The proof label of the sheet type in.sheetType for what was typed.
ProofLabelContent proofLabelFor(const ProofInput &in);

} // namespace corvial
