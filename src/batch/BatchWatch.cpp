// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchWatch.h"

#include "BatchJobFile.h"
#include "BatchRun.h"

#include "files/SafeFile.h"
#include "history/HistoryLocation.h"
#include "history/PrintRecorder.h"
#include "job/NumberText.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLock.h"
#include "watch/FolderEvents.h"
#include "watch/JobFolder.h"
#include "watch/JobResult.h"
#include "watch/ReadyJobs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QPrinterInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvial {

namespace {

// How long a watcher waits before it asks a history it could not reach again.
constexpr int HistoryRetryMs = 5000;

int signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop reads the byte.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

QString optionValueOr(const QCommandLineParser &parser, const QString &name)
{
    return parser.isSet(name) ? parser.value(name) : QString();
}

// A folder the watcher reads and writes: there, a folder (a link to one is followed), and
// spelt in bytes that decode to it. Its absolute name with links resolved, or empty with
// *error.
QString checkedFolder(const QString &option, const QString &given, const QStringList &undecodable,
                      QString *error)
{
    const QFileInfo info(given);
    QString why;
    if (given.isEmpty())
        why = QStringLiteral("フォルダーを指定してください。");
    else if (undecodable.contains(given))
        why = QStringLiteral("名前が UTF-8 ではありません。");
    else if (!info.exists())
        why = QStringLiteral("ありません。");
    else if (!info.isDir())
        why = QStringLiteral("フォルダーではありません。");
    else if (!info.isWritable() || !info.isReadable())
        why = QStringLiteral("読み書きできません。");
    if (!why.isEmpty()) {
        *error = QStringLiteral("--%1: %2 %3").arg(option, visibleText(given), why);
        return QString();
    }
    return info.canonicalFilePath();
}

} // namespace

bool asksForWatch(const QStringList &arguments)
{
    for (const QString &a : arguments.mid(1)) {
        if (a == QLatin1String("--watch") || a.startsWith(QLatin1String("--watch=")))
            return true;
        if (a == QLatin1String("--"))
            break;
    }
    return false;
}

bool parseWatchCommand(const QStringList &arguments, const QStringList &undecodable,
                       WatchRequest *r, QString *error)
{
    QCommandLineParser parser;
    const QStringList valued = {QStringLiteral("watch"),      QStringLiteral("pdf-dir"),
                                QStringLiteral("printer"),    QStringLiteral("settings"),
                                QStringLiteral("history-db"), QStringLiteral("resolution"),
                                QStringLiteral("wait")};
    for (const QString &name : valued)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    if (!parser.parse(arguments)) {
        *error = visibleText(parser.errorText()) +
                 QStringLiteral("\n--watch と一緒に使えるのは --pdf-dir、--printer、--settings、"
                                "--history-db、--resolution、--wait です。");
        return false;
    }
    for (const QString &name : valued) {
        if (parser.values(name).size() > 1) {
            *error = QStringLiteral("--%1 が二度指定されています。").arg(name);
            return false;
        }
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("余分な引数があります: %1")
                     .arg(visibleText(parser.positionalArguments().join(QLatin1Char(' '))));
        return false;
    }
    if (parser.isSet(QStringLiteral("pdf-dir")) == parser.isSet(QStringLiteral("printer"))) {
        *error = parser.isSet(QStringLiteral("printer"))
                     ? QStringLiteral("--pdf-dir と --printer は一緒に使えません。")
                     : QStringLiteral("出力先を --pdf-dir か --printer で指定してください。");
        return false;
    }
    r->folder = checkedFolder(QStringLiteral("watch"), parser.value(QStringLiteral("watch")),
                              undecodable, error);
    if (r->folder.isEmpty())
        return false;
    r->printerName = optionValueOr(parser, QStringLiteral("printer"));
    if (parser.isSet(QStringLiteral("printer")) && r->printerName.isEmpty()) {
        *error = QStringLiteral("--printer: プリンター名が空です。");
        return false;
    }
    if (parser.isSet(QStringLiteral("pdf-dir"))) {
        r->pdfDir = checkedFolder(QStringLiteral("pdf-dir"),
                                  parser.value(QStringLiteral("pdf-dir")), undecodable, error);
        if (r->pdfDir.isEmpty())
            return false;
    }
    r->settingsPath = optionValueOr(parser, QStringLiteral("settings"));
    if (parser.isSet(QStringLiteral("settings")) && !QFileInfo::exists(r->settingsPath)) {
        *error = QStringLiteral("--settings: スタートファイルがありません: %1")
                     .arg(displayPath(r->settingsPath));
        return false;
    }
    r->historyDb = optionValueOr(parser, QStringLiteral("history-db"));
    r->resolution = optionValueOr(parser, QStringLiteral("resolution"));
    r->wait = optionValueOr(parser, QStringLiteral("wait"));
    return true;
}

