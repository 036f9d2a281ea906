// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchOptions.h"

#include "BatchJobFile.h"
#include "BatchJobOptions.h"
#include "BatchOptionTable.h"
#include "barcode/CodeRules.h"
#include "export/WorkbookExport.h"
#include "files/BoundedFile.h"
#include "files/SafeFile.h"
#include "history/HistoryLocation.h"
#include "history/PrintRecorder.h"
#include "job/Colours.h"
#include "job/Fonts.h"
#include "job/JobRules.h"
#include "job/ProofLabel.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"
#include "lists/SampleList.h"
#include "sequence/OwnFiles.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QRegularExpression>

#include <algorithm>

namespace corvial {

namespace {

// Two options that name one file would overwrite each other's output, or the settings.
void requireDistinctFiles(const QCommandLineParser &parser, const BatchOptionSet &o)
{
    QList<const QCommandLineOption *> given;
    // The list, the text file and the job file are read before anything is written, but a
    // job that replaced its own list with its PDF would leave the user without the list.
    for (const QCommandLineOption *option :
         {&o.pdf, &o.xls, &o.settings, &o.textFile, &o.list, &o.job}) {
        // A job file's texts take --list's place; its value only names the job file.
        if (option == &o.list && o.texts)
            continue;
        if (parser.isSet(*option) && parser.value(*option) != QLatin1String("-"))
            given << option;
    }
    for (int i = 0; i < given.size(); ++i) {
        for (int j = i + 1; j < given.size(); ++j) {
            if (sameFile(parser.value(*given[i]), parser.value(*given[j])))
                refuseOptions({nameOf(*given[i]), nameOf(*given[j])},
                              QStringLiteral("%1 と %2 が同じファイルです: "),
                              visibleText(parser.value(*given[j])));
        }
    }
}

// An output (or a list) named like the settings or the history would replace them with a
// job, or feed the program's own file to it as samples. Both the --settings start.txt and the
// program's own are guarded: a run without --settings records into the latter's history.
void requireNoOwnFiles(const QCommandLineParser &parser, const BatchOptionSet &o)
{
    QStringList settings = {settingsFilePath(QCoreApplication::applicationDirPath())};
    if (parser.isSet(o.settings) && !parser.value(o.settings).isEmpty())
        settings << parser.value(o.settings);
    const QString history = parser.isSet(o.historyDb) ? parser.value(o.historyDb) : QString();
    for (const QCommandLineOption *option : {&o.pdf, &o.xls, &o.list}) {
        const QString path = parser.value(*option);
        if (!parser.isSet(*option) || path.isEmpty() || path == QLatin1String("-") ||
            (option == &o.list && o.texts))
            continue;
        const QString problem = ownFileProblem(path, settings, history);
        if (!problem.isEmpty())
            refuseOption(nameOf(*option), problem);
    }
}

// Where the labels and the workbook go.
void readOutputs(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r)
{
    const SheetType type = r.job.sheetType;
    if (parser.isSet(o.pdf) == parser.isSet(o.printer))
        refuseOptions({nameOf(o.pdf), nameOf(o.printer)},
                      parser.isSet(o.pdf)
                          ? QStringLiteral("%1 と %2 は一緒に使えません。")
                          : QStringLiteral("出力先を %1 か %2 で指定してください。"));
    if (parser.isSet(o.pdf)) {
        r.pdfPath = checkedPath(parser, o, o.pdf, true);
    } else {
        r.printerName = parser.value(o.printer);
        if (r.printerName.isEmpty())
            refuseOption(nameOf(o.printer), QStringLiteral("プリンター名が空です。"));
    }
    if (parser.isSet(o.resolution) && !parser.isSet(o.pdf))
        refuseOption(nameOf(o.resolution),
                     QStringLiteral("PDF（--pdf）のときだけ使えます。プリンターには"
                                    "そのプリンターの解像度で印刷します。"));
    if (parser.isSet(o.wait) && !parser.isSet(o.printer))
        refuseOption(nameOf(o.wait), QStringLiteral("プリンター（--printer）のときだけ使えます。"
                                                    "PDF は書き終えたときに出来上がっています。"));
    if (parser.isSet(o.wait))
        r.waitSeconds = rangedValue(parser, o.wait, Ranged::Wait);
    r.resolutionGiven = parser.isSet(o.resolution);
    if (r.resolutionGiven)
        r.pdfDpi = rangedValue(parser, o.resolution, Ranged::Resolution);

    if (parser.isSet(o.xls)) {
        if (!isExportableType(type))
            refuseOption(nameOf(o.xls),
                         QStringLiteral("%1は番号のないラベルなので Excel に書き出せません"
                                        "（番号を印刷するシートタイプだけです）。")
                             .arg(sheetTypeWord(type)));
        r.xlsPath = checkedPath(parser, o, o.xls, true);
    }
    if (parser.isSet(o.exportDate)) {
        r.exportDate = QDate::fromString(parser.value(o.exportDate), Qt::ISODate);
        if (!r.exportDate.isValid())
            refuseOption(nameOf(o.exportDate),
                         QStringLiteral("日付は yyyy-mm-dd で指定してください。"));
    }
}

// Where on the sheet: from a settings file, or as given.
void readPlace(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r,
               int startHigh)
{
    LabelJob &job = r.job;
    if (parser.isSet(o.settings)) {
        for (const QCommandLineOption *option : {&o.start, &o.offsetX, &o.offsetY}) {
            if (parser.isSet(*option))
                refuseOption(
                    nameOf(*option),
                    QStringLiteral("--settings と一緒には使えません（開始位置とオフセットは"
                                   "設定ファイルから取ります）。"));
        }
        r.settingsPath = checkedPath(parser, o, o.settings, false);
    }
    if (parser.isSet(o.start))
        job.startPos =
            rangedValue(parser, o.start, Ranged::Start,
                        sheetTypeWord(job.sheetType) + rangedWhat(Ranged::Start), startHigh);
    if (parser.isSet(o.offsetX))
        job.offsetX = rangedValue(parser, o.offsetX, Ranged::OffsetX);
    if (parser.isSet(o.offsetY))
        job.offsetY = rangedValue(parser, o.offsetY, Ranged::OffsetY);
    for (const QCommandLineOption *option : {&o.scaleX, &o.scaleY}) {
        if (!parser.isSet(*option))
            continue;
        const QString given = parser.value(*option);
        int permille = 0;
        QString reason;
        if (!parseScalePercent(given, &permille, &reason))
            refuseOption(nameOf(*option),
                         QStringLiteral("%1（「%2」）").arg(reason, visibleText(given)));
        (option == &o.scaleX ? r.scaleXGiven : r.scaleYGiven) = permille;
    }
}

// Where the job's record goes.
void readHistoryPlace(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r)
{
    if (parser.isSet(o.historyDb) && parser.isSet(o.noHistory))
        refuseOptions({nameOf(o.historyDb), nameOf(o.noHistory)},
                      QStringLiteral("%1 と %2 は一緒に使えません。"));
    r.noHistory = parser.isSet(o.noHistory);
    if (!parser.isSet(o.historyDb))
        return;
    r.historyDb = parser.value(o.historyDb);
    HistoryLocation location;
    QString error;
    if (!historyLocationFromValue(r.historyDb, &location, &error))
        refuseOption(nameOf(o.historyDb), error);
}

// A sample number of --only, 0..9999; given is the whole value, which the refusal quotes.
int sampleNumber(const QCommandLineOption &option, const QString &text, const QString &given)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < MinFirstNumber || n > MaxFirstNumber || text.size() > 4 || !text.at(0).isDigit())
        refuseOption(nameOf(option), QStringLiteral("番号は %1～%2 の数字で FIRST-LAST の形に"
                                                    "指定してください（「%3」）。")
                                         .arg(MinFirstNumber)
                                         .arg(MaxFirstNumber)
                                         .arg(visibleText(given)));
    return n;
}

