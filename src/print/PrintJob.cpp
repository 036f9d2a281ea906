// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintJob.h"

#include "job/LabelLayout.h"
#include "job/NumberText.h"

#include <QCoreApplication>
#include <QtGlobal>

namespace corvial {

namespace {

constexpr int BoxPenDots = 5;
constexpr int FrameWidthUnits = 20;
constexpr ColourValue White = 0xFFFFFF;

} // namespace

bool PrintSheet(PageCanvas &canvas, const LabelJob &job, int sheetNo, int firstPos, int lastPos,
                bool isLastSheet)
{
    const int family = FamilyOfType(job.sheetType);
    const LabelPositions pos = ComputeLabelPositions(family, job.offsetX, job.offsetY);
    if (sheetNo == 1 && !canvas.beginDocument())
        return false;

    const int w = LabelWidth(job.sheetType);
    const int h = LabelHeight(job.sheetType);
    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    const ColourValue back = BackColorOf(job.backColourIndex);
    const ColourValue text = TextColorOf(job.textColourIndex);
    const bool round = familyInfo(family).shape == LabelShape::Ellipse;
    const bool ring = round && job.frame;
    canvas.setFont(job.labelFont);

    // Positions outside the sheet cannot come from a plan of splitJob, but a bad start
    // position must never make us read past the position table.
    const int first = qMax(firstPos, 1);
    const int last = qMin(lastPos, LabelsPerSheet(job.sheetType));
    for (int s = first; s <= last; ++s) {
        const int x = pos.labelX[s];
        const int y = pos.labelY[s];
        canvas.setPen(BoxPenDots, back);
        canvas.setSolidBrush(back);
        if (round)
            canvas.ellipse(dotsFor(x, dpiX), dotsFor(y, dpiY), dotsFor(x + w, dpiX),
                           dotsFor(y + h, dpiY));
        else
            canvas.rectangle(dotsFor(x, dpiX), dotsFor(y, dpiY), dotsFor(x + w, dpiX),
                             dotsFor(y + h, dpiY));
        // With a list each label carries its own sample's text, sized as if it were typed.
        const LabelJob label = sampleJob(job, labelSampleIndex(job, sheetNo, s, first));
        canvas.setFontColour(text);
        canvas.setFontSize(baseFontSize(label.entryText));
        if (ring) {
            canvas.setPen(BoxPenDots, White);
            canvas.setSolidBrush(White);
            canvas.ellipse(dotsFor(x + FrameWidthUnits, dpiX), dotsFor(y + FrameWidthUnits, dpiY),
                           dotsFor(x + w - FrameWidthUnits, dpiX),
                           dotsFor(y + h - FrameWidthUnits, dpiY));
        }
        // A ticked frame box gives every text a transparent background, whatever the type:
        // on a ring the texts sit on the white centre and must not paint it over.
        canvas.clearBrush();
        canvas.setPen(BoxPenDots, back);
        if (!job.frame)
            canvas.setSolidBrush(back);
        DrawLabelContent(canvas, label, pos, sheetNo, s, first);
    }

    return isLastSheet ? canvas.endDocument() : canvas.newPage();
}

bool printJob(PageCanvas &canvas, const LabelJob &job, QString *error)
{
    const int perSheet = LabelsPerSheet(job.sheetType);
    if (perSheet == 0) {
        if (error)
            *error = QStringLiteral("印刷できませんでした。シートタイプ %1 はありません。")
                         .arg(job.sheetType);
        return false;
    }
    const QVector<SheetRun> runs = splitJob(jobLabelCount(job), job.startPos, perSheet);
    for (const SheetRun &run : runs) {
        if (!PrintSheet(canvas, job, run.sheetNo, run.firstPos, run.lastPos, run.isLastSheet)) {
            if (error) {
                *error = canvas.errorString();
                if (error->isEmpty())
                    *error =
                        QStringLiteral("%1 枚目のシートを印刷できませんでした。").arg(run.sheetNo);
            }
            return false;
        }
    }
    return true;
}

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