namespace {

JobFileContext confinedContext(const WatchRequest &w, const QString &name);

// One watched folder: the jobs it finds, one at a time, each through the batch printer's own
// job (parsed as --job parses a file, confined to the watcher's outputs) and back as a result.
class FolderWatch : public QObject
{
public:
    FolderWatch(const WatchRequest &request, QTextStream &err) : mRequest(request), mErr(err)
    {
        mClock.start();
        mLook.setSingleShot(true);
        connect(&mLook, &QTimer::timeout, this, [this] { schedule(); });
    }

    // Takes the locks, makes done/ and failed/, opens the history and starts watching.
    // 0, or the exit status with the reason told.
    int start();
    // Asks the watcher to stop once the job at hand is done.
    void requestStop()
    {
        mStopping = true;
        schedule();
    }
    int status() const { return mStatus; }

private:
    int takeLocks();
    bool makeResultFolders();
    void lose(const QString &why);
    void schedule();
    void step();
    QMap<QString, FileStamp> jobFiles();
    void processJob(const QString &name);
    JobResult recoveredResult(const HistoryEntry &entry, const QString &name,
                              const QString &sha256);
    bool earlierAttempts(const QString &jobFile, const QString &sha256, EarlierAttempt *earlier);
    JobResult printJob(const QString &name, const QByteArray &bytes, const QString &jobFile,
                       const QString &sha256);
    void finishJob(const QString &name, const JobResult &result, const JobFileRead *read = nullptr);
    bool folderIsStill();
    int checkOptions();
    QString historySettings() const;
    bool openHistory(PrintRecorder &history, QString *error) const;
    void say(const QString &line);

