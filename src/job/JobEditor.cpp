// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/JobEditor.h"

namespace corvial {

QString typedText(const JobEditor &editor)
{
    switch (editor.sheetType.info().textBox.kind) {
    case TextBoxKind::OneLine:
        return editor.oneLineText;
    case TextBoxKind::Lines:
        return editor.linesText;
    case TextBoxKind::Memo:
        return editor.memoText;
    case TextBoxKind::Marker:
        break;
    }
    return QString();
}

ProofInput proofInputOf(const JobEditor &editor, const QString &editedMemoProof)
{
    ProofInput in;
    in.sheetType = editor.sheetType;
    in.text = typedText(editor);
    in.editedProof = editedMemoProof;
    in.marker = editor.marker;
    in.initialValue = editor.initialValue;
    in.numberStyle = editor.numberStyle;
    return in;
}

LabelJob labelJobOf(const JobEditor &editor)
{
    const int f = editor.family();
    LabelJob job;
    job.sheetType = editor.sheetType;
    job.sampleCount = editor.sampleCount;
    job.repeatCount = editor.repeatCount;
    job.initialValue = editor.initialValue;
    job.numberStyle = editor.numberStyle;
    job.printAlign = editor.printAlign;
    job.startPos = editor.startPos[f];
    job.offsetX = editor.offsetX[f];
    job.offsetY = editor.offsetY[f];
    job.enteredText = editor.oneLineText;
    job.proofText = editor.proofText;
    job.textColourIndex = editor.textColourIndex;
    job.backColourIndex = editor.backColourIndex;
    job.frame = editor.frame;
    job.labelFont = editor.labelFont;
    job.sampleTexts = editor.sampleTexts;
    job.code = editor.code;
    job.codePrefix = editor.codePrefix;
    return job;
}

} // namespace corvial
