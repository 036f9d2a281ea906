// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintJob.h"

#include "barcode/CodeRules.h"
#include "job/LabelLayout.h"
#include "job/NumberText.h"

#include <QtGlobal>

namespace corvial {

int labelNumberValue(const LabelJob &job, int sheetNo, int S, int firstPos)
{
    const int perSheet = LabelsPerSheet(job.sheetType);
    const int ordinal = sheetNo <= 1
                            ? S - firstPos
                            : (sheetNo - 1) * perSheet + S - qBound(1, job.startPos, perSheet);
    // A repeat count below 1 cannot be chosen; it must not divide by zero either.
    return job.initialValue + ordinal / qMax(job.repeatCount, 1);
}

namespace {

constexpr ColourValue CodeLight = 0xFFFFFF;
constexpr ColourValue CodeDark = 0x000000;

// The label's code in its square: a white quiet zone and black modules, whatever the
// label's colours, because scanners need dark modules on a light ground.
bool drawLabelCode(PageCanvas &canvas, const CodePlace &place, const QString &prefix,
                   const QString &number, int x, int y, int labelHeight)
{
    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    // A sample's labels follow each other (repeat count), so the last symbol is kept.
    thread_local QByteArray lastData;
    thread_local DataMatrixSymbol lastSymbol;
    const QByteArray data = codeData(prefix, number);
    if (data != lastData || !lastSymbol.isValid()) {
        lastSymbol = encodeDataMatrix(data);
        lastData = data;
    }
    const PlacedCode code = placeCode(lastSymbol, dotsFor(x + place.left, dpiX),
                                      dotsFor(x + place.left + place.side, dpiX), dotsFor(y, dpiY),
                                      dotsFor(y + labelHeight, dpiY), dpiX, dpiY);
    if (!code.error.isEmpty())
        return false;
    const auto rectOf = [](const DotRect &r) {
        return QRect(r.x1, r.y1, r.x2 - r.x1, r.y2 - r.y1);
    };
    canvas.fillRectangles({rectOf(code.quiet)}, CodeLight);
    QVector<QRect> dark;
    dark.reserve(code.dark.size());
    for (const DotRect &r : code.dark)
        dark.append(rectOf(r));
    canvas.fillRectangles(dark, CodeDark);
    return true;
}

} // namespace

bool DrawLabelContent(PageCanvas &canvas, const LabelJob &job, const LabelPositions &pos,
                      int sheetNo, int S, int firstPos)
{
    if (S < 1 || S > LabelsPerSheet(job.sheetType))
        return true;
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
    const CodeLayout *codeRow =
        job.code && isNumberedType(job.sheetType) ? codeLayout(job.sheetType) : nullptr;
    const QVector<LabelStep> steps =
        codeRow ? labelSteps(codeRow->texts, texts) : labelSteps(job.sheetType, texts);
    for (const LabelStep &step : steps) {
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
    return !codeRow || drawLabelCode(canvas, codeRow->code, job.codePrefix, texts.number, x, y,
                                     LabelHeight(job.sheetType));
}

} // namespace corvial
