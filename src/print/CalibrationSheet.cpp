// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalibrationSheet.h"

#include "job/Fonts.h"
#include "print/LabelGeometry.h"

#include <QFont>
#include <QtGlobal>

namespace corvial {

namespace {

constexpr ColourValue Black = 0x000000;
constexpr ColourValue White = 0xFFFFFF;

// About 0.1 mm: thin enough to see a fraction of a millimetre of shift against a die-cut edge.
constexpr int OutlineUnits = 1;
// Arms of the centre cross as a fraction of the label's smaller side.
constexpr int CrossDivisor = 8;
// The position number hangs from just below and right of the label's centre, which lies
// inside the label for round labels too.
constexpr int NumberGapUnits = 5;
constexpr int NumberPoints = 7;

// The scales are drawn in tenths of a millimetre; 254 tenths make an inch.
constexpr int TenthsPerInch = 254;
constexpr int TickTenths = 10;
constexpr int HalfCentimetreTickTenths = 20;
constexpr int CentimetreTickTenths = 30;
constexpr int ScaleNumberEveryTenths = 100;
// The scale numbers and ticks stay inside this band along each edge.
constexpr int ScaleBandTenths = 40;
constexpr int ScalePoints = 6;
// Scales run a centimetre past the far edge of the grid.
constexpr int ScaleOverrunTenths = 100;

constexpr int CaptionPoints = 7;

// The rulers of the second page: 0 at 1 cm from the drawable area's top-left corner, a line
// of 0.2 mm, the text beside the long ruler below the short one.
constexpr int RulerStartTenths = 100;
constexpr int RulerLineTenths = 2;
constexpr int RulerCaptionLeftTenths = 250;
constexpr int RulerCaptionTopTenths = 400;
constexpr int RulerCaptionLineTenths = 40;
constexpr int CaptionLineUnits = 32;
constexpr int CaptionGapUnits = 8;

int tenthsToDots(int tenths, int dpi)
{
    return int(qint64(tenths) * dpi / TenthsPerInch);
}

// Layout units to tenths of a millimetre, rounded up so a scale always reaches past v.
int unitsToTenthsUp(int v)
{
    return int((qint64(v) * TenthsPerInch + LayoutUnitsPerInch - 1) / LayoutUnitsPerInch);
}

int tenthsToUnitsUp(int tenths)
{
    return int((qint64(tenths) * LayoutUnitsPerInch + TenthsPerInch - 1) / TenthsPerInch);
}

// Scale end in tenths: whole centimetres, at least ScaleOverrunTenths past `reachUnits`.
int scaleEndTenths(int reachUnits)
{
    const int past = unitsToTenthsUp(reachUnits) + ScaleOverrunTenths;
    return (past + ScaleNumberEveryTenths - 1) / ScaleNumberEveryTenths * ScaleNumberEveryTenths;
}

int tickLengthTenths(int atTenths)
{
    if (atTenths % ScaleNumberEveryTenths == 0)
        return CentimetreTickTenths;
    if (atTenths % (ScaleNumberEveryTenths / 2) == 0)
        return HalfCentimetreTickTenths;
    return TickTenths;
}

void drawScales(PageCanvas &canvas, int rightUnits, int bottomUnits)
{
    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    const int endX = scaleEndTenths(rightUnits);
    const int endY = scaleEndTenths(bottomUnits);
    canvas.line(0, 0, tenthsToDots(endX, dpiX), 0);
    canvas.line(0, 0, 0, tenthsToDots(endY, dpiY));
    canvas.setFontSize(ScalePoints);
    for (int t = 0; t <= endX; t += TickTenths) {
        const int x = tenthsToDots(t, dpiX);
        canvas.line(x, 0, x, tenthsToDots(tickLengthTenths(t), dpiY));
        // Below the millimetre ticks and clear of the next half-centimetre tick.
        if (t > 0 && t % ScaleNumberEveryTenths == 0)
            canvas.textOut(x + tenthsToDots(5, dpiX), tenthsToDots(12, dpiY),
                           QString::number(t / 10));
    }
    for (int t = 0; t <= endY; t += TickTenths) {
        const int y = tenthsToDots(t, dpiY);
        canvas.line(0, y, tenthsToDots(tickLengthTenths(t), dpiX), y);
        if (t > 0 && t % ScaleNumberEveryTenths == 0)
            canvas.textOut(tenthsToDots(CentimetreTickTenths + 5, dpiX), y + tenthsToDots(3, dpiY),
                           QString::number(t / 10));
    }
}

} // namespace

QString offsetMillimetreText(int offsetIndex)
{
    const int halfMillimetres = boundedOffsetIndex(offsetIndex) - OffsetIndexCentre;
    const QString number = QString::number(halfMillimetres * 0.5);
    return (halfMillimetres > 0 ? QStringLiteral("+") : QString()) + number + QStringLiteral(" mm");
}

QStringList calibrationCaption(SheetType sheetType, int offsetXIndex, int offsetYIndex)
{
    const FamilyInfo &g = sheetType.family();
    return {
        QStringLiteral("位置合わせシート　%1 面（%2 列 × %3 行）　シートタイプ：%4")
            .arg(g.labels)
            .arg(g.columns)
            .arg(g.rows)
            .arg(QString::fromUtf8(sheetType.info().caption)),
        QStringLiteral("現在のオフセット　横 %1（＋は右）　縦 %2（＋は下）")
            .arg(offsetMillimetreText(offsetXIndex), offsetMillimetreText(offsetYIndex)),
        QStringLiteral("この紙をラベルシートに重ねて光に透かし、枠とラベルのずれを読み取って、"
                       "オフセットの一覧に設定してください。"),
    };
}

void DrawCalibrationPage(PageCanvas &canvas, SheetType sheetType, int offsetXIndex,
                         int offsetYIndex, PrinterScale scale)
{
    const FamilyInfo &g = sheetType.family();
    const LabelPositions pos = ComputeLabelPositions(g, offsetXIndex, offsetYIndex, scale);
    const int w = LabelWidth(sheetType);
    const int h = LabelHeight(sheetType);
    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    const int gridLeft = pos.labelX[1];
    const int gridRight = pos.labelX[g.labels] + w;
    const int gridBottom = pos.labelY[g.labels] + h;

    canvas.setFont(QFont(uiFaceName()));
    canvas.setFontColour(Black);
    canvas.setPen(qMax(1, dotsFor(OutlineUnits, dpiX)), Black);
    canvas.clearBrush();
    drawScales(canvas, gridRight, gridBottom);

    const int arm = qMin(w, h) / CrossDivisor;
    canvas.setFontSize(NumberPoints);
    for (int i = 1; i <= g.labels; ++i) {
        const int x = pos.labelX[i];
        const int y = pos.labelY[i];
        if (g.shape == LabelShape::Ellipse)
            canvas.ellipse(pos.dotsX(x, dpiX), pos.dotsY(y, dpiY), pos.dotsX(x + w, dpiX),
                           pos.dotsY(y + h, dpiY));
        else
            canvas.rectangle(pos.dotsX(x, dpiX), pos.dotsY(y, dpiY), pos.dotsX(x + w, dpiX),
                             pos.dotsY(y + h, dpiY));
        const int cx = x + w / 2;
        const int cy = y + h / 2;
        canvas.line(pos.dotsX(cx - arm, dpiX), pos.dotsY(cy, dpiY), pos.dotsX(cx + arm, dpiX),
                    pos.dotsY(cy, dpiY));
        canvas.line(pos.dotsX(cx, dpiX), pos.dotsY(cy - arm, dpiY), pos.dotsX(cx, dpiX),
                    pos.dotsY(cy + arm, dpiY));
        canvas.textOut(pos.dotsX(cx + NumberGapUnits, dpiX), pos.dotsY(cy + NumberGapUnits, dpiY),
                       QString::number(i));
    }

    // Above the grid where the family leaves room at every offset. Otherwise over whole
    // labels of the middle row, blanked out first, so that the caption crosses no outline
    // and every other label stays as it is.
    const QStringList caption = calibrationCaption(sheetType, offsetXIndex, offsetYIndex);
    canvas.setFontSize(CaptionPoints);
    const int height = int(caption.size()) * CaptionLineUnits;
    const int bandBottom = tenthsToUnitsUp(ScaleBandTenths) + CaptionGapUnits;
    const int lowestGridTop = g.originY + OffsetStepUnits * (OffsetIndexMin - OffsetIndexCentre);
    int captionLeft = gridLeft;
    int captionTop = bandBottom;
    if (bandBottom + height + CaptionGapUnits > lowestGridTop) {
        int widest = 0;
        for (const QString &line : caption)
            widest = qMax(widest, canvas.textWidth(line));
        const int widestUnits = int((qint64(widest) * LayoutUnitsPerInch + dpiX - 1) / dpiX);
        const int gapX = g.pitchX - w;
        const int gapY = g.pitchY - h;
        const int covered = qBound(1, (widestUnits + gapX + g.pitchX - 1) / g.pitchX, g.columns);
        const int first = g.rows / 2 * g.columns + 1;
        const int left = pos.labelX[first] - gapX / 2;
        const int top = pos.labelY[first] - gapY / 2;
        const int right = pos.labelX[first + covered - 1] + w + gapX / 2;
        const int bottom = pos.labelY[first] + h + gapY / 2;
        canvas.setPen(1, White);
        canvas.setSolidBrush(White);
        canvas.rectangle(pos.dotsX(left, dpiX), pos.dotsY(top, dpiY), pos.dotsX(right, dpiX),
                         pos.dotsY(bottom, dpiY));
        captionLeft = pos.labelX[first];
        captionTop = pos.labelY[first] + (h - height) / 2;
    }
    canvas.setSolidBrush(White);
    for (int k = 0; k < caption.size(); ++k)
        canvas.textOut(pos.dotsX(captionLeft, dpiX),
                       pos.dotsY(captionTop + k * CaptionLineUnits, dpiY), caption.at(k));
    canvas.clearBrush();
}

void DrawRulerPage(PageCanvas &canvas)
{
    const int dpiX = canvas.resolutionX();
    const int dpiY = canvas.resolutionY();
    canvas.setFont(QFont(uiFaceName()));
    canvas.setFontColour(Black);
    canvas.setPen(qMax(1, tenthsToDots(RulerLineTenths, dpiX)), Black);
    canvas.clearBrush();
    const int x0 = tenthsToDots(RulerStartTenths, dpiX);
    const int y0 = tenthsToDots(RulerStartTenths, dpiY);
    const int acrossEnd = RulerAcrossMm * 10;
    const int alongEnd = RulerAlongMm * 10;
    // Both rulers start at one corner: their 0 is a single tick to lay a steel rule on.
    canvas.line(x0, y0, tenthsToDots(RulerStartTenths + acrossEnd, dpiX), y0);
    canvas.line(x0, y0, x0, tenthsToDots(RulerStartTenths + alongEnd, dpiY));
    canvas.setFontSize(ScalePoints);
    for (int t = 0; t <= acrossEnd; t += TickTenths) {
        const int x = tenthsToDots(RulerStartTenths + t, dpiX);
        canvas.line(x, y0, x, y0 + tenthsToDots(tickLengthTenths(t), dpiY));
        if (t > 0 && t % ScaleNumberEveryTenths == 0)
            canvas.textOut(x + tenthsToDots(5, dpiX), y0 + tenthsToDots(12, dpiY),
                           QString::number(t / 10));
    }
    for (int t = 0; t <= alongEnd; t += TickTenths) {
        const int y = tenthsToDots(RulerStartTenths + t, dpiY);
        canvas.line(x0, y, x0 + tenthsToDots(tickLengthTenths(t), dpiX), y);
        if (t > 0 && t % ScaleNumberEveryTenths == 0)
            canvas.textOut(x0 + tenthsToDots(CentimetreTickTenths + 5, dpiX),
                           y + tenthsToDots(3, dpiY), QString::number(t / 10));
    }
    canvas.setFontSize(CaptionPoints);
    const QStringList lines = rulerCaption();
    const int left = tenthsToDots(RulerCaptionLeftTenths, dpiX);
    for (int k = 0; k < lines.size(); ++k)
        canvas.textOut(left, tenthsToDots(RulerCaptionTopTenths + k * RulerCaptionLineTenths, dpiY),
                       lines.at(k));
}

QStringList rulerCaption()
{
    return {
        QStringLiteral("プリンタの倍率の測定　横の定規 %1 mm　縦の定規 %2 mm")
            .arg(RulerAcrossMm)
            .arg(RulerAlongMm),
        QStringLiteral("鋼尺などで、左上の 0 の目盛りから横は %1、縦は %2 の目盛りまでの長さを"
                       "0.1 mm まで測り、")
            .arg(RulerAcrossMm)
            .arg(RulerAlongMm),
        QStringLiteral("「プリンタの倍率…」に入力してください。定規はいまの倍率に関係なく"
                       "原寸で印刷しています。"),
    };
}

bool printCalibrationSheet(PageCanvas &canvas, SheetType sheetType, int offsetXIndex,
                           int offsetYIndex, QString *error, PrinterScale scale)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why.isEmpty() ? QStringLiteral("プリンターは理由を返しませんでした。") : why;
        return false;
    };
    if (!canvas.beginDocument())
        return fail(canvas.errorString());
    DrawCalibrationPage(canvas, sheetType, offsetXIndex, offsetYIndex, scale);
    if (!canvas.newPage())
        return fail(canvas.errorString());
    DrawRulerPage(canvas);
    if (!canvas.endDocument())
        return fail(canvas.errorString());
    return true;
}

} // namespace corvial