    WatchRequest mRequest;
    QTextStream &mErr;
    std::unique_ptr<QLockFile> mFolderLock;
    std::unique_ptr<SettingsLock> mSettingsLock;
    FolderEvents mEvents;
    ReadyJobs mReady;
    QTimer mLook;
    QElapsedTimer mClock;
    QSet<QString> mUnnamable; // names whose bytes are not UTF-8, told once each
    bool mScheduled = false;
    bool mBusy = false; // a job is at hand: a wait inside it may run the event loop
    bool mStopping = false;
    bool mHistoryDown = false;
    dev_t mFolderDevice = 0; // the folder watched: one made anew at its name is another
    ino_t mFolderInode = 0;
    int mStatus = BatchSucceeded;
};

void FolderWatch::say(const QString &line)
{
    // One line each: a journal shows the folder's day line by line.
    QString text = line;
    text.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    mErr << "corvial-batch: " << text << '\n';
    mErr.flush();
}

void FolderWatch::lose(const QString &why)
{
    say(why);
    mStatus = BatchFailed;
    requestStop();
}

QString FolderWatch::historySettings() const
{
    return historySettingsOf(mRequest.settingsPath);
}

bool FolderWatch::openHistory(PrintRecorder &history, QString *error) const
{
    return mRequest.historyDb.isEmpty() ? history.openForSettings(historySettings(), error)
                                        : history.openValue(mRequest.historyDb, error);
}

int FolderWatch::takeLocks()
{
    // Two watchers on one folder would both take its jobs; the lock's name begins with a
    // dot, so it is no job.
    mFolderLock =
        std::make_unique<QLockFile>(mRequest.folder + QStringLiteral("/.corvial-watch.lock"));
    mFolderLock->setStaleLockTime(0);
    if (!mFolderLock->tryLock(0)) {
        say(QStringLiteral("フォルダー %1 は別の監視が使っています。")
                .arg(displayPath(mRequest.folder)));
        return BatchRefused;
    }
    if (mRequest.settingsPath.isEmpty())
        return BatchSucceeded;
    // Held for as long as the watcher runs, as a window holds it: nobody moves the sheet's
    // position between two jobs.
    mSettingsLock = std::make_unique<SettingsLock>(mRequest.settingsPath);
    QString error;
    if (!mSettingsLock->tryLock(&error)) {
        say(error);
        return BatchRefused;
    }
    return BatchSucceeded;
}

bool FolderWatch::makeResultFolders()
{
    for (const QString &name : {doneFolderName(), failedFolderName()}) {
        const QString path = mRequest.folder + QLatin1Char('/') + name;
        struct stat st
        {
        };
        if (lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            say(QStringLiteral("%1 がフォルダーではありません。").arg(displayPath(path)));
            return false;
        }
        if (!QDir().mkpath(path)) {
            say(QStringLiteral("フォルダー %1 を作れません。").arg(displayPath(path)));
            return false;
        }
    }
    return true;
}

// The options every job will be given, held to the checks a job meets, once before any
// job: a --resolution or --settings the batch printer refuses would otherwise fail each job.
int FolderWatch::checkOptions()
{
    const BatchCommand probe =
        parseJobFile(QByteArrayLiteral("{\"type\": 1, \"samples\": 1}"), QStringLiteral("-"),
                     QString(), confinedContext(mRequest, QStringLiteral("x.json")));
    if (probe.action == BatchCommand::Run)
        return BatchSucceeded;
    say(probe.error);
    return BatchRefused;
}

// False when the folder watched was removed (or another made at its name): the kernel does
// not always tell, since our lock file in it may outlive it.
bool FolderWatch::folderIsStill()
{
    struct stat st
    {
    };
    return stat(QFile::encodeName(mRequest.folder).constData(), &st) == 0 &&
           st.st_dev == mFolderDevice && st.st_ino == mFolderInode;
}

int FolderWatch::start()
{
    if (mRequest.historyDb.isEmpty() && historySettings().isEmpty()) {
        say(QStringLiteral("監視フォルダーには印刷履歴が要ります（同じジョブを二度印刷しない"
                           "ために使います）。--settings か --history-db で指定してください。"));
        return BatchRefused;
    }
    const int checked = checkOptions();
    if (checked != BatchSucceeded)
        return checked;
    struct stat folder
    {
    };
    if (stat(QFile::encodeName(mRequest.folder).constData(), &folder) == 0) {
        mFolderDevice = folder.st_dev;
        mFolderInode = folder.st_ino;
    }
    const int locked = takeLocks();
    if (locked != BatchSucceeded)
        return locked;
    if (!makeResultFolders())
        return BatchFailed;
    PrintRecorder history(QStringLiteral("corvial-batch"));
    QString error;
    if (!openHistory(history, &error)) {
        say(error);
        return BatchFailed;
    }
    if (!mEvents.watch(mRequest.folder, &error)) {
        say(QStringLiteral("フォルダー %1 を監視できません: %2")
                .arg(displayPath(mRequest.folder), error));
        return BatchFailed;
    }
    connect(&mEvents, &FolderEvents::movedIn, this, [this](const QString &name) {
        mReady.movedIn(name);
        schedule();
    });
    connect(&mEvents, &FolderEvents::changed, this, [this](const QString &name) {
        mReady.changed(name);
        schedule();
    });
    connect(&mEvents, &FolderEvents::overflowed, this, [this] { schedule(); });
    connect(&mEvents, &FolderEvents::folderGone, this, [this] {
        lose(QStringLiteral("監視していたフォルダー %1 がなくなりました。")
                 .arg(displayPath(mRequest.folder)));
    });
    // A printer name mistyped in the service's configuration would otherwise show only when
    // the first job fails; the watcher still starts, as CUPS may come up after it.
    if (!mRequest.printerName.isEmpty() &&
        !QPrinterInfo::availablePrinterNames().contains(mRequest.printerName))
        say(QStringLiteral("プリンター「%1」は今 CUPS に見つかりません。ジョブはこのプリンターに"
                           "送ります。")
                .arg(visibleText(mRequest.printerName)));
    say(QStringLiteral("フォルダー %1 を監視しています。").arg(displayPath(mRequest.folder)));
    schedule();
    return BatchSucceeded;
}

void FolderWatch::schedule()
{
    if (mScheduled)
        return;
    mScheduled = true;
    QTimer::singleShot(0, this, [this] { step(); });
}

QMap<QString, FileStamp> FolderWatch::jobFiles()
{
    QMap<QString, FileStamp> files;
    const QDir folder(mRequest.folder);
    const QStringList names =
        folder.entryList(QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!isJobFileName(name))
            continue;
        if (name.contains(QChar::ReplacementCharacter) ||
            !nameSurvivesDecoding(QFile::encodeName(name))) {
            if (!mUnnamable.contains(name))
                say(QStringLiteral("ファイル名が UTF-8 ではないため、%1 を読みません。")
                        .arg(visibleText(name)));
            mUnnamable.insert(name);
            continue;
        }
        struct stat st
        {
        };
        if (lstat(QFile::encodeName(folder.filePath(name)).constData(), &st) != 0)
            continue; // gone since the listing
        files.insert(name, FileStamp{qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000 +
                                                             st.st_mtim.tv_nsec / 1000000});
    }
    return files;
}

