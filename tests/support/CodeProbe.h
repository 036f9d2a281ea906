// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading the 2-D codes of a printed PDF back: pages rasterised with pdftoppm, each label's
// code square cut out, and all of them decoded by dmtxread.

#include "barcode/CodeRules.h"
#include "job/LabelJob.h"
#include "job/LabelLayout.h"
#include "print/LabelGeometry.h"
#include "support/PdfProbe.h"

#include <QFile>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

// One label's code to read: the page and the region in that page's pixels.
struct CodeCrop
{
    int page;
    QRect region;
};

// The code square of label S (with a margin of one module) in dots from the top-left
// corner of the page's drawable area.
inline QRect codeSquare(const corvial::LabelJob &job, const corvial::LabelPositions &pos, int S,
                        int dpi)
{
    using namespace corvial;
    const CodeLayout *row = codeLayout(job.sheetType);
    if (!row)
        return QRect();
    const int margin = moduleDots(dpi);
    const int x = pos.labelX[S] + row->code.left;
    const int mid = pos.labelY[S] + LabelHeight(job.sheetType) / 2;
    // At a printer scale the square moves with its label but keeps its size in dots.
    const int left = pos.dotsX(x, dpi);
    const int middle = pos.dotsY(mid, dpi);
    return QRect(
        QPoint(left - margin,
               middle - (dotsFor(mid, dpi) - dotsFor(mid - row->code.side / 2, dpi)) - margin),
        QPoint(left + dotsFor(x + row->code.side, dpi) - dotsFor(x, dpi) + margin,
               middle + dotsFor(mid + row->code.side / 2, dpi) - dotsFor(mid, dpi) + margin));
}

// Rasterises region of page `page` of the PDF at dpi (in grey); a null image and *problem
// set on failure.
inline QImage rasterisePage(const QString &pdf, int page, int dpi, const QRect &region,
                            QString *problem)
{
    const QString n = QString::number(page);
    const QString prefix = pdf + QStringLiteral("-p") + n;
    const QStringList args{QStringLiteral("-r"),
                           QString::number(dpi),
                           QStringLiteral("-f"),
                           n,
                           QStringLiteral("-l"),
                           n,
                           QStringLiteral("-x"),
                           QString::number(region.x()),
                           QStringLiteral("-y"),
                           QString::number(region.y()),
                           QStringLiteral("-W"),
                           QString::number(region.width()),
                           QStringLiteral("-H"),
                           QString::number(region.height()),
                           QStringLiteral("-gray"),
                           QStringLiteral("-png"),
                           QStringLiteral("-singlefile"),
                           pdf,
                           prefix};
    bool ok = false;
    *problem = runTool(QStringLiteral("pdftoppm"), args, &ok);
    if (!ok)
        return QImage();
    problem->clear();
    const QImage img(prefix + QStringLiteral(".png"));
    QFile::remove(prefix + QStringLiteral(".png"));
    return img;
}

// The texts of the codes in the crops, in their order, one per symbol found (a crop that
// holds none gives nothing, so the list is shorter). Each crop is rasterised on its own: a
// whole page at a printer's resolution can take gigabytes. *problem says what failed when a
// tool did; the list is then empty.
inline QStringList readCodes(const QString &pdf, int dpi, const QVector<CodeCrop> &crops,
                             QString *problem)
{
    QStringList files;
    for (int i = 0; i < crops.size(); ++i) {
        const QImage code = rasterisePage(pdf, crops.at(i).page, dpi, crops.at(i).region, problem);
        const QString file =
            QStringLiteral("%1-code%2.png").arg(pdf).arg(i, 3, 10, QLatin1Char('0'));
        if (code.isNull() || !code.save(file)) {
            problem->prepend(QStringLiteral("crop %1 of page %2: ").arg(i).arg(crops.at(i).page));
            return {};
        }
        files << file;
    }
    bool ok = false;
    // One symbol per picture, square symbols only: the reader stops looking once it has it.
    const QString out = runTool(
        QStringLiteral("dmtxread"),
        QStringList{QStringLiteral("-n"), QStringLiteral("-N1"), QStringLiteral("-ss")} + files,
        &ok);
    for (const QString &f : files)
        QFile::remove(f);
    if (!ok) {
        *problem = out;
        return {};
    }
    problem->clear();
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
