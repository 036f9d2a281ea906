// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/Fonts.h"
#include "job/LabelJob.h"
#include "print/LabelGeometry.h"
#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"
#include "support/CodeProbe.h"
#include "support/SheetTypeOf.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QtTest>

using namespace corvial;

// A real print queue is needed: in CI (CORVIAL_REQUIRE_CUPS=1) its absence is a failure,
// anywhere else the test steps aside.
#define CUPS_UNAVAILABLE(why)                                                                      \
    do {                                                                                           \
        const QByteArray reason_ = QString(why).toLocal8Bit();                                     \
        if (qEnvironmentVariableIntValue("CORVIAL_REQUIRE_CUPS") == 1)                             \
            QFAIL(reason_.constData());                                                            \
        QSKIP(reason_.constData());                                                                \
    } while (false)

namespace {

constexpr int RedIndex = 5;   // ListBox19 "Red"
constexpr int WhiteIndex = 8; // ListBox21 "White"
constexpr int QueueTimeoutMs = 120000;

// The queue's PDF for the job titled `token` once the queue has finished writing it (a PDF
// ends with its %%EOF marker); empty until then.
QString finishedPdf(const QString &folder, const QString &token)
{
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    for (const QFileInfo &info : files) {
        if (!info.fileName().contains(token))
            continue;
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
            continue;
        file.seek(qMax<qint64>(0, file.size() - 64));
        if (file.readAll().contains("%%EOF"))
            return info.filePath();
    }
    return QString();
}

} // namespace

class TestCups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installJapaneseFontSubstitutions(); }
    void twoSheetsThroughTheQueue_data();
    void twoSheetsThroughTheQueue();
};

void TestCups::twoSheetsThroughTheQueue_data()
{
    QTest::addColumn<bool>("withCodes");
    QTest::newRow("labels") << false;
    // The same job with a 2-D code on every label: each decodes to its own ID.
    QTest::newRow("labels with codes") << true;
}

