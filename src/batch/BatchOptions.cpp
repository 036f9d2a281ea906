// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchOptions.h"

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

#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QRegularExpression>

namespace corvial {

namespace {

// The sheet type option, whose row refuses any number outside the table.
SheetType typeOption(const QCommandLineParser &parser, const BatchOptionSet &o)
{
    return SheetType::fromCode(rangedValue(parser, o.type, Ranged::Type)).value();
}

// Sheet type, sample count, first number, number style and repeat count, and the job size.
void readNumbers(const QCommandLineParser &parser, const BatchOptionSet &o, LabelJob &job)
{
    if (!parser.isSet(o.type))
        refuseOption(
            nameOf(o.type),
            QStringLiteral("シートタイプを指定してください（1～%1）。").arg(SheetTypeCount));
    const SheetType type = typeOption(parser, o);
    const SheetTypeInfo &info = type.info();
    job.sheetType = type;

    // A list has decided the count already.
    if (!parser.isSet(o.samples) && !parser.isSet(o.list))
        refuseOption(nameOf(o.samples),
                     QStringLiteral("サンプル数を指定してください（1～%1）。").arg(MaxSampleCount));
    if (!parser.isSet(o.list))
        job.sampleCount = rangedValue(parser, o.samples, Ranged::Samples);

    const QString numberedOnly = QStringLiteral("番号を印刷するシートタイプ");
    requireFor(parser, o.first, info.numbered, type, numberedOnly);
    if (parser.isSet(o.first))
        job.initialValue = rangedValue(parser, o.first, Ranged::First);
    requireFor(parser, o.numberStyle, info.numbered, type, numberedOnly);
    if (parser.isSet(o.numberStyle))
        job.numberStyle =
            NumberStyle(wordValue(o.numberStyle, parser.value(o.numberStyle), numberStyleWords()));

    if (parser.isSet(o.repeat)) {
        job.repeatCount = rangedValue(parser, o.repeat, Ranged::Repeat);
        if (!info.repeatShown && job.repeatCount != 1)
            refuseOption(
                nameOf(o.repeat),
                QStringLiteral("%1はサンプルごとに 1 枚だけ印刷します。").arg(sheetTypeWord(type)));
    }
    if (exceedsJobSize(job))
        throw BatchRefusal{QStringLiteral("--samples × --repeat: %1 × %2 = %3 ラベル。\n")
                               .arg(job.sampleCount)
                               .arg(job.repeatCount)
                               .arg(jobLabelCount(job)) +
                           tooManyLabelsText()};
}

// A sample list: each sample's own text, read and checked as the window reads it. The job
// takes its count and texts; the notice about unread columns becomes a warning.
void readList(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r)
{
    if (!parser.isSet(o.list)) {
        if (parser.isSet(o.listHeader))
            refuseOption(nameOf(o.listHeader), QStringLiteral("--list と一緒に使います。"));
        return;
    }
    for (const QCommandLineOption *other : {&o.samples, &o.text, &o.textFile}) {
        if (parser.isSet(*other))
            refuseOption(nameOf(*other),
                         QStringLiteral("--list と一緒には使えません"
                                        "（サンプル数と文字はリストで決まります）。"));
    }
    if (!parser.isSet(o.type))
        return; // readNumbers asks for the type
    const SheetType type = typeOption(parser, o);
    const QString path = parser.value(o.list) == QLatin1String("-")
                             ? parser.value(o.list)
                             : checkedPath(parser, o, o.list, false);
    const ListTableRead table =
        path == QLatin1String("-") ? readCsvFromStandardInput() : readListTable(path);
    if (!table.ok())
        refuseOption(nameOf(o.list), sampleListFailureText(path, table.reason));
    const SampleListRead read =
        buildSampleList(table.table, {type, parser.isSet(o.listHeader)}, path);
    if (!read.ok())
        refuseOption(nameOf(o.list), read.error);
    r.job.sampleCount = read.list.count();
    // The record names the list and what it held; standard input is gone once read.
    r.listFile = path == QLatin1String("-") ? path : QFileInfo(path).absoluteFilePath();
    QByteArray bytes;
    QString why;
    if (path != QLatin1String("-") && readBoundedFile(path, MaxListFileBytes, &bytes, &why))
        r.listSha256 = sha256Hex(bytes);
    for (int i = 0; i < read.list.count(); ++i)
        r.job.sampleTexts << read.list.sampleText(i);
    const QString notice = sampleListNotice(read.list, type);
    if (!notice.isEmpty())
        r.warnings << notice;
}

// The label text, checked against the limits of the type's text box.
QString readText(const QCommandLineParser &parser, const BatchOptionSet &o, SheetType type)
{
    if (parser.isSet(o.text) && parser.isSet(o.textFile))
        throw BatchRefusal{QStringLiteral("--text と --text-file は一緒に使えません。")};
    const bool isMarker = hasMarker(type);
    QString text;
    QString textOption;
    if (parser.isSet(o.text)) {
        textOption = nameOf(o.text);
        text = unescaped(parser.value(o.text));
    } else if (parser.isSet(o.textFile)) {
        textOption = nameOf(o.textFile);
        const QString path = parser.value(o.textFile) == QLatin1String("-")
                                 ? parser.value(o.textFile)
                                 : checkedPath(parser, o, o.textFile, false);
        if (!isMarker)
            text = readTextFile(textOption, path);
    }
    if (textOption.isEmpty())
        return text;
    // Lines are counted and printed alike whatever ended them.
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const TextProblem problem = checkLabelText(text, type);
    if (problem.kind == TextProblem::MarkerType)
        refuseOption(
            textOption,
            QStringLiteral("%1は文字ではなく --marker で印を選びます。").arg(sheetTypeWord(type)));
    if (problem.kind != TextProblem::None)
        refuseOption(textOption, textProblemText(problem, type));
    return text;
}

// The marker of the marker type, and the proof the window builds from the text, which is
// what printing and export read.
void readProof(const QCommandLineParser &parser, const BatchOptionSet &o, const QString &text,
               LabelJob &job)
{
    const SheetType type = job.sheetType;
    const bool isMarker = hasMarker(type);
    requireFor(parser, o.marker, isMarker, type,
               QStringLiteral("シートタイプ ") + typeNumbers(hasMarker));
    ProofInput in;
    if (isMarker) {
        if (!parser.isSet(o.marker))
            refuseOption(nameOf(o.marker), QStringLiteral("%1には印を指定してください（1～%2）。")
                                               .arg(sheetTypeWord(type))
                                               .arg(MarkerCount));
        in.marker = wordValue(o.marker, parser.value(o.marker), markerWords(), true);
    }
    in.sheetType = type;
    in.text = text;
    in.initialValue = job.initialValue;
    in.numberStyle = job.numberStyle;
    const ProofLabelContent proof = proofLabelFor(in);
    if (hasOneLineEntry(type))
        job.enteredText = text;
    job.proofText = proof.kind == ProofKind::Circle ? proof.circleText : proof.text;
    if (proof.fixedColours) {
        job.backColourIndex = proof.backColourIndex;
        job.textColourIndex = proof.textColourIndex;
    }
}

// Colours, frame, alignment and font.
void readLook(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r)
{
    LabelJob &job = r.job;
    const SheetType type = job.sheetType;
    if (parser.isSet(o.textColour))
        job.textColourIndex =
            wordValue(o.textColour, parser.value(o.textColour), colourWords(textColourNames()));
    if (parser.isSet(o.backColour))
        job.backColourIndex =
            wordValue(o.backColour, parser.value(o.backColour), colourWords(backColourNames()));

    requireFor(parser, o.frame, hasRoundLabels(type), type,
               QStringLiteral("円形シート（%1）").arg(typeNumbers(hasRoundLabels)));
    job.frame = parser.isSet(o.frame);
    requireFor(parser, o.align, hasAlignChoice(type), type,
               QStringLiteral("シートタイプ ") + typeNumbers(hasAlignChoice));
    if (parser.isSet(o.align))
        job.printAlign = PrintAlign(wordValue(o.align, parser.value(o.align), alignWords()));

    const QString face = parser.isSet(o.font) ? parser.value(o.font) : uiFaceName();
    // The program's own face is a Windows name that only stands for an installed one.
    const bool ownFace = face == uiFaceName();
    if (!ownFace && !fontInstalled(face))
        refuseOption(nameOf(o.font),
                     QStringLiteral("フォント「%1」がありません。").arg(visibleText(face)));
    // Whether the face (or what stands in for it) draws every character of the job is asked
    // once the job is whole, with its texts.
    job.labelFont = QFont(face);
    job.labelFont.setBold(true);
}

// The 2-D codes: only where the label has room, with a prefix that fits, and at a
// resolution whose modules fit the code's square.
void readCode(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r)
{
    LabelJob &job = r.job;
    const SheetType type = job.sheetType;
    requireFor(parser, o.code, hasCodeRoom(type), type,
               QStringLiteral("シートタイプ ") + typeNumbers(hasCodeRoom));
    job.code = parser.isSet(o.code);
    if (parser.isSet(o.codePrefix) && !job.code)
        refuseOption(nameOf(o.codePrefix), QStringLiteral("--code と一緒に使います。"));
    job.codePrefix = parser.value(o.codePrefix);
    if (!job.code)
        return;
    const QString problem = prefixProblem(job.codePrefix, type);
    if (!problem.isEmpty())
        refuseOption(nameOf(o.codePrefix), problem);
    if (!r.pdfPath.isEmpty()) {
        const QString coarse = codeResolutionProblem(type, r.pdfDpi, r.pdfDpi);
        if (!coarse.isEmpty())
            refuseOption(nameOf(o.resolution), coarse);
    }
}

// Two options that name one file would overwrite each other's output, or the settings.
void requireDistinctFiles(const QCommandLineParser &parser, const BatchOptionSet &o)
{
    QList<const QCommandLineOption *> given;
    // The list and the text file are read before anything is written, but a job that
    // replaced its own list with its PDF would leave the user without the list.
    for (const QCommandLineOption *option : {&o.pdf, &o.xls, &o.settings, &o.textFile, &o.list}) {
        if (parser.isSet(*option) && parser.value(*option) != QLatin1String("-"))
            given << option;
    }
    for (int i = 0; i < given.size(); ++i) {
        for (int j = i + 1; j < given.size(); ++j) {
            if (sameFile(parser.value(*given[i]), parser.value(*given[j])))
                throw BatchRefusal{QStringLiteral("--%1 と --%2 が同じファイルです: %3")
                                       .arg(nameOf(*given[i]), nameOf(*given[j]),
                                            visibleText(parser.value(*given[j])))};
        }
    }
}

// Where the labels and the workbook go.
void readOutputs(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r)
{
    const SheetType type = r.job.sheetType;
    if (parser.isSet(o.pdf) == parser.isSet(o.printer))
        throw BatchRefusal{
            parser.isSet(o.pdf)
                ? QStringLiteral("--pdf と --printer は一緒に使えません。")
                : QStringLiteral("出力先を --pdf か --printer で指定してください。")};
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
    if (parser.isSet(o.resolution))
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
}

// Where the job's record goes.
void readHistoryPlace(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r)
{
    if (parser.isSet(o.historyDb) && parser.isSet(o.noHistory))
        throw BatchRefusal{QStringLiteral("--history-db と --no-history は一緒に使えません。")};
    r.noHistory = parser.isSet(o.noHistory);
    if (!parser.isSet(o.historyDb))
        return;
    r.historyDb = parser.value(o.historyDb);
    HistoryLocation location;
    QString error;
    if (!historyLocationFromValue(r.historyDb, &location, &error))
        refuseOption(nameOf(o.historyDb), error);
}

// A sample number of --only, 0..9999.
int sampleNumber(const QCommandLineOption &option, const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < MinFirstNumber || n > MaxFirstNumber || text.size() > 4)
        refuseOption(nameOf(option), QStringLiteral("番号は %1～%2 の数字で FIRST-LAST の形に"
                                                    "指定してください（「%3」）。")
                                         .arg(MinFirstNumber)
                                         .arg(MaxFirstNumber)
                                         .arg(visibleText(text)));
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
                << &o.offsetX << &o.offsetY;
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
    if (!parser.isSet(o.historyDb) && !parser.isSet(o.settings))
        refuseOption(nameOf(mode), QStringLiteral("履歴を --history-db か --settings で指定して"
                                                  "ください。"));
    BatchRequest r;
    requireDistinctFiles(parser, o);
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
        const QStringList parts = parser.value(o.only).split(QLatin1Char('-'));
        if (parts.size() != 2)
            sampleNumber(o.only, parser.value(o.only));
        r.onlyFirst = sampleNumber(o.only, parts.value(0));
        r.onlyLast = sampleNumber(o.only, parts.value(1));
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

BatchRequest requestOf(const QCommandLineParser &parser, const BatchOptionSet &o)
{
    if (!parser.positionalArguments().isEmpty())
        throw BatchRefusal{
            QStringLiteral("余分な引数があります: %1")
                .arg(visibleText(parser.positionalArguments().join(QLatin1Char(' '))))};
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

    requireDistinctFiles(parser, o);
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

} // namespace

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
        command.request = requestOf(parser, o);
        command.action = BatchCommand::Run;
    } catch (const BatchRefusal &refusal) {
        command.error = refusal.message;
    }
    return command;
}

} // namespace corvial
