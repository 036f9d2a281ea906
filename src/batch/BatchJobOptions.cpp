// SPDX-License-Identifier: GPL-3.0-or-later
// The options that describe a job's labels: sheet type and numbers, the text or a sample
// list, the proof built from it, the look, and the 2-D codes.
#include "BatchJobOptions.h"

#include "BatchOptionTable.h"
#include "barcode/CodeRules.h"
#include "export/WorkbookExport.h"
#include "files/BoundedFile.h"
#include "files/SafeFile.h"
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

} // namespace

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
        const QString problem = repeatProblem(type, job.repeatCount);
        if (!problem.isEmpty())
            refuseOption(nameOf(o.repeat), problem);
    }
    if (exceedsJobSize(job))
        refuseOptions({nameOf(o.samples), nameOf(o.repeat)}, QStringLiteral("%1 × %2: "),
                      QStringLiteral("%1 × %2 = %3 ラベル。\n")
                              .arg(job.sampleCount)
                              .arg(job.repeatCount)
                              .arg(jobLabelCount(job)) +
                          tooManyLabelsText());
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
    // A job file's texts stand for a list that is read already; --list then names the job
    // file for the messages.
    const bool standardInput = !o.texts && parser.value(o.list) == QLatin1String("-");
    const QString path =
        o.texts || standardInput ? parser.value(o.list) : checkedPath(parser, o, o.list, false);
    ListTableRead table;
    if (o.texts)
        table.table = *o.texts;
    else
        table = standardInput ? readCsvFromStandardInput() : readListTable(path);
    if (!table.ok())
        refuseOption(nameOf(o.list), sampleListFailureText(path, table.reason));
    const SampleListRead read =
        buildSampleList(table.table, {type, parser.isSet(o.listHeader)}, path);
    if (!read.ok())
        refuseOption(nameOf(o.list), read.error);
    r.job.sampleCount = read.list.count();
    // The record names the list and what it held; standard input is gone once read, and a
    // job file's texts are the job file's, which the record names.
    if (!o.texts)
        r.listFile = standardInput ? path : QFileInfo(path).absoluteFilePath();
    QByteArray bytes;
    QString why;
    if (!o.texts && !standardInput && readBoundedFile(path, MaxListFileBytes, &bytes, &why))
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
        refuseOptions({nameOf(o.text), nameOf(o.textFile)},
                      QStringLiteral("%1 と %2 は一緒に使えません。"));
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

} // namespace corvial
