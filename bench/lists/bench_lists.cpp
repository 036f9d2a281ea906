// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a 400-sample .xlsx and a 400-sample CSV as the window and the batch printer read
// them, and prints the milliseconds of the best of several runs; then reads 16 MiB CSVs of a
// single row (millions of cells, or one huge cell) in a child process each and prints the
// time and the child's peak memory.
#include "lists/SampleList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRuns = 10;

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// Best of kRuns reads of path as a list of sheet type 8 (three columns) with a heading row.
double bestMs(const QString &path)
{
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        const corvial::SampleListRead read =
            corvial::readSampleList(path, corvial::SampleListOptions{8, true});
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!read.ok() || read.list.count() != corvial::MaxListSamples) {
            std::fprintf(stderr, "%s\n", qPrintable(read.error));
            return -1;
        }
        best = qMin(best, ms);
    }
    return best;
}

// Reads path as a list of sheet type 8 in a child process, so that its peak memory is its
// own: prints the wall time and the child's maximum resident set. A child that only starts
// and ends gives the floor every figure includes (the program and Qt).
void oneRowFigures(const char *what, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    const pid_t child = ::fork();
    if (child == 0) {
        if (!path.isEmpty()) {
            const corvial::SampleListRead read =
                corvial::readSampleList(path, corvial::SampleListOptions{8, false});
            std::fprintf(stderr, "  %s: %s\n", what,
                         read.ok() ? "read"
                                   : qPrintable(read.error.section(QLatin1Char('\n'), 1, 1)));
        }
        ::_exit(0);
    }
    int status = 0;
    struct rusage usage
    {
    };
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
        std::fprintf(stderr, "%s: no child process\n", what);
        return;
    }
    // The processor time apart, since the machine may be busy with other work.
    const auto ms = [](const timeval &t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    std::printf("%-28s %7.0f ms (%5.0f ms of processor), peak %6.1f MB\n", what,
                double(timer.nsecsElapsed()) / 1e6, ms(usage.ru_utime) + ms(usage.ru_stime),
                double(usage.ru_maxrss) / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("samples.csv"));
    const QString xlsx = dir.filePath(QStringLiteral("samples.xlsx"));

    QByteArray text = QStringLiteral("検体,採取日,備考\r\n").toUtf8();
    for (int i = 1; i <= corvial::MaxListSamples; ++i)
        text += QStringLiteral("血清-%1,2026/12/%2,\"A,%3\"\r\n")
                    .arg(i)
                    .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                    .arg(i)
                    .toUtf8();
    if (!writeFile(csv, text))
        return 1;

    const QString script = QStringLiteral(R"(
import datetime, sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.append(['検体', '採取日', '値'])
for i in range(1, 401):
    ws.append(['血清-%d' % i, datetime.date(2026, 12, i % 28 + 1), i / 7])
wb.save(sys.argv[1])
)");
    QProcess python;
    python.start(QStringLiteral(CORVIAL_OPENPYXL_PYTHON), {QStringLiteral("-c"), script, xlsx});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        std::fprintf(stderr, "openpyxl could not write the workbook: %s\n",
                     python.readAllStandardError().constData());
        return 1;
    }

    const double csvMs = bestMs(csv);
    const double xlsxMs = bestMs(xlsx);
    if (csvMs < 0 || xlsxMs < 0)
        return 1;
    std::printf("list 400-row CSV:  %.2f ms (target < 50 ms)\n", csvMs);
    std::printf("list 400-row xlsx: %.2f ms (target < 50 ms)\n", xlsxMs);

    // The largest list file there may be, all in its first row (targets: 2 s, 200 MB).
    const QString cells = dir.filePath(QStringLiteral("cells.csv"));
    const QString cell = dir.filePath(QStringLiteral("cell.csv"));
    {
        QByteArray row;
        row.reserve(corvial::MaxListFileBytes);
        // Plain and quoted cells, two per 9 bytes, and a last cell of x filling up.
        while (row.size() + 9 <= corvial::MaxListFileBytes)
            row += "a,\"b\"\"c\",";
        row.append(corvial::MaxListFileBytes - row.size(), 'x');
        if (!writeFile(cells, row))
            return 1;
        row.fill('x', corvial::MaxListFileBytes);
        if (!writeFile(cell, row))
            return 1;
    }
    oneRowFigures("start and end only", QString());
    oneRowFigures("16 MiB, 3.7 million cells", cells);
    oneRowFigures("16 MiB, one cell", cell);
    return csvMs < 50 && xlsxMs < 50 ? 0 : 1;
}
