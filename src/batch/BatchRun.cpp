// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchRun.h"

#include "app/SettingsFile.h"
#include "app/SettingsLock.h"
#include "export/WorkbookExport.h"
#include "export/XlsApi.h"
#include "job/SheetTypes.h"
#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextStream>

#include <memory>
#include <vector>

namespace corvial {

namespace {

void report(QTextStream &err, const QString &message)
{
    err << "corvial-batch: " << message << '\n';
    err.flush();
}

QString displayPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// A start.txt reached through a link is the same file as its target: whoever holds the
// lock of either name keeps us away.
QStringList lockNames(const QString &settingsPath)
{
    const QFileInfo info(settingsPath);
    QStringList names{QDir::cleanPath(info.absoluteFilePath())};
    const QString target = info.canonicalFilePath();
    if (!target.isEmpty() && target != names.constFirst())
        names << target;
    return names;
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
        *error = QStringLiteral("プリンター「%1」は CUPS に登録されていません。").arg(name);
        *error += known.isEmpty() ? QStringLiteral("\n登録されているプリンターはありません。")
                                  : QStringLiteral("\n登録されているプリンター: %1")
                                        .arg(known.join(QStringLiteral(", ")));
        return false;
    }
    printer.setPrinterName(name);
    if (!printer.isValid()) {
        *error = QStringLiteral("プリンター「%1」を使えません。").arg(name);
        return false;
    }
    return true;
}

QString summary(int sheets, int labels, int nextStart, bool numbered, int nextNumber)
{
    return QStringLiteral("印刷しました: %1 枚、%2 ラベル、次の開始位置 %3、次の番号 %4")
        .arg(sheets)
        .arg(labels)
        .arg(nextStart)
        .arg(numbered ? QString::number(nextNumber) : QStringLiteral("なし"));
}

} // namespace

int runBatch(const BatchRequest &request, QTextStream &out, QTextStream &err)
{
    LabelJob job = request.job;
    const int family = FamilyOfType(job.sheetType);
    const int perSheet = LabelsPerSheet(job.sheetType);
    const QString &settingsPath = request.settingsPath;
    for (const QString &warning : request.warnings)
        report(err, warning);

    // The start position comes from start.txt under the same lock a window holds, so that
    // neither undoes the other's save; the lock is kept until the new position is saved.
    std::vector<std::unique_ptr<SettingsLock>> locks;
    Settings settings;
    if (!settingsPath.isEmpty()) {
        if (!QFileInfo::exists(settingsPath)) {
            report(err, QStringLiteral("スタートファイルがありません。\n%1")
                            .arg(displayPath(settingsPath)));
            return BatchFailed;
        }
        // Without the lock the advanced position could not be saved safely either, so the
        // job is not printed at all.
        for (const QString &name : lockNames(settingsPath)) {
            auto lock = std::make_unique<SettingsLock>(name);
            QString error;
            if (!lock->tryLock(&error)) {
                report(err, error);
                return BatchFailed;
            }
            locks.push_back(std::move(lock));
        }
        removeStaleSettingsTemporaries(settingsPath);
        SettingsLoad load;
        QString error;
        if (!readSettingsFile(settingsPath, &load, &error)) {
            report(err, error);
            return BatchFailed;
        }
        const QString warning = settingsWarningText(load.malformedLines);
        if (!warning.isEmpty())
            report(err, warning);
        settings = load.settings;
        job.startPos = settings.family[family].startPos;
        job.offsetX = settings.family[family].offsetX;
        job.offsetY = settings.family[family].offsetY;
    }

    // The workbook first: a job whose table cannot be written is not printed, so a second
    // run does not print its labels twice.
    if (!request.xlsPath.isEmpty()) {
        LabelJob shown = job;
        if (isCircleType(shown.sheetType))
            shown.circleText = circleExportText(shown.circleText);
        const QDate date = request.exportDate.isValid() ? request.exportDate : QDate::currentDate();
        XlsCrtLibrary library;
        int32_t bookHandle = 0;
        const ExportResult result =
            writeWorkbook(library, request.xlsPath, exportJobOf(shown, date), &bookHandle);
        if (!result.written()) {
            report(err, exportErrorText(request.xlsPath, result));
            return BatchFailed;
        }
    }

    // A new QPrinter first asks the print system for its default printer, even when it is
    // then told to write a PDF: that loads CUPS with its libraries and talks to the print
    // server, a third of the whole run. A PDF needs no print-support plugin, and this
    // process loads no other plugin from here on, so none is looked for.
    if (!request.pdfPath.isEmpty())
        QCoreApplication::setLibraryPaths({});
    QPrinter printer(QPrinter::HighResolution);
    if (!request.pdfPath.isEmpty()) {
        setUpPdf(printer, request.pdfPath, request.pdfDpi);
    } else {
        QString error;
        if (!setUpPrinter(printer, request.printerName, &error)) {
            report(err, error);
            return BatchFailed;
        }
    }
    PrinterCanvas canvas(&printer);
    QString error;
    if (!printJob(canvas, job, &error)) {
        // Nothing moves on for a job that did not print.
        report(err, error);
        return BatchFailed;
    }

    const int labels = jobLabelCount(job);
    const int sheets = int(splitJob(labels, job.startPos, perSheet).size());
    const int nextStart = nextStartPos(labels, job.startPos, perSheet);
    const bool numbered = isNumberedType(job.sheetType);
    const int nextNumber =
        numbered ? advancedInitialValue(job.initialValue, job.sampleCount) : job.initialValue;
    if (!settingsPath.isEmpty()) {
        settings.family[family].startPos = nextStart;
        if (!writeSettingsFile(settingsPath, settings, &error)) {
            report(err, error + QStringLiteral("\n印刷は終わっています。次の開始位置は %1 です。")
                                    .arg(nextStart));
            return BatchFailed;
        }
    }
    out << summary(sheets, labels, nextStart, numbered, nextNumber) << '\n';
    out.flush();
    return BatchSucceeded;
}

} // namespace corvial
