// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading our PDFs back in the tests: running the command-line tools (pdfinfo, pdftoppm,
// lpstat) and finding ink on a rasterised page.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPoint>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

// Prints into the PDF file at dpi on A4 with margins of 24, 12, 12, 12 pt: 24 pt is 100 dots
// at 300 dpi, so the drawable area starts on a whole dot and label edges can be found exactly.
inline void setUpPdfPrinter(QPrinter &printer, const QString &file, int dpi)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setResolution(dpi);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(24, 12, 12, 12), QPageLayout::Point));
}

// Standard output of `tool args`; when the tool is missing, fails or times out, a text that
// starts with "MISSING" or "FAILED" (with the tool's error output) for the check to show,
// and *ok (if given) false.
inline QString runTool(const QString &tool, const QStringList &args, bool *ok = nullptr)
{
    if (ok)
        *ok = false;
    const QString exe = QStandardPaths::findExecutable(tool);
    if (exe.isEmpty())
        return QStringLiteral("MISSING ") + tool;
    QProcess p;
    p.start(exe, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("FAILED ") + tool + QLatin1Char(' ') +
               QString::fromLocal8Bit(p.readAllStandardError());
    if (ok)
        *ok = true;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Every page of the PDF at dpi, in page order, as pdftoppm draws them (beside the PDF).
inline QList<QImage> rasterisedPages(const QString &pdf, int dpi)
{
    const QString prefix = pdf + QStringLiteral("-page");
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"), pdf, prefix});
    const QFileInfo info(prefix);
    QStringList names =
        info.dir().entryList({info.fileName() + QStringLiteral("-*.png")}, QDir::Files, QDir::Name);
    // pdftoppm pads the page numbers to one width, so name order is page order.
    QList<QImage> pages;
    for (const QString &name : names)
        pages << QImage(info.dir().filePath(name)).convertToFormat(QImage::Format_RGB32);
    return pages;
}

// Pixels of two RGB32 images that differ by more than a little in any channel; more than all
// when their sizes differ.
inline int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return a.width() * a.height() + 1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (qAbs(qRed(pa[x]) - qRed(pb[x])) > 24 || qAbs(qGreen(pa[x]) - qGreen(pb[x])) > 24 ||
                qAbs(qBlue(pa[x]) - qBlue(pb[x])) > 24)
                ++n;
        }
    }
    return n;
}

inline bool isRed(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 100 && qBlue(p) < 100;
}

inline bool isWhite(QRgb p)
{
    return qRed(p) > 240 && qGreen(p) > 240 && qBlue(p) > 240;
}

// Any dark ink, whatever its colour.
inline bool isInk(QRgb p)
{
    return qGray(p) < 160;
}

// First pixel that `matches` met walking from `from` in steps (dx, dy) for at most `limit`
// pixels: its coordinate along the walk, or -1.
template <typename Match>
int firstPixel(const QImage &img, QPoint from, int dx, int dy, int limit, Match matches)
{
    for (int i = 0; i < limit; ++i) {
        const QPoint p = from + QPoint(dx * i, dy * i);
        if (img.valid(p) && matches(img.pixel(p)))
            return dx != 0 ? p.x() : p.y();
    }
    return -1;
}

inline int firstRed(const QImage &img, QPoint from, int dx, int dy, int limit)
{
    return firstPixel(img, from, dx, dy, limit, isRed);
}

inline int firstInk(const QImage &img, QPoint from, int dx, int dy, int limit)
{
    return firstPixel(img, from, dx, dy, limit, isInk);
}
