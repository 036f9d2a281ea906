// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchRun.h"

#include "BatchReprint.h"

#include "barcode/CodeRules.h"
#include "export/WorkbookExport.h"
#include "export/XlsCrtLibrary.h"
#include "files/SafeFile.h"
#include "history/PrintRecorder.h"
#include "job/JobRules.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"
#include "print/CupsQueue.h"
#include "print/JobFollow.h"
#include "print/PrintJob.h"
#include "sequence/CupsJobLookup.h"
#include "sequence/PrintSequence.h"
#include "settings/CompanionSettings.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLock.h"

#include <QCoreApplication>
#include <QFileDevice>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <optional>

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

bool settingsExist(const QString &settingsPath, QTextStream &err)
{
    if (QFileInfo::exists(settingsPath))
        return true;
    report(err,
           QStringLiteral("スタートファイルがありません。\n%1").arg(displayPath(settingsPath)));
    return false;
}

// Locks start.txt and takes the sheet's start position and offsets from it into job.
bool takeSettings(const QString &settingsPath, SettingsLock &lock, Settings *settings,
                  LabelJob &job, QTextStream &err)
{
    if (!settingsExist(settingsPath, err))
        return false;
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
    const int family = job.sheetType.info().family;
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
    shown.proofText = exportedProofText(job);
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

// The program's own start.txt, the one the installed window reads: the executable's folder
// is found with links resolved, so /usr/bin/corvial-batch leads to the program folder, whose
// start.txt is the package's link to the shared one.
QString ownSettingsPath()
{
    return settingsFilePath(QCoreApplication::applicationDirPath());
}

QString historySettingsPath(const BatchRequest &request)
{
    return historySettingsOf(request.settingsPath);
}

// False after telling err that there is no history to read, when neither --history-db nor a
// start.txt names one.
bool historyNamed(const BatchRequest &request, const QString &historySettings, QTextStream &err)
{
    if (!request.historyDb.isEmpty() || !historySettings.isEmpty())
        return true;
    report(err, QStringLiteral("印刷履歴がありません。プログラムのスタートファイルがありません: "
                               "%1\n--settings か --history-db で履歴を指定してください。")
                    .arg(displayPath(ownSettingsPath())));
    return false;
}

// CUPS asked about the waiting jobs of a history. A server that drops packets would hold
// each request for libcups' own half minute, so whether it answers at all is asked first,
// once, within the print library's short connect time; recheckWaitingJobs asks about no
// further job once one went unanswered.
std::function<JobPhaseLookup> boundedCupsLookup()
{
    auto server = std::make_shared<std::optional<QString>>();
    return [server](const QList<QueuedJob> &jobs) {
        if (!server->has_value())
            *server = cupsServerProblem();
        if ((*server)->isEmpty())
            return cupsJobLooks(jobs);
        QMap<int, QueuedJobLook> none;
        for (const QueuedJob &job : jobs)
            none.insert(job.cupsJobId, QueuedJobLook{QueuedJobState::NoAnswer, **server, {}});
        return none;
    };
}

// Opens the request's history, which must be there already (only a print makes one): the
// --history-db, else the one of historySettings; and first marks the jobs an earlier run left
// waiting that CUPS has since ended unprinted, so that the listing, a reprint and the user see
// them. What the check finds or cannot find is told on err and changes no exit status. False with
// the message reported when it cannot open.
bool openHistory(const BatchRequest &request, const QString &historySettings,
                 PrintRecorder &history, QTextStream &err)
{
    QString error;
    const bool opened =
        request.historyDb.isEmpty()
            ? history.openForSettings(historySettings, &error, HistoryOpenMode::ExistingOnly)
            : history.openValue(request.historyDb, &error, HistoryOpenMode::ExistingOnly);
    if (!opened) {
        report(err, error);
        return false;
    }
    for (const QString &message : history.recheckWaiting(cupsServerName(), boundedCupsLookup()))
        report(err, message);
    return true;
}

// Hands what device buffered to the system. False when it could not.
bool writeThrough(QIODevice *device)
{
    auto *file = qobject_cast<QFileDevice *>(device);
    return !file || file->flush();
}

// The history, oldest first as a log reads.
int writeHistory(const BatchRequest &request, QTextStream &out, QTextStream &err)
{
    const QString historySettings = historySettingsPath(request);
    // A mistyped --settings lists nothing rather than an empty history.
    if (!request.settingsPath.isEmpty() && !settingsExist(request.settingsPath, err))
        return BatchFailed;
    if (!historyNamed(request, historySettings, err))
        return BatchFailed;
    PrintRecorder history(QStringLiteral("corvial-batch"));
    if (!openHistory(request, historySettings, history, err))
        return BatchFailed;
    bool more = false;
    QString error;
    // The listing is UTF-8 already; passed through the text stream it would be decoded and
    // encoded again. It goes out a page at a time, so a long history is never held whole.
    out.flush();
    QIODevice *device = out.device();
    bool begun = false;
    const auto write = [device, &begun](const QByteArray &text, QString *writeError) {
        if (device && device->write(text) == text.size() && writeThrough(device)) {
            begun = true;
            return true;
        }
        *writeError = QStringLiteral("印刷履歴を標準出力に書き出せませんでした: %1")
                          .arg(device ? device->errorString() : QString());
        return false;
    };
    if (!history.writeHistory(request.historySince, request.historyJson, write, &more, &error)) {
        // Pages already out stay out; the reader is told that the listing ends early.
        report(err,
               begun ? error + QStringLiteral("\n標準出力の一覧は途中で終わっています。") : error);
        return BatchFailed;
    }
    if (more) {
        report(err, QStringLiteral("履歴が多いため、古いものを書き出していません。"
                                   "--since で期間を絞ってください。"));
        return BatchFailed;
    }
    return BatchSucceeded;
}

// The job of the record the request prints again, as much of it as --only asks for, placed
// as the request says; a record that breaks a job rule is refused before anything moves.
int reprintOf(const BatchRequest &request, PrintRecorder &history, LabelJob *job, QTextStream &err)
{
    const QString refusal = reprintRefusal(request, history, job);
    if (refusal.isEmpty())
        return BatchSucceeded;
    report(err, refusal);
    return BatchRefused;
}

// Writes the job's workbook whole under a temporary name beside request.xlsPath, into *book;
// true when there is none to write. False after telling err.
bool stageWorkbook(const BatchRequest &request, const LabelJob &job,
                   std::unique_ptr<StagedFile> *bookOut, QTextStream &err)
{
    std::unique_ptr<StagedFile> &book = *bookOut;
    if (request.xlsPath.isEmpty())
        return true;
    book = std::make_unique<StagedFile>(request.xlsPath);
    QString why;
    if (!book->create(&why)) {
        report(err, QStringLiteral("Excel ファイルを作成できませんでした: %1\n%2")
                        .arg(displayPath(request.xlsPath), why));
        return false;
    }
    return writeXls(request, job, book->tempPath(), err);
}

// Saves the family's next start position in start.txt after a print. False with the message,
// which then says the labels did print.
bool saveNextStart(const QString &settingsPath, Settings *settings, const LabelJob &job,
                   const JobAdvance &next, QString *error)
{
    settings->family[job.sheetType.info().family].startPos = next.nextStartPos;
    QString why;
    if (writeSettingsFile(settingsPath, *settings, &why))
        return true;
    *error =
        why +
        QStringLiteral("\n印刷は終わっています。次の開始位置は %1 です。").arg(next.nextStartPos);
    return false;
}

// A reprint takes its job from the history, so that is opened first; beside a start.txt
// that is not there no history is made.
int takeReprint(const BatchRequest &request, const QString &historySettings, PrintRecorder &history,
                LabelJob *job, QTextStream &err)
{
    if (!request.settingsPath.isEmpty() && !settingsExist(request.settingsPath, err))
        return BatchFailed;
    if (!historyNamed(request, historySettings, err) ||
        !openHistory(request, historySettings, history, err))
        return BatchFailed;
    return reprintOf(request, history, job, err);
}

void reportWarnings(const BatchRequest &request, QTextStream &err)
{
    for (const QString &warning : request.warnings)
        report(err, warning);
    // What corvial.ini holds that the program does not know is said, never passed over.
    if (!request.settingsPath.isEmpty())
        for (const QString &warning : companionSettingsWarnings(request.settingsPath))
            report(err, warning);
}

PrintRequest printRequest(const BatchRequest &request, const LabelJob &job,
                          const QString &historySettings, const PrintRecorder &history)
{
    PrintRequest print;
    print.job = job;
    print.settingsPath = request.settingsPath;
    print.historyDb = request.historyDb;
    print.historySettings = historySettings;
    print.scaleXPermille = request.scaleXGiven;
    print.scaleYPermille = request.scaleYGiven;
    print.listFile = request.listFile;
    print.listSha256 = request.listSha256;
    print.jobFile = request.jobFile;
    print.jobSha256 = request.jobSha256;
    if (request.mode == BatchRequest::Mode::Reprint) {
        print.reprintOf = request.reprintId;
        print.reprintNextNumber = history.unchangedNextNumber();
    }
    return print;
}

// The batch printer's way through the print steps: refused rather than asked, the printer
// or PDF from its options, the new start position saved in start.txt. What the policy's
// calls use (printer, settings, job) outlives the print.
PrintPolicy batchPolicy(const BatchRequest &request, const QString &historySettings,
                        std::unique_ptr<QPrinter> &printer, JobWatcher &watcher, Settings &settings,
                        const LabelJob &job)
{
    PrintPolicy policy;
    policy.program = QStringLiteral("corvial-batch");
    policy.record =
        !request.noHistory && (!request.historyDb.isEmpty() || !historySettings.isEmpty());
    policy.historyOpened = [](PrintRecorder &opened) {
        return opened.recheckWaiting(cupsServerName(), boundedCupsLookup());
    };
    policy.choosePrinter = [&request, &printer](QString *error) -> QPrinter * {
        // A new QPrinter first asks the print system for its default printer, even when it
        // is then told to write a PDF: that loads CUPS with its libraries and talks to the
        // print server, a third of the whole run. A PDF needs no print-support plugin, and
        // this process loads no other plugin from here on, so none is looked for.
        if (!request.pdfPath.isEmpty())
            QCoreApplication::setLibraryPaths({});
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        if (!request.pdfPath.isEmpty())
            setUpPdf(*printer, request.pdfPath, request.pdfDpi);
        else if (!setUpPrinter(*printer, request.printerName, error))
            return nullptr;
        return printer.get();
    };
    policy.watcher = &watcher;
    if (!request.settingsPath.isEmpty())
        policy.saveAdvance = [&request, &settings, &job](const JobAdvance &next, QString *error) {
            return saveNextStart(request.settingsPath, &settings, job, next, error);
        };
    return policy;
}

// Nothing moves on for a job that did not print.
int reportNotPrinted(const PrintOutcome &printed, QTextStream &err)
{
    QString why = printed.reason;
    if (printed.stoppedAt == PrintStep::Scale)
        why += QStringLiteral("\n--scale-x と --scale-y で倍率を指定すると、"
                              "この設定を使わずに印刷できます。");
    else if (printed.stoppedAt == PrintStep::History)
        why += QStringLiteral("\n印刷していません。履歴なしで印刷するには "
                              "--no-history を付けてください。");
    report(err, why);
    return BatchFailed;
}

int reportPrinted(const BatchRequest &request, const PrintOutcome &printed, StagedFile *book,
                  QTextStream &out, QTextStream &err)
{
    if (!printed.notice.isEmpty())
        report(err, printed.notice);
    QString bookError;
    if (book && !book->commit(&bookError))
        bookError = QStringLiteral("Excel ファイルを書き込めませんでした: %1\n%2")
                        .arg(displayPath(request.xlsPath), bookError);
    int status = BatchSucceeded;
    if (!printed.saveError.isEmpty()) {
        report(err, printed.saveError);
        return BatchFailed;
    }
    out << printedSummaryText(printed.advance) << '\n';
    out.flush();
    // The labels went out, so the start position moved on; what did not follow is told, and
    // the run ends with status 1 so that a script notices.
    if (!printed.recordError.isEmpty()) {
        report(err, printed.recordError);
        status = BatchFailed;
    }
    if (!bookError.isEmpty()) {
        report(err, bookError);
        status = BatchFailed;
    }
    return status;
}

} // namespace