// --history or --reprint: the job comes from the history, so no option that describes one
// is taken; the rest is what listing or printing needs.
BatchRequest historyRequestOf(const QCommandLineParser &parser, const BatchOptionSet &o)
{
    if (parser.isSet(o.history) && parser.isSet(o.reprint))
        throw BatchRefusal{QStringLiteral("--history と --reprint は一緒に使えません。")};
    const bool listing = parser.isSet(o.history);
    const QCommandLineOption &mode = listing ? o.history : o.reprint;
    QList<const QCommandLineOption *> allowed = {&o.historyDb, &o.settings, &mode};
    if (listing)
        allowed << &o.since << &o.format;
    else
        allowed << &o.only << &o.pdf << &o.resolution << &o.printer << &o.wait << &o.start
                << &o.offsetX << &o.offsetY << &o.scaleX << &o.scaleY;
    for (const QCommandLineOption &option : o.all()) {
        bool ok = false;
        for (const QCommandLineOption *a : allowed)
            ok = ok || a->names() == option.names();
        if (!ok && parser.isSet(option))
            refuseOption(nameOf(option),
                         listing ? QStringLiteral("--history と一緒には使えません。")
                                 : QStringLiteral("--reprint と一緒には使えません（文字、番号と"
                                                  "見た目は履歴のジョブと同じです）。"));
    }
    BatchRequest r;
    requireDistinctFiles(parser, o);
    requireNoOwnFiles(parser, o);
    readHistoryPlace(parser, o, r);
    if (listing) {
        r.mode = BatchRequest::Mode::History;
        if (parser.isSet(o.since)) {
            const QString text = parser.value(o.since);
            const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
            if (!date.isValid() || text.size() != 10)
                refuseOption(nameOf(o.since),
                             QStringLiteral("日付は yyyy-mm-dd で指定してください（「%1」）。")
                                 .arg(visibleText(text)));
            r.historySince = QDateTime(date, QTime(0, 0)).toUTC();
        }
        if (parser.isSet(o.format)) {
            const QString format = parser.value(o.format);
            if (format != QLatin1String("csv") && format != QLatin1String("json"))
                refuseOption(
                    nameOf(o.format),
                    QStringLiteral("csv か json です（「%1」）。").arg(visibleText(format)));
            r.historyJson = format == QLatin1String("json");
        }
        if (parser.isSet(o.settings))
            r.settingsPath = checkedPath(parser, o, o.settings, false);
        return r;
    }
    r.mode = BatchRequest::Mode::Reprint;
    const QString id = parser.value(o.reprint);
    bool ok = false;
    r.reprintId = id.toLongLong(&ok);
    if (!ok || r.reprintId <= 0 || id.startsWith(QLatin1Char('+')))
        refuseOption(nameOf(o.reprint), QStringLiteral("履歴の番号（1 以上）を指定してください"
                                                       "（「%1」）。")
                                            .arg(visibleText(id)));
    if (parser.isSet(o.only)) {
        r.onlyGiven = parser.value(o.only);
        const QStringList parts = r.onlyGiven.split(QLatin1Char('-'));
        // One number alone is a range without its end, not the range of that number.
        if (parts.size() != 2)
            sampleNumber(o.only, QString(), r.onlyGiven);
        r.onlyFirst = sampleNumber(o.only, parts.value(0), r.onlyGiven);
        r.onlyLast = sampleNumber(o.only, parts.value(1), r.onlyGiven);
    }
    readOutputs(parser, o, r);
    // The sheet type is known once the record is read; the start position is held to it then.
    int most = 1;
    for (SheetType t : SheetType::all())
        most = std::max(most, t.family().labels);
    readPlace(parser, o, r, most);
    r.startGiven = parser.isSet(o.start);
    return r;
}

