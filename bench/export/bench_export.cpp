// SPDX-License-Identifier: GPL-3.0-or-later
// Time of one export of the largest job (400 samples) through the real library, from the
// first call to the written file.
#include "export/WorkbookExport.h"
#include "export/XlsCrtLibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 15;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_export: no temporary directory\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("bench.xls"));

    corvial::ExportJob job;
    job.sheetType = corvial::SheetType::fromCode(8).value();
    job.sampleCount = 400;
    job.initialValue = 1;
    job.proofText = QStringLiteral(u"血清サンプル\nLOT-2026-12");
    job.textColourIndex = 2;
    job.backColourIndex = 1;
    job.date = QDate::currentDate();

    corvial::XlsCrtLibrary library;
    int32_t bookHandle = 0;
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        const corvial::ExportResult result =
            corvial::writeWorkbook(library, path, job, &bookHandle);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!result.written()) {
            std::fprintf(stderr, "bench_export: %s\n",
                         qPrintable(corvial::exportErrorText(path, result)));
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("bench_export: 400 rows, median %.2f ms (min %.2f, max %.2f, %d runs), "
                "file %lld bytes\n",
                ms[ms.size() / 2], ms.front(), ms.back(), kRuns,
                static_cast<long long>(QFileInfo(path).size()));
    return 0;
}
