// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintJob.h"

#include "barcode/CodeRules.h"
#include "barcode/SymbolBatch.h"
#include "job/LabelLayout.h"
#include "job/NumberText.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <memory>

namespace corvial {

namespace {

constexpr int BoxPenDots = 5;
constexpr int FrameWidthUnits = 20;
constexpr ColourValue White = 0xFFFFFF;
constexpr ColourValue CodeLight = 0xFFFFFF;
constexpr ColourValue CodeDark = 0x000000;

// The label's code in its square: a white quiet zone and black modules, whatever the
// label's colours, because scanners need dark modules on a light ground. On a white label
// the quiet zone is white already and is not drawn again.
bool drawLabelCode(PageCanvas &canvas, const LabelPositions &pos, const CodePlace &place,
                   const QByteArray &data, SymbolBatch *symbols, int x, int y, int labelHeight,
                   ColourValue back)
{
    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    const DataMatrixSymbol symbol = symbols ? symbols->symbolOf(data) : encodeDataMatrix(data);
    int left = dotsFor(x + place.left, dpiX);
    int right = dotsFor(x + place.left + place.side, dpiX);
    int top = dotsFor(y, dpiY);
    int bottom = dotsFor(y + labelHeight, dpiY);
    if (!pos.scale.isIdentity()) {
        // Modules stay whole dots of the size a scanner was tested with: the square keeps
        // its size and only moves, its left edge and the label's middle where the scale
        // puts them. A square scaled down could otherwise no longer hold the symbol.
        const int middle = (pos.dotsY(y, dpiY) + pos.dotsY(y + labelHeight, dpiY)) / 2;
        right = pos.dotsX(x + place.left, dpiX) + (right - left);
        left = pos.dotsX(x + place.left, dpiX);
        const int height = bottom - top;
        top = middle - height / 2;
        bottom = top + height;
    }
    const PlacedCode code = placeCode(symbol, left, right, top, bottom, dpiX, dpiY);
    if (!code.error.isEmpty())
        return false;
    const auto rectOf = [](const DotRect &r) {
        return QRect(r.x1, r.y1, r.x2 - r.x1, r.y2 - r.y1);
    };
    if (back != CodeLight)
        canvas.fillRectangles({rectOf(code.quiet)}, CodeLight);
    QVector<QRect> dark;
    dark.reserve(code.dark.size());
    for (const DotRect &r : code.dark)
        dark.append(rectOf(r));
    canvas.fillRectangles(dark, CodeDark);
    return true;
}

bool drawLabelWith(PageCanvas &canvas, const LabelJob &job, const LabelPositions &pos, int sheetNo,
                   int S, int firstPos, SymbolBatch *symbols);

// PrintSheet, taking the codes' symbols from the job's batch when there is one.
bool printSheetWith(PageCanvas &canvas, const LabelJob &job, int sheetNo, int firstPos, int lastPos,
                    bool isLastSheet, SymbolBatch *symbols)
{
    const FamilyInfo &family = job.sheetType.family();
    const LabelPositions pos = ComputeLabelPositions(family, job.offsetX, job.offsetY, job.scale);
    if (sheetNo == 1 && !canvas.beginDocument())
        return false;

    const int w = LabelWidth(job.sheetType);
    const int h = LabelHeight(job.sheetType);
    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    const ColourValue back = BackColorOf(job.backColourIndex);
    const ColourValue text = TextColorOf(job.textColourIndex);
    const bool round = family.shape == LabelShape::Ellipse;
    const bool ring = round && job.frame;
    canvas.setFont(job.labelFont);

    // Positions outside the sheet cannot come from a plan of splitJob, but a bad start
    // position must never make us read past the position table.
    const int first = qMax(firstPos, 1);
    const int last = qMin(lastPos, family.labels);
    for (int s = first; s <= last; ++s) {
        const int x = pos.labelX[s];
        const int y = pos.labelY[s];
        canvas.setPen(BoxPenDots, back);
        canvas.setSolidBrush(back);
        if (round)
            canvas.ellipse(pos.dotsX(x, dpiX), pos.dotsY(y, dpiY), pos.dotsX(x + w, dpiX),
                           pos.dotsY(y + h, dpiY));
        else
            canvas.rectangle(pos.dotsX(x, dpiX), pos.dotsY(y, dpiY), pos.dotsX(x + w, dpiX),
                             pos.dotsY(y + h, dpiY));
        // With a list each label carries its own sample's text, sized as if it were typed.
        const LabelJob label = sampleJob(job, labelSampleIndex(job, sheetNo, s, first));
        canvas.setFontColour(text);
        canvas.setFontSize(baseFontSize(label.enteredText));
        if (ring) {
            canvas.setPen(BoxPenDots, White);
            canvas.setSolidBrush(White);
            canvas.ellipse(
                pos.dotsX(x + FrameWidthUnits, dpiX), pos.dotsY(y + FrameWidthUnits, dpiY),
                pos.dotsX(x + w - FrameWidthUnits, dpiX), pos.dotsY(y + h - FrameWidthUnits, dpiY));
        }
        // A ticked frame box gives every text a transparent background, whatever the type:
        // on a ring the texts sit on the white centre and must not paint it over.
        canvas.clearBrush();
        canvas.setPen(BoxPenDots, back);
        if (!job.frame)
            canvas.setSolidBrush(back);
        if (!drawLabelWith(canvas, label, pos, sheetNo, s, first, symbols))
            return false;
    }

    return isLastSheet ? canvas.endDocument() : canvas.newPage();
}

// The data of every code of the job, in the order its labels are drawn; a sample's labels
// in a row share one entry.
QVector<QByteArray> jobCodeData(const LabelJob &job, const QVector<SheetRun> &runs)
{
    QVector<QByteArray> data;
    for (const SheetRun &run : runs) {
        for (int s = run.firstPos; s <= run.lastPos; ++s) {
            const QByteArray d = codeData(
                job.codePrefix, labelNumberText(labelNumberValue(job, run.sheetNo, s, run.firstPos),
                                                job.numberStyle));
            if (data.isEmpty() || data.constLast() != d)
                data.append(d);
        }
    }
    return data;
}

} // namespace

bool PrintSheet(PageCanvas &canvas, const LabelJob &job, int sheetNo, int firstPos, int lastPos,
                bool isLastSheet)
{
    return printSheetWith(canvas, job, sheetNo, firstPos, lastPos, isLastSheet, nullptr);
}

bool printJob(PageCanvas &canvas, const LabelJob &job, QString *error)
{
    const int perSheet = job.sheetType.family().labels;
    if (job.code) {
        QString problem = prefixProblem(job.codePrefix, job.sheetType);
        if (problem.isEmpty())
            problem =
                codeResolutionProblem(job.sheetType, canvas.resolutionX(), canvas.resolutionY());
        if (!problem.isEmpty()) {
            if (error)
                *error = QStringLiteral("印刷できませんでした。") + problem;
            return false;
        }
    }
    const QVector<SheetRun> runs = splitJob(jobLabelCount(job), job.startPos, perSheet);
    // The codes are encoded beside the drawing, on a thread of their own.
    std::unique_ptr<SymbolBatch> symbols;
    if (job.code && job.sheetType.info().numbered && codeLayout(job.sheetType))
        symbols = std::make_unique<SymbolBatch>(jobCodeData(job, runs));
    for (const SheetRun &run : runs) {
        if (!printSheetWith(canvas, job, run.sheetNo, run.firstPos, run.lastPos, run.isLastSheet,
                            symbols.get())) {
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
    const int perSheet = job.sheetType.family().labels;
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

bool DrawLabelContent(PageCanvas &canvas, const LabelJob &job, const LabelPositions &pos,
                      int sheetNo, int S, int firstPos)
{
    return drawLabelWith(canvas, job, pos, sheetNo, S, firstPos, nullptr);
}

namespace {

bool drawLabelWith(PageCanvas &canvas, const LabelJob &job, const LabelPositions &pos, int sheetNo,
                   int S, int firstPos, SymbolBatch *symbols)
{
    if (S < 1 || S > job.sheetType.family().labels)
        return true;
    LabelTexts texts;
    texts.enteredText = job.enteredText;
    texts.memo = job.proofText;
    texts.numberStyle = job.numberStyle;
    texts.shift = alignShift(job.sheetType, job.printAlign);
    const bool numbered = job.sheetType.info().numbered;
    if (numbered)
        texts.number =
            labelNumberText(labelNumberValue(job, sheetNo, S, firstPos), job.numberStyle);

    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    const int x = pos.labelX[S];
    const int y = pos.labelY[S];
    const CodeLayout *codeRow = job.code && numbered ? codeLayout(job.sheetType) : nullptr;
    const QVector<LabelStep> steps =
        codeRow ? labelSteps(codeRow->texts, texts) : labelSteps(job.sheetType, texts);
    for (const LabelStep &step : steps) {
        if (step.points > 0)
            canvas.setFontSize(step.points);
        if (step.clearBrush)
            canvas.clearBrush();
        if (step.text.isEmpty())
            continue;
        const int top = pos.dotsY(y + step.y, dpiY);
        // Centring happens in dots after the conversion so the middle of the text lands on
        // the converted centre whatever the resolution.
        if (step.centred)
            canvas.textOut(pos.dotsX(x + step.x, dpiX) - canvas.textWidth(step.text) / 2, top,
                           step.text);
        else
            canvas.textOut(pos.dotsX(x + step.x, dpiX), top, step.text);
    }
    return !codeRow || drawLabelCode(canvas, pos, codeRow->code,
                                     codeData(job.codePrefix, texts.number), symbols, x, y,
                                     LabelHeight(job.sheetType), BackColorOf(job.backColourIndex));
}

} // namespace

} // namespace corvial