void requireNoPositional(const QCommandLineParser &parser)
{
    if (!parser.positionalArguments().isEmpty())
        throw BatchRefusal{
            QStringLiteral("余分な引数があります: %1")
                .arg(visibleText(parser.positionalArguments().join(QLatin1Char(' '))))};
}

BatchRequest requestOf(const QCommandLineParser &parser, const BatchOptionSet &o)
{
    requireNoPositional(parser);
    for (const QCommandLineOption &option : o.all())
        requireOnce(parser, option);

    // Before any file is read: a list that is also an output is refused for that, not for
    // what the output made of it last time.
    if (parser.isSet(o.history) || parser.isSet(o.reprint))
        return historyRequestOf(parser, o);
    for (const QCommandLineOption *option : {&o.since, &o.format})
        if (parser.isSet(*option))
            refuseOption(nameOf(*option), QStringLiteral("--history と一緒に使います。"));
    if (parser.isSet(o.only))
        refuseOption(nameOf(o.only), QStringLiteral("--reprint と一緒に使います。"));
    // --watch goes its own way before this parser; a folder option without it would be
    // passed over.
    if (parser.isSet(o.pdfDir))
        refuseOption(nameOf(o.pdfDir), QStringLiteral("--watch と一緒に使います。"));

    requireDistinctFiles(parser, o);
    requireNoOwnFiles(parser, o);
    BatchRequest r;
    readList(parser, o, r);
    readNumbers(parser, o, r.job);
    // With a list the proof, as the window's, shows the first sample.
    const QString text = r.job.sampleTexts.isEmpty() ? readText(parser, o, r.job.sheetType)
                                                     : r.job.sampleTexts.first();
    readProof(parser, o, text, r.job);
    readLook(parser, o, r);
    readOutputs(parser, o, r);
    readCode(parser, o, r);
    readPlace(parser, o, r, r.job.sheetType.family().labels);
    readHistoryPlace(parser, o, r);
    return r;
}

