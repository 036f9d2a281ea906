// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchRun.h"

#include "export/WorkbookExport.h"
#include "export/XlsCrtLibrary.h"
#include "files/SafeFile.h"
#include "job/Fonts.h"
#include "job/JobRules.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"
#include "print/CupsQueue.h"
#include "print/JobFollow.h"
#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextStream>

#include <memory>

namespace corvial {

namespace {

void report(QTextStream &err, const QString &message)
{
    err << "corvial-batch: " << message << '\n';
    err.flush();
}

// The sheet geometry is measured from the paper's corner, so a PDF page is the whole A4
// sheet without margins, drawn at the chosen resolution.
void setUpPdf(QPrinter &printer, const QString &path, int dpi)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(dpi);
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

bool setUpPrinter(QPrinter &printer, const QString &name, QString *error)
{
    const QStringList known = QPrinterInfo::availablePrinterNames();
    if (!known.contains(name)) {
        // Qt lists no printer at all when it cannot reach the server: that is no answer
        // about this printer.
        const QString server = cupsServerProblem();
        if (!server.isEmpty()) {
            *error =
                QStringLiteral("プリンター「%1」を使えません: %2").arg(visibleText(name), server);
            return false;
        }
        *error =
            QStringLiteral("プリンター「%1」は CUPS に登録されていません。").arg(visibleText(name));
        *error += known.isEmpty() ? QStringLiteral("\n登録されているプリンターはありません。")
                                  : QStringLiteral("\n登録されているプリンター: %1")
                                        .arg(visibleText(known.join(QStringLiteral(", "))));
        return false;
    }
    printer.setPrinterName(name);
    if (!printer.isValid()) {
        *error = QStringLiteral("プリンター「%1」を使えません。").arg(visibleText(name));
        return false;
    }
    return true;
}

// Locks start.txt and takes the sheet's start position and offsets from it into job.
bool takeSettings(const QString &settingsPath, SettingsLock &lock, Settings *settings,
                  LabelJob &job, QTextStream &err)
{
    if (!QFileInfo::exists(settingsPath)) {
        report(err,
               QStringLiteral("スタートファイルがありません。\n%1").arg(displayPath(settingsPath)));
        return false;
    }
    // Without the lock the advanced position could not be saved safely either, so the job
    // is not printed at all.
    QString error;
    if (!lock.tryLock(&error)) {
        report(err, error);
        return false;
    }
    removeStaleSettingsTemporaries(settingsPath);
    SettingsLoad load;
    if (!readSettingsFile(settingsPath, &load, &error)) {
        report(err, error);
        return false;
    }
    const QString warning = settingsWarningText(load.malformedLines);
    if (!warning.isEmpty())
        report(err, warning);
    *settings = load.settings;
    const int family = FamilyOfType(job.sheetType);
    job.startPos = settings->family[family].startPos;
    job.offsetX = settings->family[family].offsetX;
    job.offsetY = settings->family[family].offsetY;
    return true;
}

// Writes the job's workbook to file (a staged name of request.xlsPath).
bool writeXls(const BatchRequest &request, const LabelJob &job, const QString &file,
              QTextStream &err)
{
    LabelJob shown = job;
    shown.circleText = exportedCircleText(job);
    const QDate date = request.exportDate.isValid() ? request.exportDate : QDate::currentDate();
    XlsCrtLibrary library;
    int32_t bookHandle = 0;
    const ExportResult result = writeWorkbook(library, file, exportJobOf(shown, date), &bookHandle);
    if (!result.written()) {
        report(err, exportErrorText(request.xlsPath, result));
        return false;
    }
    return true;
}

bool printLabels(const BatchRequest &request, const LabelJob &job, QTextStream &err)
{
    // A new QPrinter first asks the print system for its default printer, even when it is
    // then told to write a PDF: that loads CUPS with its libraries and talks to the print
    // server, a third of the whole run. A PDF needs no print-support plugin, and this
    // process loads no other plugin from here on, so none is looked for.
    if (!request.pdfPath.isEmpty())
        QCoreApplication::setLibraryPaths({});
    QPrinter printer(QPrinter::HighResolution);
    QString error;
    if (!request.pdfPath.isEmpty()) {
        setUpPdf(printer, request.pdfPath, request.pdfDpi);
    } else if (!setUpPrinter(printer, request.printerName, &error)) {
        report(err, error);
        return false;
    }
    PrinterCanvas canvas(&printer);
    TimeBoundWatcher watcher(request.waitSeconds >= 0 ? request.waitSeconds
                                                      : DefaultJobWaitSeconds);
    canvas.setJobWatcher(&watcher);
    if (!printJob(canvas, job, &error)) {
        report(err, error);
        return false;
    }
    if (!canvas.notice().isEmpty())
        report(err, canvas.notice());
    return true;
}

} // namespace

int runBatch(const BatchRequest &request, QTextStream &out, QTextStream &err)
{
    LabelJob job = request.job;
    const QString &settingsPath = request.settingsPath;
    for (const QString &warning : request.warnings)
        report(err, warning);

    // A character that no installed face draws would come out as an empty box.
    const QString fontProblem = jobFontProblem(job);
    if (!fontProblem.isEmpty()) {
        report(err, fontProblem);
        return BatchFailed;
    }

    // The start position comes from start.txt under the same lock a window holds, so that
    // neither undoes the other's save; the lock is kept until the new position is saved.
    SettingsLock lock(settingsPath);
    Settings settings;
    if (!settingsPath.isEmpty() && !takeSettings(settingsPath, lock, &settings, job, err))
        return BatchFailed;

    // The workbook first, whole, under a temporary name beside it: a job whose table cannot
    // be written is not printed, so a second run does not print its labels twice. It takes
    // its name only once the labels went out (a PDF, too, replaces its file only when
    // complete), so a failed print leaves an earlier workbook and PDF as they were.
    std::unique_ptr<StagedFile> book;
    if (!request.xlsPath.isEmpty()) {
        book = std::make_unique<StagedFile>(request.xlsPath);
        QString why;
        if (!book->create(&why)) {
            report(err, QStringLiteral("Excel ファイルを作成できませんでした: %1\n%2")
                            .arg(displayPath(request.xlsPath), why));
            return BatchFailed;
        }
        if (!writeXls(request, job, book->tempPath(), err))
            return BatchFailed;
    }
    // Nothing moves on for a job that did not print.
    if (!printLabels(request, job, err))
        return BatchFailed;
    QString bookError;
    if (book && !book->commit(&bookError))
        bookError = QStringLiteral("Excel ファイルを書き込めませんでした: %1\n%2")
                        .arg(displayPath(request.xlsPath), bookError);

    const JobAdvance next = advanceAfterPrint(job);
    if (!settingsPath.isEmpty()) {
        settings.family[FamilyOfType(job.sheetType)].startPos = next.nextStartPos;
        QString error;
        if (!writeSettingsFile(settingsPath, settings, &error)) {
            report(err, error + QStringLiteral("\n印刷は終わっています。次の開始位置は %1 です。")
                                    .arg(next.nextStartPos));
            return BatchFailed;
        }
    }
    out << printedSummaryText(next) << '\n';
    out.flush();
    // The labels went out, so the start position moved on; the workbook did not follow.
    if (!bookError.isEmpty()) {
        report(err, bookError);
        return BatchFailed;
    }
    return BatchSucceeded;
}

} // namespace corvial