QString historySettingsOf(const QString &settingsPath)
{
    if (!settingsPath.isEmpty())
        return settingsPath;
    const QString own = ownSettingsPath();
    return QFileInfo::exists(own) ? own : QString();
}

QString stepWord(const PrintOutcome &outcome)
{
    switch (outcome.end) {
    case PrintEnd::Aborted:
        return QStringLiteral("aborted");
    case PrintEnd::Cancelled:
        return QStringLiteral("cancelled");
    default:
        break;
    }
    switch (outcome.stoppedAt) {
    case PrintStep::Scale:
        return QStringLiteral("scale");
    case PrintStep::Font:
        return QStringLiteral("font");
    case PrintStep::History:
        return QStringLiteral("history");
    case PrintStep::Printer:
        return QStringLiteral("printer");
    case PrintStep::Output:
        return QStringLiteral("output");
    case PrintStep::None:
    case PrintStep::Print:
        break;
    }
    return QStringLiteral("print");
}

BatchJobEnd runBatchJob(const BatchRequest &request, SettingsLock *held, QTextStream &out,
                        QTextStream &err)
{
    BatchJobEnd end;
    LabelJob job = request.job;
    PrintRecorder history(QStringLiteral("corvial-batch"));
    const QString &settingsPath = request.settingsPath;
    const QString historySettings = historySettingsPath(request);
    if (request.mode == BatchRequest::Mode::Reprint) {
        end.status = takeReprint(request, historySettings, history, &job, err);
        if (end.status != BatchSucceeded) {
            end.failWord = QStringLiteral("history");
            return end;
        }
    }
    reportWarnings(request, err);

    // The start position comes from start.txt under the same lock a window holds, so that
    // neither undoes the other's save; the lock is kept until the new position is saved.
    SettingsLock ownLock(held ? QString() : settingsPath);
    SettingsLock &lock = held ? *held : ownLock;
    Settings settings;
    end.status = BatchFailed;
    end.failWord = QStringLiteral("settings");
    if (!settingsPath.isEmpty() && !takeSettings(settingsPath, lock, &settings, job, err))
        return end;
    if (request.startGiven)
        job.startPos = request.job.startPos;

    // The workbook first, whole, under a temporary name beside it: a job whose table cannot
    // be written is not printed, so a second run does not print its labels twice. It takes
    // its name only once the labels went out (a PDF, too, replaces its file only when
    // complete), so a failed print leaves an earlier workbook and PDF as they were.
    std::unique_ptr<StagedFile> book;
    end.failWord = QStringLiteral("output");
    if (!stageWorkbook(request, job, &book, err))
        return end;

    std::unique_ptr<QPrinter> printer;
    TimeBoundWatcher watcher(request.waitSeconds >= 0 ? request.waitSeconds
                                                      : DefaultJobWaitSeconds);
    end.outcome = runPrintSequence(
        printRequest(request, job, historySettings, history),
        batchPolicy(request, historySettings, printer, watcher, settings, job), history);
    end.ran = true;
    for (const QString &note : end.outcome.notes)
        report(err, note);
    if (!end.outcome.printed()) {
        end.failWord = stepWord(end.outcome);
        end.status = reportNotPrinted(end.outcome, err);
        return end;
    }
    end.failWord.clear();
    end.status = reportPrinted(request, end.outcome, book.get(), out, err);
    return end;
}

int runBatch(const BatchRequest &request, QTextStream &out, QTextStream &err)
{
    if (request.mode == BatchRequest::Mode::History)
        return writeHistory(request, out, err);
    return runBatchJob(request, nullptr, out, err).status;
}

} // namespace corvial
