// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrinterCanvas.h"

#include <numeric>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLineF>
#include <QPaintEngine>
#include <QPrinter>
#include <QRectF>

namespace corvial {

namespace {

QRectF boxOf(int x1, int y1, int x2, int y2)
{
    return QRectF(x1, y1, x2 - x1, y2 - y1);
}

} // namespace

PrinterCanvas::PrinterCanvas(QPrinter *printer)
    : mPrinter(printer), mPen(Qt::black, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
{
}

PrinterCanvas::~PrinterCanvas()
{
    // A job that failed half-way leaves the painter open; closing it here hands the printer
    // back in a usable state instead of leaving a half-begun document behind.
    if (mPainter.isActive())
        mPainter.end();
}

int PrinterCanvas::resolutionX() const
{
    return mPrinter ? mPrinter->logicalDpiX() : 0;
}

int PrinterCanvas::resolutionY() const
{
    return mPrinter ? mPrinter->logicalDpiY() : 0;
}

bool PrinterCanvas::beginDocument()
{
    mError.clear();
    if (!mPrinter)
        return fail(QStringLiteral("印刷できませんでした。プリンターが選ばれていません。"));
    if (mPainter.isActive())
        return fail(
            QStringLiteral("印刷を始められませんでした: %1\n別の印刷がまだ終わっていません。")
                .arg(targetName()));
    // QPainter::begin only says "false" when a print file cannot be created; opening it
    // ourselves first gets the system's reason to show to the user. A preview draws into
    // pictures and never writes the file, and opening it would empty a file printed earlier.
    const QString file = mPrinter->outputFileName();
    if (!file.isEmpty() && !drawsPreview()) {
        QFile probe(file);
        if (!probe.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("印刷ファイルを書き込めませんでした: %1\n%2")
                            .arg(QDir::toNativeSeparators(file), probe.errorString()));
    }
    if (!mPainter.begin(mPrinter))
        return fail(QStringLiteral(
                        "印刷を始められませんでした: %1\nプリンターが印刷を受け付けませんでした。")
                        .arg(targetName()));
    if (printerFailed()) {
        mPainter.end();
        return fail(
            QStringLiteral("印刷を始められませんでした: %1\nプリンターがエラーを報告しました。")
                .arg(targetName()));
    }
    mPainter.setRenderHint(QPainter::Antialiasing);
    mPainter.setFont(mFont);
    return true;
}

bool PrinterCanvas::newPage()
{
    if (!mPainter.isActive())
        return fail(QStringLiteral("印刷できませんでした: %1\n印刷中の文書がありません。")
                        .arg(targetName()));
    if (!mPrinter->newPage() || printerFailed())
        return fail(QStringLiteral(
                        "次のシートを始められませんでした: %1\nプリンターがエラーを報告しました。")
                        .arg(targetName()));
    return true;
}

bool PrinterCanvas::endDocument()
{
    if (!mPainter.isActive())
        return fail(QStringLiteral("印刷できませんでした: %1\n印刷中の文書がありません。")
                        .arg(targetName()));
    const bool ended = mPainter.end();
    if (!ended || printerFailed())
        return fail(
            QStringLiteral("印刷を終えられませんでした: %1\nプリンターがエラーを報告しました。")
                .arg(targetName()));
    return true;
}

void PrinterCanvas::setPen(int widthDots, ColourValue colour)
{
    mPen.setWidth(qMax(widthDots, 0));
    mPen.setColor(toQColor(colour));
}

void PrinterCanvas::setSolidBrush(ColourValue colour)
{
    mBrushSolid = true;
    mBrushColour = toQColor(colour);
}

void PrinterCanvas::clearBrush()
{
    mBrushSolid = false;
}

void PrinterCanvas::ellipse(int x1, int y1, int x2, int y2)
{
    if (!mPainter.isActive())
        return;
    prepareShape();
    mPainter.drawEllipse(boxOf(x1, y1, x2, y2));
}

void PrinterCanvas::rectangle(int x1, int y1, int x2, int y2)
{
    if (!mPainter.isActive())
        return;
    prepareShape();
    mPainter.drawRect(boxOf(x1, y1, x2, y2));
}

void PrinterCanvas::fillRectangles(const QVector<QRect> &rects, ColourValue colour)
{
    if (!mPainter.isActive() || rects.isEmpty())
        return;
    // One call for all of them: a PDF then gets one fill of many rectangles instead of one
    // fill with its own state per module.
    mPainter.setPen(Qt::NoPen);
    mPainter.setBrush(toQColor(colour));
    // Rectangles on a common grid (the modules of a code) go to the page in units of that
    // grid: a PDF then holds small numbers, which makes it smaller and quicker to compress.
    const QPoint origin = rects.first().topLeft();
    int grid = 0;
    for (const QRect &r : rects) {
        for (const int v : {r.x() - origin.x(), r.y() - origin.y(), r.width(), r.height()})
            grid = std::gcd(grid, v);
    }
    if (grid <= 1 || rects.size() == 1) {
        mPainter.drawRects(rects.constData(), int(rects.size()));
        return;
    }
    QVector<QRect> inGrid;
    inGrid.reserve(rects.size());
    for (const QRect &r : rects)
        inGrid.append(QRect((r.x() - origin.x()) / grid, (r.y() - origin.y()) / grid,
                            r.width() / grid, r.height() / grid));
    mPainter.save();
    mPainter.translate(origin);
    mPainter.scale(grid, grid);
    mPainter.drawRects(inGrid.constData(), int(inGrid.size()));
    mPainter.restore();
}

void PrinterCanvas::line(int x1, int y1, int x2, int y2)
{
    if (!mPainter.isActive())
        return;
    mPainter.setPen(mPen);
    mPainter.drawLine(QLineF(x1, y1, x2, y2));
}

void PrinterCanvas::setFont(const QFont &face)
{
    const int points = mFont.pointSize();
    mFont = face;
    if (points > 0)
        mFont.setPointSize(points);
    if (mPainter.isActive())
        mPainter.setFont(mFont);
}

void PrinterCanvas::setFontSize(int points)
{
    mFont.setPointSize(qMax(points, 1));
    if (mPainter.isActive())
        mPainter.setFont(mFont);
}

void PrinterCanvas::setFontColour(ColourValue colour)
{
    mFontColour = toQColor(colour);
}

void PrinterCanvas::textOut(int x, int y, const QString &text)
{
    if (!mPainter.isActive() || text.isEmpty())
        return;
    const QFontMetrics metrics = mPainter.fontMetrics();
    if (mBrushSolid)
        mPainter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                          mBrushColour);
    mPainter.setPen(mFontColour);
    mPainter.drawText(QPoint(x, y + metrics.ascent()), text);
}

int PrinterCanvas::textWidth(const QString &text) const
{
    if (mPainter.isActive())
        return mPainter.fontMetrics().horizontalAdvance(text);
    return mPrinter ? QFontMetrics(mFont, mPrinter).horizontalAdvance(text) : 0;
}

QString PrinterCanvas::errorString() const
{
    return mError;
}

bool PrinterCanvas::fail(const QString &message)
{
    mError = message;
    return false;
}

QString PrinterCanvas::targetName() const
{
    if (!mPrinter)
        return QStringLiteral("プリンター");
    if (!mPrinter->outputFileName().isEmpty())
        return QDir::toNativeSeparators(mPrinter->outputFileName());
    if (!mPrinter->printerName().isEmpty())
        return mPrinter->printerName();
    return QStringLiteral("プリンター");
}

bool PrinterCanvas::printerFailed() const
{
    return !mPrinter || mPrinter->printerState() == QPrinter::Error;
}

bool PrinterCanvas::drawsPreview() const
{
    // QPrintPreviewWidget swaps in its own engine, which records pages as pictures.
    const QPaintEngine *engine = mPrinter ? mPrinter->paintEngine() : nullptr;
    return engine && engine->type() == QPaintEngine::Picture;
}

void PrinterCanvas::prepareShape()
{
    mPainter.setPen(mPen);
    if (mBrushSolid)
        mPainter.setBrush(mBrushColour);
    else
        mPainter.setBrush(Qt::NoBrush);
}

} // namespace corvial