void FolderWatch::step()
{
    mScheduled = false;
    if (mBusy)
        return; // the job at hand schedules the next look when it is done
    if (mStopping) {
        if (mStatus == BatchSucceeded)
            say(QStringLiteral("フォルダー %1 の監視を終えます。")
                    .arg(displayPath(mRequest.folder)));
        QCoreApplication::exit(mStatus);
        return;
    }
    if (mHistoryDown && mLook.isActive())
        return; // waiting to ask the history again
    if (!folderIsStill()) {
        lose(QStringLiteral("監視していたフォルダー %1 がなくなりました。")
                 .arg(displayPath(mRequest.folder)));
        return;
    }
    qint64 retry = -1;
    const QStringList ready =
        mReady.look(jobFiles(), QDateTime::currentMSecsSinceEpoch(), mClock.elapsed(), &retry);
    if (!ready.isEmpty()) {
        mBusy = true;
        processJob(ready.first());
        mBusy = false;
        schedule(); // the next one, after a look whether to stop
    } else if (retry >= 0) {
        mLook.start(int(retry));
    }
}

JobResult refusedResult(const QString &name, const QString &sha256, const QString &word,
                        const QString &message)
{
    JobResult r;
    r.status = JobResult::Status::Refused;
    r.job = name;
    r.sha256 = sha256;
    r.reason = word;
    r.message = message;
    return r;
}

// False (with the history marked down and a look planned) when the history could not be
// asked: without it, printing could print a job twice.
bool FolderWatch::earlierAttempts(const QString &jobFile, const QString &sha256,
                                  EarlierAttempt *earlier)
{
    PrintRecorder history(QStringLiteral("corvial-batch"));
    QString error;
    QList<HistoryEntry> attempts;
    if (!openHistory(history, &error) ||
        !history.entriesOfJobFile(jobFile, sha256, &attempts, &error)) {
        if (!mHistoryDown)
            say(QStringLiteral("印刷履歴を読めないため、ジョブを待たせています（%1 秒ごとに"
                               "もう一度試します）: %2")
                    .arg(HistoryRetryMs / 1000)
                    .arg(error));
        mHistoryDown = true;
        mLook.start(HistoryRetryMs);
        return false;
    }
    if (mHistoryDown)
        say(QStringLiteral("印刷履歴をまた読めるようになりました。"));
    mHistoryDown = false;
    *earlier = earlierAttempt(attempts);
    return true;
}

