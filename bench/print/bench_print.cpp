// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the largest jobs of every sheet type through the real printer path into PDF files
// and prints how long each took and how much memory the process needed at its peak.
#include "job/Fonts.h"
#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace corvial;

namespace {

constexpr int Dpi = 600;
constexpr double GoalMs = 1000.0;

struct Result
{
    bool ok;
    int sheets;
    double ms;
    qint64 bytes;
    QString error;
};

LabelJob largestJob(int sheetType, int startPos)
{
    LabelJob job;
    job.sheetType = SheetType::fromCode(sheetType).value();
    job.sampleCount = MaxJobLabels / 2;
    job.repeatCount = 2;
    job.initialValue = 9801;
    job.startPos = startPos;
    job.enteredText = QStringLiteral("ABCDE");
    // What the type's proof holds: a memo or marker, or the lines of a number label.
    job.proofText = proofKindOf(sheetType) == ProofKind::Memo
                        ? QStringLiteral("－８０℃\n保管\n棚 3\n箱 12")
                        : QStringLiteral("検体ABC\nLot 42\n2024");
    job.textColourIndex = 1;
    job.backColourIndex = 1;
    job.labelFont = QFont(uiFaceName());
    job.labelFont.setBold(true);
    return job;
}

Result render(const LabelJob &job, const QString &file)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setResolution(Dpi);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
    PrinterCanvas canvas(&printer);
    Result r{};
    r.sheets =
        int(splitJob(job.sampleCount * job.repeatCount, job.startPos, job.sheetType.family().labels)
                .size());
    QElapsedTimer timer;
    timer.start();
    r.ok = printJob(canvas, job, &r.error);
    r.ms = double(timer.nsecsElapsed()) / 1e6;
    r.bytes = QFileInfo(file).size();
    return r;
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    installJapaneseFontSubstitutions();
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_print: no temporary directory\n");
        return 1;
    }

    // The first job also loads and caches the fonts; keep that out of the figures.
    render(largestJob(1, 1), dir.filePath(QStringLiteral("warmup.pdf")));

    std::printf("bench_print: %d labels per job, PDF at %d dpi\n", MaxJobLabels, Dpi);
    std::printf("type family start sheets   ms/job  ms/sheet   PDF KiB\n");
    double worst = 0;
    bool allOk = true;
    for (int type = 1; type <= SheetTypeCount; ++type) {
        for (int start : {1, LabelsPerSheet(type)}) {
            const QString file = dir.filePath(QStringLiteral("t%1-s%2.pdf").arg(type).arg(start));
            const Result r = render(largestJob(type, start), file);
            if (!r.ok) {
                std::printf("%4d %6d %5d  failed: %s\n", type, FamilyOfType(type), start,
                            qPrintable(r.error));
                allOk = false;
                continue;
            }
            worst = qMax(worst, r.ms);
            std::printf("%4d %6d %5d %6d %8.1f %9.1f %9lld\n", type, FamilyOfType(type), start,
                        r.sheets, r.ms, r.ms / r.sheets, r.bytes / 1024);
        }
    }
    std::printf("slowest job %.1f ms (goal < %.0f ms: %s)\n", worst, GoalMs,
                worst < GoalMs ? "met" : "missed");
    std::printf("peak memory (ru_maxrss) %ld KiB\n", peakKiB());
    return allOk ? 0 : 1;
}
