// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintJob.h"

#include "job/LabelLayout.h"
#include "job/NumberText.h"

#include <QtGlobal>

namespace corvial {

int labelSampleIndex(const LabelJob &job, int sheetNo, int S, int firstPos)
{
    const int perSheet = LabelsPerSheet(job.sheetType);
    const int ordinal = sheetNo <= 1
                            ? S - firstPos
                            : (sheetNo - 1) * perSheet + S - qBound(1, job.startPos, perSheet);
    // A repeat count below 1 cannot be chosen; it must not divide by zero either.
    return ordinal / qMax(job.repeatCount, 1);
}

int labelNumberValue(const LabelJob &job, int sheetNo, int S, int firstPos)
{
    return job.initialValue + labelSampleIndex(job, sheetNo, S, firstPos);
}

void DrawLabelContent(PageCanvas &canvas, const LabelJob &job, const LabelPositions &pos,
                      int sheetNo, int S, int firstPos)
{
    if (S < 1 || S > LabelsPerSheet(job.sheetType))
        return;
    LabelTexts texts;
    texts.entryText = job.entryText;
    texts.memo = printedProofText(job);
    texts.numberStyle = job.numberStyle;
    texts.shift = alignShift(job.sheetType, job.printAlign);
    if (isNumberedType(job.sheetType))
        texts.number =
            labelNumberText(labelNumberValue(job, sheetNo, S, firstPos), job.numberStyle);

    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    const int x = pos.labelX[S];
    const int y = pos.labelY[S];
    for (const LabelStep &step : labelSteps(job.sheetType, texts)) {
        if (step.points > 0)
            canvas.setFontSize(step.points);
        if (step.clearBrush)
            canvas.clearBrush();
        if (step.text.isEmpty())
            continue;
        const int top = dotsFor(y + step.y, dpiY);
        // Centring happens in dots after the conversion so the middle of the text lands on
        // the converted centre whatever the resolution.
        if (step.centred)
            canvas.textOut(dotsFor(x + step.x, dpiX) - canvas.textWidth(step.text) / 2, top,
                           step.text);
        else
            canvas.textOut(dotsFor(x + step.x, dpiX), top, step.text);
    }
}

} // namespace corvial
