// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"
#include "job/ProofLabel.h"
#include "job/SheetTypes.h"

#include <QByteArray>
#include <QFont>
#include <QString>
#include <QStringList>

namespace corvial {

// The job as the window holds it while the user works on it: the entry screen and the print
// screen write their choices here as they are made, and the print set-up, the preview, printing and
// the export read them from here instead of from controls. Arrays are per family, 1-based.
struct JobEditor
{
    SheetType sheetType;
    int sampleCount = 30;
    int repeatCount = 1;
    int initialValue = 1;
    NumberStyle numberStyle = NumberStyle::Padded;
    PrintAlign printAlign = PrintAlign::Left;
    int sheetCount = 0; // sheets of the job the preview shows

    // start.txt: each family's start position and offset indices, and its free last line.
    int startPos[FamilyCount + 1] = {0, 1, 1, 1, 1};
    int offsetX[FamilyCount + 1] = {};
    int offsetY[FamilyCount + 1] = {};
    QByteArray settingsTail;

    // The entry screen's texts as the boxes hold them (already cut to the type's limits),
    // and the marker chosen for the marker type.
    QString oneLineText; // the round labels' line; its length sizes every type's labels
    QString linesText;   // the few lines of the number and text-only labels
    QString memoText;    // the memo label's four lines
    int marker = 0;

    // The print screen: what the proof label of the type holds ("\n" between lines), which
    // the user may still edit, and how the labels look.
    QString proofText;
    int textColourIndex = 0;
    int backColourIndex = 0;
    bool frame = false;
    QFont labelFont;
    bool code = false;
    QString codePrefix;
    // The proof colours go back to black on white when the next job is set up after a print.
    bool colorsResetPending = false;

    // A loaded sample list's texts, one per sample; empty without a list.
    QStringList sampleTexts;

    int family() const { return sheetType.info().family; }
    int labelCount() const { return sampleCount * repeatCount; }
};

// The text the type's own text box holds: what its proof label starts from.
QString typedText(const JobEditor &editor);
// What the proof label of the editor's job shows, given what the memo proof holds now.
ProofInput proofInputOf(const JobEditor &editor, const QString &editedMemoProof);
// The job that Print and Excel hand to printing and the export.
LabelJob labelJobOf(const JobEditor &editor);

} // namespace corvial