// A job that printed before a kill: its result from the record, and a word when start.txt
// still stands where the job began (the program was killed between completing the record
// and saving the next position). That is not moved on here: a person may as well have set
// that position again for a new sheet since, and only the sheet tells which it was.
JobResult FolderWatch::recoveredResult(const HistoryEntry &entry, const QString &name,
                                       const QString &sha256)
{
    JobResult r = printedResultOf(entry, name, sha256);
    const std::optional<SheetType> type = SheetType::fromCode(entry.record.sheetType);
    SettingsLoad load;
    QString error;
    if (mRequest.settingsPath.isEmpty() || !type ||
        !readSettingsFile(mRequest.settingsPath, &load, &error))
        return r;
    const int family = type->info().family;
    if (load.settings.family[family].startPos == entry.record.startPosition &&
        entry.record.nextPosition != entry.record.startPosition)
        r.warnings << QStringLiteral("スタートファイルの開始位置は、このジョブを始めた位置 %1 の"
                                     "ままです。シートにこのジョブのラベルがあれば、開始位置を "
                                     "%2 にしてください。")
                          .arg(entry.record.startPosition)
                          .arg(entry.record.nextPosition);
    return r;
}

void FolderWatch::processJob(const QString &name)
{
    const QString path = mRequest.folder + QLatin1Char('/') + name;
    if (jobNameTooLong(name)) {
        // Its result could not be written beside it: the job alone goes to failed/.
        const QByteArray to = QFile::encodeName(mRequest.folder + QLatin1Char('/') +
                                                failedFolderName() + QLatin1Char('/') + name);
        if (::rename(QFile::encodeName(path).constData(), to.constData()) != 0)
            lose(QStringLiteral("%1 を移せません: %2")
                     .arg(visibleText(name), QString::fromLocal8Bit(std::strerror(errno))));
        else
            say(QStringLiteral("%1: refused 名前が %2 バイトを超えるため、結果を書けません。"
                               "印刷せずに failed に移しました。")
                    .arg(visibleText(name))
                    .arg(MaxJobNameBytes));
        mReady.taken(name);
        return;
    }
    const JobFileRead read = readJobFile(path, MaxJobFileBytes);
    if (read.problem == JobFileRead::Unreadable && !QFileInfo(path).isSymLink() &&
        !QFileInfo::exists(path)) {
        mReady.taken(name); // taken away before it was read
        return;
    }
    if (read.problem != JobFileRead::None) {
        finishJob(name, refusedResult(name, QString(), problemWord(read.problem),
                                      QStringLiteral("ジョブファイル %1 を読みません: %2")
                                          .arg(visibleText(name), read.reason)));
        return;
    }
    const QString sha256 = sha256Hex(read.bytes);
    EarlierAttempt earlier;
    if (!earlierAttempts(path, sha256, &earlier))
        return; // left in the folder until the history answers
    switch (earlier.kind) {
    case EarlierAttempt::Printed:
        finishJob(name, recoveredResult(earlier.entry, name, sha256), &read);
        return;
    case EarlierAttempt::Interrupted:
        finishJob(name, interruptedResultOf(earlier.entry, name, sha256), &read);
        return;
    case EarlierAttempt::NotPrinted:
        finishJob(name, notPrintedResultOf(earlier.entry, name, sha256), &read);
        return;
    case EarlierAttempt::None:
        break;
    }
    say(QStringLiteral("%1: 受け付けました").arg(visibleText(name)));
    finishJob(name, printJob(name, read.bytes, path, sha256), &read);
}