void TestCups::twoSheetsThroughTheQueue()
{
    QFETCH(bool, withCodes);
    const QString folder = qEnvironmentVariable("CORVIAL_CUPS_PDF_DIR");
    const QString queue = qEnvironmentVariable("CORVIAL_CUPS_QUEUE", QStringLiteral("CorvialPDF"));
    if (folder.isEmpty())
        CUPS_UNAVAILABLE("CORVIAL_CUPS_PDF_DIR names no folder that a cups-pdf queue writes to");
    if (!QDir(folder).exists())
        CUPS_UNAVAILABLE(QStringLiteral("The cups-pdf folder %1 does not exist").arg(folder));
    if (!QPrinterInfo::availablePrinterNames().contains(queue))
        CUPS_UNAVAILABLE(QStringLiteral("CUPS offers no queue %1 (is cupsd running?); it has: %2")
                             .arg(queue, QPrinterInfo::availablePrinterNames().join(u' ')));

    // Rectangle sheets from position 1 with the grid shifted 2 mm right and 2 mm up: sheet 1
    // is full, sheet 2 holds position 1 alone.
    constexpr int type = 2;
    const int perSheet = LabelsPerSheet(type);
    LabelJob job;
    job.sheetType = typeOf(type);
    job.sampleCount = perSheet + 1;
    job.startPos = 1;
    job.offsetX = 14;
    job.offsetY = 6;
    job.backColourIndex = RedIndex;
    job.textColourIndex = WhiteIndex;
    job.proofText = job.enteredText = QStringLiteral("AB");
    job.labelFont = QFont(uiFaceName());
    job.labelFont.setBold(true);
    job.code = withCodes;
    job.codePrefix = QStringLiteral("CUPS-");

    const QString token = QStringLiteral("corvialcups%1x%2")
                              .arg(QCoreApplication::applicationPid())
                              .arg(QRandomGenerator::global()->generate());
    QString pdf;
    const auto removePdf = qScopeGuard([&] {
        if (!pdf.isEmpty())
            QFile::remove(pdf);
    });

    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(queue);
    QVERIFY2(printer.isValid(), qPrintable(queue));
    QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
    printer.setDocName(token);
    {
        PrinterCanvas canvas(&printer);
        QString error;
        QVERIFY2(printJob(canvas, job, &error), qPrintable(error));
        // The canvas waited for the queue to finish the job.
        QCOMPARE(canvas.jobEnd(), JobEnd::Completed);
    }
    const int dpiX = printer.logicalDpiX();
    const int dpiY = printer.logicalDpiY();
    QVERIFY(dpiX > 0 && dpiX == dpiY); // pdftoppm rasterises at one resolution

    const bool written = QTest::qWaitFor(
        [&] { return !(pdf = finishedPdf(folder, token)).isEmpty(); }, QueueTimeoutMs);
    if (!written) {
        bool ok = false;
        const QString jobs = runTool(QStringLiteral("lpstat"), {QStringLiteral("-o"), queue}, &ok);
        QFAIL(qPrintable(QStringLiteral("No finished PDF for job %1 in %2 after %3 s; "
                                        "queue: %4; folder: %5")
                             .arg(token, folder)
                             .arg(QueueTimeoutMs / 1000)
                             .arg(jobs.trimmed(), QDir(folder).entryList(QDir::Files).join(u' '))));
    }

    bool ok = false;
    const QString info = runTool(QStringLiteral("pdfinfo"), {pdf}, &ok);
    QVERIFY2(ok, qPrintable(info));
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    QVERIFY2(pages.hasMatch(), qPrintable(info));
    QCOMPARE(pages.captured(1).toInt(), 2);
    // The queue must not have scaled or swapped the paper: the geometry below relies on it.
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(info);
    QVERIFY2(size.hasMatch(), qPrintable(info));
    const QSizeF paperPt = printer.pageLayout().fullRect(QPageLayout::Point).size();
    QVERIFY2(qAbs(size.captured(1).toDouble() - paperPt.width()) < 1.0 &&
                 qAbs(size.captured(2).toDouble() - paperPt.height()) < 1.0,
             qPrintable(QStringLiteral("%1 vs %2 x %3 pts")
                            .arg(size.captured(0))
                            .arg(paperPt.width())
                            .arg(paperPt.height())));

    // Page coordinates start at the printable area's corner; the PDF holds the whole paper.
    const QPoint origin = printer.pageRect(QPrinter::DevicePixel).topLeft().toPoint() -
                          printer.paperRect(QPrinter::DevicePixel).topLeft().toPoint();
    const LabelPositions pos =
        ComputeLabelPositions(typeOf(type).family(), job.offsetX, job.offsetY);
    const int w = LabelWidth(typeOf(type));
    const int h = LabelHeight(typeOf(type));
    auto deviceBox = [&](int s) {
        return QRect(QPoint(dotsFor(pos.labelX[s], dpiX), dotsFor(pos.labelY[s], dpiY)),
                     QPoint(dotsFor(pos.labelX[s] + w, dpiX) - 1,
                            dotsFor(pos.labelY[s] + h, dpiY) - 1))
            .translated(origin);
    };
    // Only the surroundings of a label are rasterised: the whole paper at the printer's
    // resolution would be hundreds of megabytes. A null image (and a warning) on failure.
    auto rasterise = [&](int page, const QRect &region) {
        const QString n = QString::number(page);
        const QString prefix = QDir::temp().filePath(token + QStringLiteral("-p") + n);
        bool done = false;
        const QString out =
            runTool(QStringLiteral("pdftoppm"),
                    {QStringLiteral("-r"), QString::number(dpiX), QStringLiteral("-f"), n,
                     QStringLiteral("-l"), n, QStringLiteral("-x"), QString::number(region.x()),
                     QStringLiteral("-y"), QString::number(region.y()), QStringLiteral("-W"),
                     QString::number(region.width()), QStringLiteral("-H"),
                     QString::number(region.height()), QStringLiteral("-png"),
                     QStringLiteral("-singlefile"), pdf, prefix},
                    &done);
        const QString png = prefix + QStringLiteral(".png");
        QImage img = done ? QImage(png).convertToFormat(QImage::Format_RGB32) : QImage();
        QFile::remove(png);
        if (!done)
            qWarning().noquote() << out;
        return img;
    };
    constexpr int Margin = 40;
    // The 5-dot pen reaches 2.5 dots outside the box; the queue redraws the page, so allow
    // two dots of rounding either way.
    auto checkPrinted = [&](int page, int s) {
        const QRect b = deviceBox(s);
        const QRect region = b.adjusted(-Margin, -Margin, Margin, Margin);
        const QImage img = rasterise(page, region);
        QVERIFY(!img.isNull());
        QCOMPARE(img.size(), region.size());
        const QPoint c = b.center() - region.topLeft();
        const int l = b.left() - region.left();
        const int r = b.right() - region.left();
        const int t = b.top() - region.top();
        const int bo = b.bottom() - region.top();
        const int left = firstRed(img, QPoint(l - 15, c.y()), 1, 0, 40);
        const int right = firstRed(img, QPoint(r + 15, c.y()), -1, 0, 40);
        const int top = firstRed(img, QPoint(c.x(), t - 15), 0, 1, 40);
        const int bottom = firstRed(img, QPoint(c.x(), bo + 15), 0, -1, 40);
        const QString where =
            QStringLiteral("page %1 position %2 box %3,%4 %5x%6 (origin %7,%8 at %9 dpi): "
                           "red from x %10..%11 y %12..%13")
                .arg(page)
                .arg(s)
                .arg(b.x())
                .arg(b.y())
                .arg(b.width())
                .arg(b.height())
                .arg(origin.x())
                .arg(origin.y())
                .arg(dpiX)
                .arg(left < 0 ? -1 : left + region.left())
                .arg(right < 0 ? -1 : right + region.left())
                .arg(top < 0 ? -1 : top + region.top())
                .arg(bottom < 0 ? -1 : bottom + region.top());
        QVERIFY2(qAbs(left - (l - 2)) <= 2, qPrintable(where));
        QVERIFY2(qAbs(right - (r + 2)) <= 2, qPrintable(where));
        QVERIFY2(qAbs(top - (t - 2)) <= 2, qPrintable(where));
        QVERIFY2(qAbs(bottom - (bo + 2)) <= 2, qPrintable(where));
        QVERIFY2(isRed(img.pixel(l + 8, c.y())), qPrintable(where));
    };
    auto checkBlank = [&](int page, int s) {
        const QRect b = deviceBox(s);
        const QRect region = b.adjusted(-Margin, -Margin, Margin, Margin);
        const QImage img = rasterise(page, region);
        QVERIFY(!img.isNull());
        const QPoint c = b.center() - region.topLeft();
        QVERIFY2(isWhite(img.pixel(c)) && isWhite(img.pixel(b.left() - region.left() + 8, c.y())),
                 qPrintable(QStringLiteral("page %1 position %2 is not blank").arg(page).arg(s)));
    };

    checkPrinted(1, 1);
    checkPrinted(1, 2);
    checkPrinted(1, columnsInFamily(FamilyOfType(type)) + 1);
    checkPrinted(1, perSheet);
    checkPrinted(2, 1);
    checkBlank(2, 2);
    checkBlank(2, perSheet);
    if (!withCodes)
        return;

    QVector<CodeCrop> crops;
    QStringList expected;
    for (int k = 0; k < job.sampleCount; ++k) {
        const int s = k % perSheet + 1;
        crops.append({k / perSheet + 1, codeSquare(job, pos, s, dpiX).translated(origin)});
        expected << job.codePrefix + QString::number(job.initialValue + k).rightJustified(4, u'0');
    }
    QString problem;
    const QStringList decoded = readCodes(pdf, dpiX, crops, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(decoded, expected);
}

QTEST_MAIN(TestCups)
#include "tst_cups.moc"
