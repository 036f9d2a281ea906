// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchOptions.h"

#include "barcode/CodeRules.h"
#include "export/WorkbookExport.h"
#include "files/BoundedFile.h"
#include "files/SafeFile.h"
#include "job/Colours.h"
#include "job/Fonts.h"
#include "job/JobRules.h"
#include "job/ProofLabel.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"
#include "lists/SampleList.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStringDecoder>

#include <optional>

namespace corvial {

namespace {

// A label text is a few dozen bytes; anything this large is not one.
constexpr qint64 kMaxTextFileBytes = 64 * 1024;

// Thrown out of the checks with the message for stderr; caught in parseBatchCommand only.
struct Refusal
{
    QString message;
};

[[noreturn]] void refuse(const QString &option, const QString &why)
{
    throw Refusal{QStringLiteral("--%1: %2").arg(option, why)};
}

// Plain decimal integers only: a stray letter, blank or sign must not be read as something.
std::optional<int> decimal(const QString &text)
{
    qsizetype i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (i >= text.size() || text.size() - i > 9)
        return std::nullopt;
    int v = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return text.startsWith(QLatin1Char('-')) ? -v : v;
}

// One integer option: its names, help text (%1 and %2 stand for the range, %3 for the
// default), value name, what the refusals call it, and its range. The help text and the
// check both read the range from here, so they cannot drift apart.
struct RangeRow
{
    QStringList names;
    const char *help;
    const char *valueName;
    const char *what;
    int low;
    int high;
    int fallback;
};

// The start position's range depends on the sheet type; its row gives only the bottom.
enum Ranged { Type, Samples, First, Repeat, Resolution, Start, OffsetX, OffsetY, RangedCount };

const RangeRow &rangeRow(Ranged which)
{
    static const RangeRow rows[RangedCount] = {
        {{QStringLiteral("t"), QStringLiteral("type")},
         "Sheet type %1..%2 (required; see the list above).",
         "%1..%2",
         "シートタイプ",
         1,
         SheetTypeCount,
         0},
        {{QStringLiteral("n"), QStringLiteral("samples")},
         "Number of samples %1..%2 (required).",
         "count",
         "サンプル数",
         MinSampleCount,
         MaxSampleCount,
         0},
        {{QStringLiteral("f"), QStringLiteral("first")},
         "Number of the first sample, %1..%2 (default %3). Numbered types only.",
         "number",
         "初期値",
         MinFirstNumber,
         MaxFirstNumber,
         LabelJob().initialValue},
        {{QStringLiteral("r"), QStringLiteral("repeat")},
         "Labels per sample, %1..%2 (default %3); the types without numbers print one label per "
         "sample.",
         "count",
         "リピート面数",
         MinRepeatCount,
         MaxRepeatCount,
         LabelJob().repeatCount},
        {{QStringLiteral("resolution")},
         "Resolution of the PDF, %1..%2 dpi (default %3).",
         "dpi",
         "解像度（dpi）",
         MinPdfDpi,
         MaxPdfDpi,
         DefaultPdfDpi},
        {{QStringLiteral("start")},
         "Label position on the first sheet where printing starts, %1..labels per sheet "
         "(default %3).",
         "position",
         "の開始位置",
         1,
         0,
         LabelJob().startPos},
        {{QStringLiteral("offset-x")},
         "Horizontal printer offset index %1..%2 (-5 mm .. +5 mm in 0.5 mm steps, %3 = none, the "
         "default).",
         "index",
         "オフセット",
         OffsetIndexMin,
         OffsetIndexMax,
         OffsetIndexCentre},
        {{QStringLiteral("offset-y")},
         "Vertical printer offset index %1..%2, as --offset-x.",
         "index",
         "オフセット",
         OffsetIndexMin,
         OffsetIndexMax,
         OffsetIndexCentre},
    };
    return rows[which];
}

QCommandLineOption rangeOption(Ranged which)
{
    const RangeRow &row = rangeRow(which);
    const auto filled = [&row](const char *text) {
        QString s = QString::fromUtf8(text);
        s.replace(QLatin1String("%1"), QString::number(row.low));
        s.replace(QLatin1String("%2"), QString::number(row.high));
        s.replace(QLatin1String("%3"), QString::number(row.fallback));
        return s;
    };
    return QCommandLineOption(row.names, filled(row.help), filled(row.valueName));
}

// One option that takes a word: the words it knows, the value each stands for, and the
// refusal for any other word (%1 is what was given).
struct WordRow
{
    QStringList words;
    QVector<int> values;
    QString refusal;
};

WordRow numberStyleWords()
{
    return {{QStringLiteral("padded"), QStringLiteral("plain")},
            {int(NumberStyle::Padded), int(NumberStyle::Plain)},
            QStringLiteral("padded（0007）か plain（7）で指定してください（「%1」）。")};
}

WordRow alignWords()
{
    return {{QStringLiteral("left"), QStringLiteral("centre"), QStringLiteral("center"),
             QStringLiteral("right")},
            {int(PrintAlign::Left), int(PrintAlign::Centre), int(PrintAlign::Centre),
             int(PrintAlign::Right)},
            QStringLiteral("left, centre, right のどれかです（「%1」）。")};
}

// A marker is named by its number, an English word, the entry screen's caption or the
// printed text.
WordRow markerWords()
{
    const QStringList english = {QStringLiteral("-20"), QStringLiteral("-80"),
                                 QStringLiteral("caution"), QStringLiteral("danger")};
    WordRow row;
    for (int i = 0; i < MarkerCount; ++i) {
        row.words << QString::number(i + 1) << english.at(i) << markerCaption(i) << markerText(i);
        row.values << i << i << i << i;
    }
    row.refusal = QStringLiteral("印は 1～4 か -20, -80, caution, danger です（「%1」）。");
    return row;
}

WordRow colourWords(const QStringList &names)
{
    WordRow row;
    row.words = names;
    for (int i = 0; i < names.size(); ++i)
        row.values << i;
    row.refusal =
        QStringLiteral("「%1」という色はありません。使える色: ") + names.join(QStringLiteral(", "));
    return row;
}

// The sheet types whose labels have room for a code, for the help and the refusals.
QString codeTypesText()
{
    QStringList types;
    for (int t = 1; t <= SheetTypeCount; ++t) {
        if (hasCodeRoom(t))
            types << QString::number(t);
    }
    return types.join(QStringLiteral(", "));
}

struct Options
{
    QCommandLineOption type = rangeOption(Type);
    QCommandLineOption samples = rangeOption(Samples);
    QCommandLineOption first = rangeOption(First);
    QCommandLineOption repeat = rangeOption(Repeat);
    QCommandLineOption text{QStringLiteral("text"),
                            QStringLiteral("Label text. A line break, or the two characters "
                                           "\\n, separates lines; \\\\ is a backslash. Type 1: one "
                                           "line of %1 bytes; the others: the lines and bytes "
                                           "listed above (full-width characters count 2 bytes, "
                                           "a line break 2). Text that does not fit is refused, "
                                           "never cut.")
                                .arg(sheetTypeInfo(1).edit2Limit),
                            QStringLiteral("text")};
    QCommandLineOption textFile{QStringLiteral("text-file"),
                                QStringLiteral("Read the label text from a UTF-8 file ('-' for "
                                               "standard input); one final line break is "
                                               "ignored. Same limits as --text."),
                                QStringLiteral("file")};
    QCommandLineOption list{QStringLiteral("list"),
                            QStringLiteral("Sample list: one row per sample, column A the first "
                                           "line of its label, B the second, as many as the "
                                           "type prints (.csv, .tsv, .txt, .xls, .xlsx; '-' "
                                           "reads a CSV from standard input). Every cell is "
                                           "held to the limits of --text. The list decides the "
                                           "samples and their texts: not with --samples, "
                                           "--text or --text-file."),
                            QStringLiteral("file")};
    QCommandLineOption listHeader{QStringLiteral("list-header"),
                                  QStringLiteral("The first row of --list is a heading, not a "
                                                 "sample.")};
    QCommandLineOption marker{QStringLiteral("marker"),
                              QStringLiteral("Marker of type 4 (required there): 1 or -20 "
                                             "(－２０℃), 2 or -80 (－８０℃), 3 or caution (注意), "
                                             "4 or danger (危険)."),
                              QStringLiteral("marker")};
    QCommandLineOption numberStyle{QStringLiteral("number-style"),
                                   QStringLiteral("padded (0007, the default) or plain (7)."),
                                   QStringLiteral("style")};
    QCommandLineOption textColour{{QStringLiteral("text-colour"), QStringLiteral("text-color")},
                                  QStringLiteral("Text colour: ") +
                                      textColourNames().join(QStringLiteral(", ")) +
                                      QStringLiteral(" (default Black; White for type 4)."),
                                  QStringLiteral("name")};
    QCommandLineOption backColour{{QStringLiteral("back-colour"), QStringLiteral("back-color")},
                                  QStringLiteral("Background colour: ") +
                                      backColourNames().join(QStringLiteral(", ")) +
                                      QStringLiteral(" (default White; Red for type 4)."),
                                  QStringLiteral("name")};
    QCommandLineOption frame{QStringLiteral("frame"),
                             QStringLiteral("Type 1 only: the background as a ring around a "
                                            "white centre.")};
    QCommandLineOption align{QStringLiteral("align"),
                             QStringLiteral("Types 6, 7, 9, 10 only: left (default), centre or "
                                            "right."),
                             QStringLiteral("where")};
    QCommandLineOption code{QStringLiteral("code"),
                            QStringLiteral("Types %1 only: every label also carries a DataMatrix "
                                           "of its sample's ID, the --code-prefix and the number "
                                           "as printed.")
                                .arg(codeTypesText())};
    QCommandLineOption codePrefix{QStringLiteral("code-prefix"),
                                  QStringLiteral("With --code: ASCII characters before the "
                                                 "number in every code (no blanks; at most as "
                                                 "many as the sheet type's code holds, %1 at "
                                                 "most).")
                                      .arg(PrefixMaxChars),
                                  QStringLiteral("prefix")};
    QCommandLineOption font{QStringLiteral("font"),
                            QStringLiteral("Font face of the labels (default ＭＳ Ｐゴシック, "
                                           "which maps to an installed Japanese Gothic face); "
                                           "always bold."),
                            QStringLiteral("face")};
    QCommandLineOption pdf{QStringLiteral("pdf"),
                           QStringLiteral("Print into this PDF file, one A4 page per sheet "
                                          "(replaced if it exists)."),
                           QStringLiteral("file")};
    QCommandLineOption resolution = rangeOption(Resolution);
    QCommandLineOption printer{QStringLiteral("printer"),
                               QStringLiteral("Print on this CUPS printer instead, at its own "
                                              "resolution."),
                               QStringLiteral("name")};
    QCommandLineOption xls{QStringLiteral("xls"),
                           QStringLiteral("Also write the Excel workbook of the job, as the "
                                          "Excel button does (numbered types only; replaced if "
                                          "it exists). Written before printing."),
                           QStringLiteral("file")};
    QCommandLineOption start = rangeOption(Start);
    QCommandLineOption offsetX = rangeOption(OffsetX);
    QCommandLineOption offsetY = rangeOption(OffsetY);
    QCommandLineOption settings{QStringLiteral("settings"),
                                QStringLiteral("Take the start position and offsets of the "
                                               "sheet from this start.txt, and after a "
                                               "successful print save the next start position "
                                               "there, as the window does. Not with --start or "
                                               "--offset-x/-y. Refused while a window uses the "
                                               "file."),
                                QStringLiteral("start.txt")};
    // Fixes the date in the workbook title, so a workbook can be compared byte for byte.
    QCommandLineOption exportDate{QStringLiteral("export-date"), QString(),
                                  QStringLiteral("yyyy-mm-dd")};
    QCommandLineOption help = QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                                 QStringLiteral("Show this help."));
    QCommandLineOption version = QCommandLineOption(
        {QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version."));

    // Arguments whose bytes did not survive decoding (not UTF-8), as decoded.
    QStringList undecodable;

    QList<QCommandLineOption> all() const
    {
        return {type,       samples,    first,       repeat,     text,       textFile, list,
                listHeader, marker,     numberStyle, textColour, backColour, frame,    align,
                code,       codePrefix, font,        pdf,        resolution, printer,  xls,
                start,      offsetX,    offsetY,     settings,   exportDate, help,     version};
    }
};

QString description()
{
    QString d =
        QStringLiteral(
            "Prints one label job without a window, exactly as the Print button of Corvial Manager "
            "does (same sheets, layouts, limits and %1-label maximum), into a PDF file or on a "
            "CUPS printer, and can write the job's Excel workbook as the Excel button does.\n\n"
            "Sheet types (labels per sheet; what the text may hold):\n")
            .arg(MaxJobLabels);
    for (int t = 1; t <= SheetTypeCount; ++t) {
        const SheetTypeInfo &info = sheetTypeInfo(t);
        QString holds;
        switch (info.source) {
        case EntrySource::Edit2:
            holds = QStringLiteral("1 line of %1 bytes").arg(info.edit2Limit);
            break;
        case EntrySource::Memo8:
            holds = QStringLiteral("%1 lines of %2 bytes")
                        .arg(info.memo8KeptLines)
                        .arg(info.memo8LineBytes);
            break;
        case EntrySource::Memo5:
            holds = QStringLiteral("4 lines of %1 bytes").arg(info.memo5LineBytes);
            break;
        case EntrySource::Marker:
            holds = QStringLiteral("a marker");
            break;
        }
        d += QStringLiteral("  %1  %2 (%3; %4%5)\n")
                 .arg(t, 2)
                 .arg(QString::fromUtf8(info.caption))
                 .arg(LabelsPerSheet(t))
                 .arg(holds, info.numbered ? QStringLiteral(", numbered") : QString());
    }
    d += QStringLiteral(
        "\nExactly one of --pdf and --printer. On success one line says how many sheets and "
        "labels were printed, the next start position and the next first number.\n"
        "Exit status: 0 printed; 1 a printer, file, lock or settings failure, with the "
        "system's reason (start.txt stays as it was unless the job printed); 2 the command "
        "line was refused, naming the option (nothing is printed or written).");
    return d;
}

// The long name an option is documented under (the first one of two or more letters).
QString nameOf(const QCommandLineOption &option)
{
    for (const QString &name : option.names()) {
        if (name.size() > 1)
            return name;
    }
    return option.names().constFirst();
}

// Rejects an option given twice: which of the two was meant cannot be guessed.
void requireOnce(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    if (parser.values(option).size() > 1)
        refuse(nameOf(option), QStringLiteral("2 回以上指定されています。"));
}

// The option's value checked against its row; high, when given, replaces the row's top.
int rangedValue(const QCommandLineParser &parser, const QCommandLineOption &option, Ranged which,
                const QString &what = QString(), int high = 0)
{
    const RangeRow &row = rangeRow(which);
    const QString name = what.isEmpty() ? QString::fromUtf8(row.what) : what;
    const int top = high > 0 ? high : row.high;
    const QString value = parser.value(option);
    const std::optional<int> v = decimal(value);
    if (!v)
        refuse(
            nameOf(option),
            QStringLiteral("%1は数字で指定してください（「%2」）。").arg(name, visibleText(value)));
    if (*v < row.low || *v > top)
        refuse(nameOf(option), QStringLiteral("%1は %2～%3 です（%4 が指定されました）。")
                                   .arg(name)
                                   .arg(row.low)
                                   .arg(top)
                                   .arg(*v));
    return *v;
}

// The value of the word given (case does not matter; with trimmed, neither do blanks
// around it); refused with the row's message otherwise.
int wordValue(const QCommandLineOption &option, const QString &given, const WordRow &row,
              bool trimmed = false)
{
    const QString word = trimmed ? given.trimmed() : given;
    for (int i = 0; i < row.words.size(); ++i) {
        if (row.words.at(i).compare(word, Qt::CaseInsensitive) == 0)
            return row.values.at(i);
    }
    refuse(nameOf(option), row.refusal.arg(visibleText(given)));
}

// "\n" is a line break and "\\" a backslash, so a one-line shell command can give two lines.
QString unescaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text.at(i + 1);
            if (next == QLatin1Char('n')) {
                out += QLatin1Char('\n');
                ++i;
                continue;
            }
            if (next == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString readTextFile(const QString &option, const QString &path)
{
    const bool standardInput = path == QLatin1String("-");
    const QString shown = standardInput ? QStringLiteral("標準入力") : visibleText(path);
    QByteArray bytes;
    bool tooLarge = false;
    QString reason;
    // A FIFO would wait for a writer for ever, a device may act on being opened; a pipe on
    // standard input is read to its end, however its writer divides the text.
    const bool read =
        standardInput
            ? readStandardInput(kMaxTextFileBytes, StandardInputSeconds, &bytes, &reason, &tooLarge)
            : readBoundedFile(path, kMaxTextFileBytes, &bytes, &reason, &tooLarge);
    if (tooLarge)
        refuse(option, QStringLiteral("文字のファイルが %1 バイトを超えています: %2")
                           .arg(kMaxTextFileBytes)
                           .arg(shown));
    if (!read)
        refuse(option,
               QStringLiteral("文字のファイルを読み込めませんでした: %1\n%2").arg(shown, reason));
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        refuse(option, QStringLiteral("文字のファイルが UTF-8 ではありません: %1").arg(shown));
    // The line break that ends a file's last line does not open another line.
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    else if (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

// The face itself is installed, or is one the program maps onto an installed face.
bool fontInstalled(const QString &face)
{
    if (QFontDatabase::hasFamily(face))
        return true;
    const QStringList substitutes = QFont::substitutes(face);
    for (const QString &s : substitutes) {
        if (QFontDatabase::hasFamily(s))
            return true;
    }
    return false;
}

// An option that would change nothing on this sheet type is a mistake in the command, not
// something to ignore.
void requireFor(const QCommandLineParser &parser, const QCommandLineOption &option, bool allowed,
                int sheetType, const QString &onlyFor)
{
    if (parser.isSet(option) && !allowed)
        refuse(nameOf(option), QStringLiteral("%1には使えません（%2だけです）。")
                                   .arg(sheetTypeWord(sheetType), onlyFor));
}

// The file an option names: not empty, spelt in bytes that decode to it, and for an output
// something a file can be written to.
QString checkedPath(const QCommandLineParser &parser, const Options &o,
                    const QCommandLineOption &option, bool output)
{
    const QString path = parser.value(option);
    if (path.isEmpty())
        refuse(nameOf(option), QStringLiteral("ファイル名が空です。"));
    for (const QString &argument : o.undecodable) {
        if (argument == path || argument.endsWith(QLatin1Char('=') + path))
            refuse(nameOf(option),
                   QStringLiteral("ファイル名に UTF-8 として読めないバイトがあります。別の名前の"
                                  "ファイルに書き込んでしまわないよう、使いません。"));
    }
    if (output) {
        const QString problem = outputProblem(path);
        if (!problem.isEmpty())
            refuse(nameOf(option), QStringLiteral("このファイルには書き込めません: %1\n%2")
                                       .arg(visibleText(path), problem));
    }
    return path;
}

// Sheet type, sample count, first number, number style and repeat count, and the job size.
void readNumbers(const QCommandLineParser &parser, const Options &o, LabelJob &job)
{
    if (!parser.isSet(o.type))
        refuse(nameOf(o.type),
               QStringLiteral("シートタイプを指定してください（1～%1）。").arg(SheetTypeCount));
    const int type = rangedValue(parser, o.type, Type);
    const SheetTypeInfo &info = sheetTypeInfo(type);
    job.sheetType = type;

    // A list has decided the count already.
    if (!parser.isSet(o.samples) && !parser.isSet(o.list))
        refuse(nameOf(o.samples),
               QStringLiteral("サンプル数を指定してください（1～%1）。").arg(MaxSampleCount));
    if (!parser.isSet(o.list))
        job.sampleCount = rangedValue(parser, o.samples, Samples);

    const QString numberedOnly = QStringLiteral("番号を印刷するシートタイプ");
    requireFor(parser, o.first, info.numbered, type, numberedOnly);
    if (parser.isSet(o.first))
        job.initialValue = rangedValue(parser, o.first, First);
    requireFor(parser, o.numberStyle, info.numbered, type, numberedOnly);
    if (parser.isSet(o.numberStyle))
        job.numberStyle =
            NumberStyle(wordValue(o.numberStyle, parser.value(o.numberStyle), numberStyleWords()));

    if (parser.isSet(o.repeat)) {
        job.repeatCount = rangedValue(parser, o.repeat, Repeat);
        if (!info.repeatShown && job.repeatCount != 1)
            refuse(
                nameOf(o.repeat),
                QStringLiteral("%1はサンプルごとに 1 枚だけ印刷します。").arg(sheetTypeWord(type)));
    }
    if (exceedsJobSize(job))
        throw Refusal{QStringLiteral("--samples × --repeat: %1 × %2 = %3 ラベル。\n")
                          .arg(job.sampleCount)
                          .arg(job.repeatCount)
                          .arg(jobLabelCount(job)) +
                      tooManyLabelsText()};
}

// A sample list: each sample's own text, read and checked as the window reads it. The job
// takes its count and texts; the notice about unread columns becomes a warning.
void readList(const QCommandLineParser &parser, const Options &o, BatchRequest &r)
{
    if (!parser.isSet(o.list)) {
        if (parser.isSet(o.listHeader))
            refuse(nameOf(o.listHeader), QStringLiteral("--list と一緒に使います。"));
        return;
    }
    for (const QCommandLineOption *other : {&o.samples, &o.text, &o.textFile}) {
        if (parser.isSet(*other))
            refuse(nameOf(*other), QStringLiteral("--list と一緒には使えません"
                                                  "（サンプル数と文字はリストで決まります）。"));
    }
    if (!parser.isSet(o.type))
        return; // readNumbers asks for the type
    const int type = rangedValue(parser, o.type, Type);
    const QString path = parser.value(o.list) == QLatin1String("-")
                             ? parser.value(o.list)
                             : checkedPath(parser, o, o.list, false);
    const ListTableRead table =
        path == QLatin1String("-") ? readCsvFromStandardInput() : readListTable(path);
    if (!table.ok())
        refuse(nameOf(o.list), sampleListFailureText(path, table.reason));
    const SampleListRead read =
        buildSampleList(table.table, {type, parser.isSet(o.listHeader)}, path);
    if (!read.ok())
        refuse(nameOf(o.list), read.error);
    r.job.sampleCount = read.list.count();
    for (int i = 0; i < read.list.count(); ++i)
        r.job.sampleTexts << read.list.sampleText(i);
    const QString notice = sampleListNotice(read.list, type);
    if (!notice.isEmpty())
        r.warnings << notice;
}

// The label text, checked against the limits of the box the window would take it from.
QString readText(const QCommandLineParser &parser, const Options &o, int type)
{
    if (parser.isSet(o.text) && parser.isSet(o.textFile))
        throw Refusal{QStringLiteral("--text と --text-file は一緒に使えません。")};
    const bool isMarker = isMarkerType(type);
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
        refuse(
            textOption,
            QStringLiteral("%1は文字ではなく --marker で印を選びます。").arg(sheetTypeWord(type)));
    if (problem.kind != TextProblem::None)
        refuse(textOption, textProblemText(problem, type));
    return text;
}

// The marker of the marker type, and what PrintSet puts into the proof texts, which are
// what printing and export read.
void readProof(const QCommandLineParser &parser, const Options &o, const QString &text,
               LabelJob &job)
{
    const int type = job.sheetType;
    const SheetTypeInfo &info = sheetTypeInfo(type);
    const bool isMarker = info.source == EntrySource::Marker;
    requireFor(parser, o.marker, isMarker, type, QStringLiteral("シートタイプ 4"));
    int marker = 0;
    if (isMarker) {
        if (!parser.isSet(o.marker))
            refuse(nameOf(o.marker), QStringLiteral("%1には印を指定してください（1～%2）。")
                                         .arg(sheetTypeWord(type))
                                         .arg(MarkerCount));
        marker = wordValue(o.marker, parser.value(o.marker), markerWords(), true);
    }

    ProofInput in;
    in.sheetType = type;
    in.entryText = info.source == EntrySource::Edit2 ? text : QString();
    in.memo8 = info.source == EntrySource::Memo8 ? text : QString();
    in.memo5 = info.source == EntrySource::Memo5 ? text : QString();
    in.marker = marker;
    in.initialValue = job.initialValue;
    in.numberStyle = job.numberStyle;
    const ProofLabelContent proof = proofLabelFor(in);
    job.entryText = in.entryText;
    switch (proof.kind) {
    case ProofKind::Circle:
        job.circleText = proof.circleText;
        break;
    case ProofKind::Memo:
        job.memoText = proof.memoText;
        break;
    case ProofKind::Number:
    case ProofKind::TextOnly:
        job.labelText = proof.memoText;
        break;
    }
    if (proof.fixedColours) {
        job.backColourIndex = proof.backColourIndex;
        job.textColourIndex = proof.textColourIndex;
    }
}

// Colours, frame, alignment and font.
void readLook(const QCommandLineParser &parser, const Options &o, BatchRequest &r)
{
    LabelJob &job = r.job;
    const int type = job.sheetType;
    if (parser.isSet(o.textColour))
        job.textColourIndex =
            wordValue(o.textColour, parser.value(o.textColour), colourWords(textColourNames()));
    if (parser.isSet(o.backColour))
        job.backColourIndex =
            wordValue(o.backColour, parser.value(o.backColour), colourWords(backColourNames()));

    requireFor(parser, o.frame, isCircleType(type), type, QStringLiteral("円形シート（1）"));
    job.frame = parser.isSet(o.frame);
    requireFor(parser, o.align, sheetTypeInfo(type).alignChoice, type,
               QStringLiteral("シートタイプ 6, 7, 9, 10"));
    if (parser.isSet(o.align))
        job.printAlign = PrintAlign(wordValue(o.align, parser.value(o.align), alignWords()));

    const QString face = parser.isSet(o.font) ? parser.value(o.font) : uiFaceName();
    // The program's own face is a Windows name that only stands for an installed one.
    const bool ownFace = face == uiFaceName();
    if (!ownFace && !fontInstalled(face))
        refuse(nameOf(o.font),
               QStringLiteral("フォント「%1」がありません。").arg(visibleText(face)));
    // Whether the face (or what stands in for it) draws every character of the job is asked
    // once the job is whole, with its texts.
    job.labelFont = QFont(face);
    job.labelFont.setBold(true);
}

// The 2-D codes: only where the label has room, with a prefix that fits, and at a
// resolution whose modules fit the code's square.
void readCode(const QCommandLineParser &parser, const Options &o, BatchRequest &r)
{
    LabelJob &job = r.job;
    const int type = job.sheetType;
    requireFor(parser, o.code, hasCodeRoom(type), type,
               QStringLiteral("シートタイプ ") + codeTypesText());
    job.code = parser.isSet(o.code);
    if (parser.isSet(o.codePrefix) && !job.code)
        refuse(nameOf(o.codePrefix), QStringLiteral("--code と一緒に使います。"));
    job.codePrefix = parser.value(o.codePrefix);
    if (!job.code)
        return;
    const QString problem = prefixProblem(job.codePrefix, type);
    if (!problem.isEmpty())
        refuse(nameOf(o.codePrefix), problem);
    if (!r.pdfPath.isEmpty()) {
        const QString coarse = codeResolutionProblem(type, r.pdfDpi, r.pdfDpi);
        if (!coarse.isEmpty())
            refuse(nameOf(o.resolution), coarse);
    }
}

// Two options that name one file would overwrite each other's output, or the settings.
void requireDistinctFiles(const QCommandLineParser &parser, const Options &o)
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
                throw Refusal{QStringLiteral("--%1 と --%2 が同じファイルです: %3")
                                  .arg(nameOf(*given[i]), nameOf(*given[j]),
                                       visibleText(parser.value(*given[j])))};
        }
    }
}

// Where the labels and the workbook go.
void readOutputs(const QCommandLineParser &parser, const Options &o, BatchRequest &r)
{
    const int type = r.job.sheetType;
    if (parser.isSet(o.pdf) == parser.isSet(o.printer))
        throw Refusal{parser.isSet(o.pdf)
                          ? QStringLiteral("--pdf と --printer は一緒に使えません。")
                          : QStringLiteral("出力先を --pdf か --printer で指定してください。")};
    if (parser.isSet(o.pdf)) {
        r.pdfPath = checkedPath(parser, o, o.pdf, true);
    } else {
        r.printerName = parser.value(o.printer);
        if (r.printerName.isEmpty())
            refuse(nameOf(o.printer), QStringLiteral("プリンター名が空です。"));
    }
    if (parser.isSet(o.resolution) && !parser.isSet(o.pdf))
        refuse(nameOf(o.resolution), QStringLiteral("PDF（--pdf）のときだけ使えます。プリンターには"
                                                    "そのプリンターの解像度で印刷します。"));
    if (parser.isSet(o.resolution))
        r.pdfDpi = rangedValue(parser, o.resolution, Resolution);

    if (parser.isSet(o.xls)) {
        if (!isExportableType(type))
            refuse(nameOf(o.xls), QStringLiteral("%1は番号のないラベルなので Excel に書き出せません"
                                                 "（番号を印刷するシートタイプだけです）。")
                                      .arg(sheetTypeWord(type)));
        r.xlsPath = checkedPath(parser, o, o.xls, true);
    }
    if (parser.isSet(o.exportDate)) {
        r.exportDate = QDate::fromString(parser.value(o.exportDate), Qt::ISODate);
        if (!r.exportDate.isValid())
            refuse(nameOf(o.exportDate), QStringLiteral("日付は yyyy-mm-dd で指定してください。"));
    }
}

// Where on the sheet: from a settings file, or as given.
void readPlace(const QCommandLineParser &parser, const Options &o, BatchRequest &r)
{
    LabelJob &job = r.job;
    if (parser.isSet(o.settings)) {
        for (const QCommandLineOption *option : {&o.start, &o.offsetX, &o.offsetY}) {
            if (parser.isSet(*option))
                refuse(nameOf(*option),
                       QStringLiteral("--settings と一緒には使えません（開始位置とオフセットは"
                                      "設定ファイルから取ります）。"));
        }
        r.settingsPath = checkedPath(parser, o, o.settings, false);
    }
    if (parser.isSet(o.start))
        job.startPos =
            rangedValue(parser, o.start, Start,
                        sheetTypeWord(job.sheetType) + QString::fromUtf8(rangeRow(Start).what),
                        LabelsPerSheet(job.sheetType));
    if (parser.isSet(o.offsetX))
        job.offsetX = rangedValue(parser, o.offsetX, OffsetX);
    if (parser.isSet(o.offsetY))
        job.offsetY = rangedValue(parser, o.offsetY, OffsetY);
}

BatchRequest requestOf(const QCommandLineParser &parser, const Options &o)
{
    if (!parser.positionalArguments().isEmpty())
        throw Refusal{QStringLiteral("余分な引数があります: %1")
                          .arg(visibleText(parser.positionalArguments().join(QLatin1Char(' '))))};
    for (const QCommandLineOption &option : o.all())
        requireOnce(parser, option);

    // Before any file is read: a list that is also an output is refused for that, not for
    // what the output made of it last time.
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
    readPlace(parser, o, r);
    return r;
}

} // namespace

BatchCommand parseBatchCommand(const QStringList &arguments, const QStringList &undecodable)
{
    Options o;
    o.undecodable = undecodable;
    o.exportDate.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
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
    } catch (const Refusal &refusal) {
        command.error = refusal.message;
    }
    return command;
}

} // namespace corvial