// What no job in the folder may choose is the watcher's: where the labels go and which
// start.txt and history the job moves.
JobFileContext confinedContext(const WatchRequest &w, const QString &name)
{
    JobFileContext context;
    context.confined = true;
    const QString base = jobBaseName(name);
    if (!w.pdfDir.isEmpty()) {
        context.beside << QStringLiteral("--pdf=%1/%2.pdf").arg(w.pdfDir, base);
        context.xlsWhenTrue = QStringLiteral("%1/%2.xls").arg(w.pdfDir, base);
        if (!w.resolution.isEmpty())
            context.beside << QStringLiteral("--resolution=") + w.resolution;
    } else {
        context.beside << QStringLiteral("--printer=") + w.printerName;
        if (!w.wait.isEmpty())
            context.beside << QStringLiteral("--wait=") + w.wait;
    }
    if (!w.settingsPath.isEmpty())
        context.beside << QStringLiteral("--settings=") + w.settingsPath;
    if (!w.historyDb.isEmpty())
        context.beside << QStringLiteral("--history-db=") + w.historyDb;
    return context;
}

// An output already standing at a job's name as a link (or anything but a file) would send
// the labels through it to somewhere outside the output folder.
QString outputTrap(const BatchRequest &request)
{
    for (const QString &path : {request.pdfPath, request.xlsPath}) {
        struct stat st
        {
        };
        if (!path.isEmpty() && lstat(QFile::encodeName(path).constData(), &st) == 0 &&
            !S_ISREG(st.st_mode))
            return QStringLiteral("出力ファイル %1 がすでにあり、通常のファイルではありません"
                                  "（リンクなど）。")
                .arg(displayPath(path));
    }
    return QString();
}

// What the batch printer told err, without its program prefix: the result's message.
QString toldText(const QString &told)
{
    QStringList lines = told.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines) {
        if (line.startsWith(QLatin1String("corvial-batch: ")))
            line.remove(0, int(qstrlen("corvial-batch: ")));
    }
    return lines.join(QLatin1Char('\n'));
}

JobResult printedResult(const BatchRequest &request, const BatchJobEnd &end, const QString &told)
{
    JobResult r;
    r.status = JobResult::Status::Printed;
    const JobAdvance &a = end.outcome.advance;
    r.historyId = end.outcome.recordId;
    r.labels = a.labels;
    r.sheets = a.sheets;
    r.numbered = a.numbered;
    const LabelJob &job = request.job;
    const int last = (job.initialValue + qMax(0, job.sampleCount - 1)) % 10000;
    r.firstNumber = labelNumberText(job.initialValue, job.numberStyle);
    r.lastNumber = labelNumberText(last, job.numberStyle);
    r.nextPosition = a.nextStartPos;
    r.nextNumber = a.nextInitialValue;
    r.cupsJobId = end.outcome.cupsJobId;
    r.pdfPath = end.outcome.pdfPath;
    r.xlsPath = request.xlsPath;
    // The labels went out; what did not follow (the record, start.txt, the workbook) is
    // told beside them.
    // What was told on the way (a list column set aside, ...) is told in the result too.
    const QString toldLines = toldText(told);
    if (!toldLines.isEmpty())
        r.warnings = toldLines.split(QLatin1Char('\n'));
    r.startNotSaved = end.outcome.saveError;
    return r;
}

JobResult FolderWatch::printJob(const QString &name, const QByteArray &bytes,
                                const QString &jobFile, const QString &sha256)
{
    const BatchCommand command =
        parseJobFile(bytes, name, jobFile, confinedContext(mRequest, name));
    if (command.action != BatchCommand::Run)
        return refusedResult(name, sha256, command.refusedWord, command.error);
    const QString trap = outputTrap(command.request);
    if (!trap.isEmpty())
        return refusedResult(name, sha256, QStringLiteral("output"), trap);
    QString toldOut;
    QString toldErr;
    QTextStream out(&toldOut);
    QTextStream err(&toldErr);
    const BatchJobEnd end = runBatchJob(command.request, mSettingsLock.get(), out, err);
    out.flush();
    err.flush();
    JobResult r;
    if (end.ran && end.outcome.printed()) {
        r = printedResult(command.request, end, toldErr);
    } else {
        r.status = JobResult::Status::Failed;
        r.historyId = end.outcome.recordId;
        r.reason = end.failWord;
        r.message = toldText(toldErr);
    }
    r.job = name;
    r.sha256 = sha256;
    return r;
}

