// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a 400-sample .xlsx and a 400-sample CSV as the window and the batch printer read
// them, and prints the milliseconds of the best of several runs. Then reads the worst
// workbooks within the size bounds, each in a child process, and prints its time and peak
// memory.
#include "CompoundFile.h"
#include "lists/SampleList.h"

#include <QBuffer>

#include <quazip.h>
#include <quazipfile.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

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
        const corvial::SampleListRead read = corvial::readSampleList(
            path, corvial::SampleListOptions{corvial::SheetType::fromCode(8).value(), true});
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!read.ok() || read.list.count() != corvial::MaxListSamples) {
            std::fprintf(stderr, "%s\n", qPrintable(read.error));
            return -1;
        }
        best = qMin(best, ms);
    }
    return best;
}

QByteArray zipOf(const QList<QPair<QString, QByteArray>> &parts)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    zip.open(QuaZip::mdCreate);
    for (const auto &[name, data] : parts) {
        QuaZipFile f(&zip);
        f.open(QIODevice::WriteOnly, QuaZipNewInfo(name));
        f.write(data);
        f.close();
    }
    zip.close();
    return bytes;
}

QByteArray xlsxWithSheet(const QByteArray &sheetData)
{
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const QByteArray rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    return zipOf({{QStringLiteral("_rels/.rels"),
                   rels + "<Relationship Id=\"r\" Type=\"" + rel +
                       "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
                  {QStringLiteral("xl/workbook.xml"),
                   "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                       "\"><sheets><sheet name=\"s\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
                       "</workbook>"},
                  {QStringLiteral("xl/_rels/workbook.xml.rels"),
                   rels + "<Relationship Id=\"rId1\" Type=\"" + rel +
                       "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
                  {QStringLiteral("xl/worksheets/sheet1.xml"), "<worksheet xmlns=\"" + main +
                                                                   "\"><sheetData>" + sheetData +
                                                                   "</sheetData></worksheet>"}});
}

void put16(QByteArray &b, int v)
{
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

QByteArray record(int id, const QByteArray &data)
{
    QByteArray r;
    put16(r, id);
    put16(r, int(data.size()));
    return r + data;
}

// A one-sheet BIFF8 workbook whose DIMENSIONS claim 65536 x 256 cells, holding 400 rows of
// three numbers (as RK records) and one more in the last row and column.
QByteArray xlsClaimingEverything()
{
    QByteArray bof;
    for (int v : {0x0600, 0x0005, 0x0DBB, 0x07CC, 0, 0, 6, 0})
        put16(bof, v);
    QByteArray sheetBof = bof;
    sheetBof[2] = 0x10;
    QByteArray globals = record(0x0809, bof) + record(0x00E0, QByteArray(20, '\0'));
    const qsizetype at = globals.size() + 4;
    globals += record(0x0085, QByteArray("\0\0\0\0\0\0\1\0S", 9)) + record(0x000A, {});
    QByteArray dims;
    for (int v : {0, 0, 0, 1, 0, 256, 0})
        put16(dims, v);
    QByteArray cells;
    const auto rk = [&](int row, int column) {
        QByteArray d;
        for (int v : {row, column, 0, (row * 4 + 2) & 0xFFFF, 0})
            put16(d, v);
        cells += record(0x027E, d);
    };
    for (int r = 0; r <= corvial::MaxListSamples; ++r)
        for (int c = 0; c < 3; ++c)
            rk(r, c);
    rk(65535, 255);
    QByteArray stream = globals;
    const quint32 offset = quint32(stream.size());
    for (int k = 0; k < 4; ++k)
        stream[at + k] = char((offset >> (8 * k)) & 0xFF);
    stream += record(0x0809, sheetBof) + record(0x0200, dims) + cells + record(0x000A, {});
    return xlscrt::compoundFile(stream);
}

// Reads path as a list in a child process; prints the wall time and the child's peak memory.
void worstCase(const char *label, const QString &path)
{
    // A fresh process, so the peak is the reader's alone and not what this one built.
    const QByteArray self = QCoreApplication::applicationFilePath().toLocal8Bit();
    const QByteArray file = path.toLocal8Bit();
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child == 0) {
        execl(self.constData(), self.constData(), "--read", file.constData(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    std::printf("list worst %s: %.0f ms, peak %.0f MB\n", label, double(timer.nsecsElapsed()) / 1e6,
                double(usage.ru_maxrss) / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--read") == 0) {
        const corvial::ListTableRead read = corvial::readListTable(QString::fromLocal8Bit(argv[2]));
        std::printf("  %s\n",
                    read.ok()
                        ? qPrintable(QStringLiteral("%1 cells kept").arg(read.table.cells.size()))
                        : qPrintable(read.reason.left(80)));
        return 0;
    }
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

    // Worst cases within the bounds (targets: 2 s, 200 MB each).
    const QString bomb = dir.filePath(QStringLiteral("unpacks-63MiB.xlsx"));
    const QString wide = dir.filePath(QStringLiteral("4M-cells-in-full-rows.xlsx"));
    const QString single = dir.filePath(QStringLiteral("4M-cells-in-a-row.xlsx"));
    const QString claims = dir.filePath(QStringLiteral("claims-65536x256.xls"));
    QByteArray padding(63 * 1024 * 1024, ' ');
    // Four million cells in one row is no worksheet (a row ends at column XFD) and is refused
    // at its 16385th cell; the most a real sheet can ask for is full rows of 16384 cells.
    QByteArray oneRow = "<row r=\"1\">";
    oneRow.reserve(4000000 * 15 + 32);
    for (int i = 0; i < 4000000; ++i)
        oneRow += "<c><v>1</v></c>";
    oneRow += "</row>";
    QByteArray row;
    row.reserve(4000000 * 15 + 245 * 32);
    for (int r = 1; r <= 245; ++r) {
        row += "<row r=\"" + QByteArray::number(r) + "\">";
        for (int i = 0; i < 16384; ++i)
            row += "<c><v>1</v></c>";
        row += "</row>";
    }
    if (!writeFile(bomb, xlsxWithSheet(padding + "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")) ||
        !writeFile(wide, xlsxWithSheet(row)) || !writeFile(single, xlsxWithSheet(oneRow)) ||
        !writeFile(claims, xlsClaimingEverything()))
        return 1;
    padding.clear();
    row.clear();
    oneRow.clear();
    // The floor every figure below includes: a process that reads a small list.
    worstCase("baseline, 400-row CSV", csv);
    worstCase("xlsx unpacking to 63 MiB", bomb);
    worstCase("xlsx 4M cells in one row", single);
    worstCase("xlsx 4M cells in 245 full rows", wide);
    worstCase("xls claiming 65536x256 cells", claims);

    // The largest CSV there may be, all in its first row.
    const QString cells = dir.filePath(QStringLiteral("cells.csv"));
    const QString cell = dir.filePath(QStringLiteral("cell.csv"));
    {
        QByteArray line;
        line.reserve(corvial::MaxListFileBytes);
        // Plain and quoted cells, two per 9 bytes, and a last cell of x filling up.
        while (line.size() + 9 <= corvial::MaxListFileBytes)
            line += "a,\"b\"\"c\",";
        line.append(corvial::MaxListFileBytes - line.size(), 'x');
        if (!writeFile(cells, line))
            return 1;
        line.fill('x', corvial::MaxListFileBytes);
        if (!writeFile(cell, line))
            return 1;
    }
    worstCase("CSV 16 MiB, 3.7 million cells", cells);
    worstCase("CSV 16 MiB, one cell", cell);
    return csvMs < 50 && xlsxMs < 50 ? 0 : 1;
}
