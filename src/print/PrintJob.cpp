// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintJob.h"

#include "job/LabelLayout.h"

#include <QCoreApplication>
#include <QtGlobal>

namespace corvial {

namespace {

constexpr int BoxPenDots = 5;
constexpr int FrameWidthUnits = 20;
constexpr ColourValue White = 0xFFFFFF;
constexpr int NumberWrap = 10000;

} // namespace

QVector<SheetRun> splitJob(int labels, int startPos, int perSheet)
{
    QVector<SheetRun> runs;
    if (labels <= 0 || perSheet <= 0)
        return runs;
    const qint64 s = qBound(1, startPos, perSheet);
    const qint64 last = s + labels - 1;
    const int sheets = int((last + perSheet - 1) / perSheet);
    runs.reserve(sheets);
    for (int j = 1; j <= sheets; ++j) {
        const bool isLast = j == sheets;
        runs.append({j, j == 1 ? int(s) : 1,
                     isLast ? int(last - qint64(sheets - 1) * perSheet) : perSheet, isLast});
    }
    return runs;
}

int nextStartPos(int labels, int startPos, int perSheet)
{
    if (perSheet <= 0)
        return 1;
    const qint64 last = qint64(qBound(1, startPos, perSheet)) + qMax(labels, 0) - 1;
    return int(last % perSheet) + 1;
}

int advancedInitialValue(int initialValue, int sampleCount)
{
    const int next = initialValue + sampleCount;
    return next > NumberWrap - 1 ? next - NumberWrap : next;
}

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

} // namespace corvial