void FolderWatch::finishJob(const QString &name, const JobResult &result, const JobFileRead *read)
{
    const bool printed = result.status == JobResult::Status::Printed;
    const QString folder =
        mRequest.folder + QLatin1Char('/') + (printed ? doneFolderName() : failedFolderName());
    QString error;
    struct stat st
    {
    };
    if (lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        lose(QStringLiteral(
                 "%1 がフォルダーではなくなりました（リンクなど）。%2 の結果を書きません。")
                 .arg(displayPath(folder), visibleText(name)));
        return;
    }
    // The result first, whole: a job file that moved without one would leave the lab
    // system guessing. A result written over an older one of the same name replaces it.
    if (!writeResultFile(folder + QLatin1Char('/') + resultFileName(name), result, &error)) {
        lose(QStringLiteral("%1 の結果を書けません: %2").arg(visibleText(name), error));
        return;
    }
    const QByteArray from = QFile::encodeName(mRequest.folder + QLatin1Char('/') + name);
    if (read && read->inode != 0 &&
        !stillTheFileRead(mRequest.folder + QLatin1Char('/') + name, *read)) {
        // Another file was put at the name while this one printed: it is a job of its own.
        say(QStringLiteral("%1: %2（記録 %3）。その間に同じ名前の別のファイルが置かれたため、"
                           "それは次のジョブとして残します。")
                .arg(visibleText(name), statusWord(result.status))
                .arg(result.historyId));
        mReady.changed(name);
        return;
    }
    const QByteArray to = QFile::encodeName(folder + QLatin1Char('/') + name);
    if (::rename(from.constData(), to.constData()) != 0) {
        lose(QStringLiteral("%1 を %2 に移せません: %3")
                 .arg(visibleText(name), displayPath(folder),
                      QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    syncFolderOf(QString::fromLocal8Bit(from));
    mReady.taken(name);
    QString line = QStringLiteral("%1: %2").arg(visibleText(name), statusWord(result.status));
    if (result.historyId > 0)
        line += QStringLiteral("（記録 %1）").arg(result.historyId);
    if (printed && result.recovered)
        line += QStringLiteral(" 印刷済みの記録があるため、もう一度は印刷していません");
    else if (printed)
        line += QStringLiteral(" %1 ラベル、%2 枚").arg(result.labels).arg(result.sheets);
    else
        line += QStringLiteral(" [%1] %2").arg(result.reason, result.message);
    if (!result.warnings.isEmpty())
        line += QStringLiteral(" 注意: ") + result.warnings.join(QLatin1Char(' '));
    say(line);
    // Every later job would print over the labels this one used.
    if (printed && !result.startNotSaved.isEmpty())
        lose(QStringLiteral("スタートファイルを保存できなかったため、監視を止めます（次のジョブが"
                            "同じ位置に印刷されないように）: %1")
                 .arg(result.startNotSaved));
}

} // namespace

int runWatch(const WatchRequest &request, QTextStream &err)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        err << "corvial-batch: " << QString::fromLocal8Bit(std::strerror(errno)) << '\n';
        return BatchFailed;
    }
    FolderWatch watch(request, err);
    QSocketNotifier stopped(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopped, &QSocketNotifier::activated, &watch, [&watch] {
        char bytes[64];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        watch.requestStop();
    });
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    const int started = watch.start();
    if (started != BatchSucceeded)
        return started;
    return QCoreApplication::exec();
}

} // namespace corvial