// --job: the job comes from the file. Beside it only where the job goes and where it is
// recorded may be given, and the file must not name those again.
BatchCommand jobCommand(const QCommandLineParser &parser, const BatchOptionSet &o)
{
    requireNoPositional(parser);
    const QList<const QCommandLineOption *> beside = {&o.settings, &o.historyDb,  &o.printer,
                                                      &o.pdf,      &o.resolution, &o.wait};
    JobFileContext context;
    for (const QCommandLineOption &option : o.all()) {
        requireOnce(parser, option);
        if (!parser.isSet(option) || option.names() == o.job.names())
            continue;
        const bool allowed = std::any_of(beside.begin(), beside.end(),
                                         [&](auto *b) { return b->names() == option.names(); });
        if (!allowed)
            refuseOption(nameOf(option), QStringLiteral("--job と一緒には使えません（ジョブは"
                                                        "ジョブファイルに書きます）。"));
        context.beside << QStringLiteral("--%1=%2").arg(nameOf(option), parser.value(option));
    }
    requireDistinctFiles(parser, o);
    // Undecodable names are known only here, where the arguments' bytes were seen.
    for (const QCommandLineOption *file : {&o.pdf, &o.settings}) {
        if (parser.isSet(*file))
            checkedPath(parser, o, *file, file == &o.pdf);
    }
    const bool standardInput = parser.value(o.job) == QLatin1String("-");
    const QString path = standardInput ? parser.value(o.job) : checkedPath(parser, o, o.job, false);
    const QString shown = standardInput ? QStringLiteral("標準入力") : visibleText(path);
    QByteArray bytes;
    QString reason;
    bool tooLarge = false;
    // As a list: a FIFO or device is refused unopened; a pipe is read to its end.
    const bool read =
        standardInput
            ? readStandardInput(MaxJobFileBytes, StandardInputSeconds, &bytes, &reason, &tooLarge)
            : readBoundedFile(path, MaxJobFileBytes, &bytes, &reason, &tooLarge);
    if (tooLarge)
        refuseOption(nameOf(o.job), QStringLiteral("ジョブファイルが %1 バイトを超えています: %2")
                                        .arg(MaxJobFileBytes)
                                        .arg(shown));
    if (!read)
        refuseOption(
            nameOf(o.job),
            QStringLiteral("ジョブファイルを読み込めませんでした: %1\n%2").arg(shown, reason));
    return parseJobFile(bytes, standardInput ? shown : path,
                        standardInput ? path : QFileInfo(path).absoluteFilePath(), context);
}

} // namespace

BatchRequest requestOfJobArguments(const QStringList &arguments, const ListTable *texts)
{
    BatchOptionSet o;
    o.texts = texts;
    QCommandLineParser parser;
    parser.addOptions(o.all());
    // The arguments are made from known keys only; a failure here is the program's own.
    if (!parser.parse(arguments))
        throw BatchRefusal{visibleText(parser.errorText())};
    return requestOf(parser, o);
}

BatchCommand parseBatchCommand(const QStringList &arguments, const QStringList &undecodable)
{
    BatchOptionSet o;
    o.undecodable = undecodable;
    o.exportDate.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineParser parser;
    parser.setApplicationDescription(batchDescription());
    parser.addOptions(o.all());

    BatchCommand command;
    if (!parser.parse(arguments)) {
        // The parser quotes the unknown option as given, which may hold anything.
        QStringList lines = parser.errorText().split(QLatin1Char('\n'));
        for (QString &line : lines)
            line = visibleText(line);
        command.error = lines.join(QLatin1Char('\n'));
        return command;
    }
    if (parser.isSet(o.help)) {
        command.action = BatchCommand::ShowText;
        command.text = parser.helpText();
        return command;
    }
    if (parser.isSet(o.version)) {
        command.action = BatchCommand::ShowText;
        command.text = QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                     QCoreApplication::applicationVersion());
        return command;
    }
    try {
        if (parser.isSet(o.job))
            return jobCommand(parser, o);
        command.request = requestOf(parser, o);
        command.action = BatchCommand::Run;
    } catch (const BatchRefusal &refusal) {
        command.error = refusal.message;
    }
    return command;
}

} // namespace corvial
