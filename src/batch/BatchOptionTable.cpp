// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchOptionTable.h"

#include "BatchOptions.h"
#include "files/BoundedFile.h"
#include "files/SafeFile.h"
#include "job/Colours.h"
#include "job/JobRules.h"
#include "job/PrinterScale.h"
#include "job/ProofLabel.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"
#include "print/JobFollow.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringDecoder>

#include <optional>

namespace corvial {

namespace {

// A label text is a few dozen bytes; anything this large is not one.
constexpr qint64 kMaxTextFileBytes = 64 * 1024;

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
// default), value name, what the refusals call it, and its range.
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

const RangeRow &rangeRow(Ranged which)
{
    static const RangeRow rows[] = {
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
        {{QStringLiteral("wait")},
         "With --printer: follow the job in CUPS for at most %1..%2 seconds (default %3) until "
         "it is printed, aborted or cancelled. Aborted or cancelled is a failure; a job still "
         "waiting then (a paused or unreachable printer) counts as printed, with a notice.",
         "seconds",
         "待ち時間（秒）",
         0,
         MaxJobWaitSeconds,
         DefaultJobWaitSeconds},
    };
    return rows[int(which)];
}

// The proof label of the marker type, for the colours it prints in whatever was chosen.
ProofLabelContent markerProof()
{
    ProofInput in;
    for (SheetType t : SheetType::all()) {
        if (hasMarker(t))
            in.sheetType = t;
    }
    return proofLabelFor(in);
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

} // namespace

void refuseOption(const QString &option, const QString &why)
{
    refuseOptions({option}, QStringLiteral("%1: "), why);
}

void refuseOptions(const QStringList &options, const QString &pattern, const QString &detail)
{
    BatchRefusal refusal{QString(), options, pattern, detail};
    refusal.message =
        refusalWords(refusal, [](const QString &option) { return QStringLiteral("--") + option; });
    throw refusal;
}

QString refusalWords(const BatchRefusal &refusal,
                     const std::function<QString(const QString &)> &name)
{
    // Only the pattern, the program's own words, is filled in: what the user gave stays in
    // the detail, where a "%1" of his is not taken for a place.
    QString words = refusal.pattern;
    for (const QString &option : refusal.options)
        words = words.arg(name(option));
    return words + refusal.detail;
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

QString rangedWhat(Ranged which)
{
    return QString::fromUtf8(rangeRow(which).what);
}

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

QString typeNumbers(bool (*has)(SheetType))
{
    QStringList types;
    for (SheetType t : SheetType::all()) {
        if (has(t))
            types << QString::number(t.code());
    }
    return types.join(QStringLiteral(", "));
}

QString typesText(bool (*has)(SheetType))
{
    const QString numbers = typeNumbers(has);
    return (numbers.contains(QLatin1Char(',')) ? QStringLiteral("types ")
                                               : QStringLiteral("type ")) +
           numbers;
}

bool hasAlignChoice(SheetType sheetType)
{
    return sheetType.info().alignChoice;
}

bool hasOneLineEntry(SheetType sheetType)
{
    return sheetType.info().textBox.kind == TextBoxKind::OneLine;
}

bool hasMarker(SheetType sheetType)
{
    return sheetType.info().textBox.kind == TextBoxKind::Marker;
}

bool hasRoundLabels(SheetType sheetType)
{
    return sheetType.family().shape == LabelShape::Ellipse;
}

QString textHelp()
{
    int oneLineBytes = 0;
    for (SheetType t : SheetType::all()) {
        if (hasOneLineEntry(t))
            oneLineBytes = t.info().textBox.totalBytes;
    }
    return QStringLiteral("Label text. A line break, or the two characters \\n, separates lines; "
                          "\\\\ is a backslash. %1: one line of %2 bytes; the others: the lines "
                          "and bytes listed above (full-width characters count 2 bytes, a line "
                          "break 2). Text that does not fit is refused, never cut.")
        .arg(capitalised(typesText(hasOneLineEntry)))
        .arg(oneLineBytes);
}

QString markerHelp()
{
    return QStringLiteral("Marker of %1 (required there): 1 or -20 (－２０℃), 2 or -80 "
                          "(－８０℃), 3 or caution (注意), 4 or danger (危険).")
        .arg(typesText(hasMarker));
}

QString colourHelp(bool background)
{
    const QStringList names = background ? backColourNames() : textColourNames();
    const ProofLabelContent marker = markerProof();
    const LabelJob defaults;
    const int usual = background ? defaults.backColourIndex : defaults.textColourIndex;
    const int own = background ? marker.backColourIndex : marker.textColourIndex;
    return (background ? QStringLiteral("Background colour: ") : QStringLiteral("Text colour: ")) +
           names.join(QStringLiteral(", ")) +
           QStringLiteral(" (default %1; %2 for %3).")
               .arg(names.value(usual), names.value(own), typesText(hasMarker));
}

QString frameHelp()
{
    return QStringLiteral("%1 only: the background as a ring around a white centre.")
        .arg(capitalised(typesText(hasRoundLabels)));
}

QString alignHelp()
{
    return QStringLiteral("%1 only: left (default), centre or right.")
        .arg(capitalised(typesText(hasAlignChoice)));
}

QString scaleHelp(bool along)
{
    return QStringLiteral("Printer scale %1 for this run, in percent from %2 to %3 in steps "
                          "of 0.1, instead of the one saved beside --settings (100.0 without "
                          "it).")
        .arg(along ? QStringLiteral("along the page (top to bottom)")
                   : QStringLiteral("across the page (left to right)"),
             formatScalePercent(ScalePermilleMin), formatScalePercent(ScalePermilleMax));
}

QString codeHelp()
{
    return QStringLiteral("%1 only: every label also carries a DataMatrix of its sample's ID, "
                          "the --code-prefix and the number as printed.")
        .arg(capitalised(typesText(hasCodeRoom)));
}

QString batchDescription()
{
    QString d =
        QStringLiteral(
            "Prints one label job without a window, exactly as the Print button of Corvial Manager "
            "does (same sheets, layouts, limits and %1-label maximum), into a PDF file or on a "
            "CUPS printer, and can write the job's Excel workbook as the Excel button does.\n\n"
            "Sheet types (labels per sheet; what the text may hold):\n")
            .arg(MaxJobLabels);
    for (SheetType t : SheetType::all()) {
        const SheetTypeInfo &info = t.info();
        const TextBox &box = info.textBox;
        QString holds;
        switch (box.kind) {
        case TextBoxKind::OneLine:
            holds = QStringLiteral("1 line of %1 bytes").arg(box.totalBytes);
            break;
        case TextBoxKind::Lines:
        case TextBoxKind::Memo:
            holds = QStringLiteral("%1 lines of %2 bytes").arg(box.lineCount).arg(box.lineBytes);
            break;
        case TextBoxKind::Marker:
            holds = QStringLiteral("a marker");
            break;
        }
        d += QStringLiteral("  %1  %2 (%3; %4%5)\n")
                 .arg(t.code(), 2)
                 .arg(QString::fromUtf8(info.caption))
                 .arg(t.family().labels)
                 .arg(holds, info.numbered ? QStringLiteral(", numbered") : QString());
    }
    d += QStringLiteral(
        "\nExactly one of --pdf and --printer. On success one line says how many sheets and "
        "labels were printed, the next start position and the next first number.\n"
        "Exit status: 0 printed; 1 a printer, file, lock, settings or history failure, with the "
        "system's reason (start.txt stays as it was unless the job printed); 2 the command "
        "line was refused, naming the option (nothing is printed or written).");
    return d;
}

QString nameOf(const QCommandLineOption &option)
{
    for (const QString &name : option.names()) {
        if (name.size() > 1)
            return name;
    }
    return option.names().constFirst();
}

void requireOnce(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    if (parser.values(option).size() > 1)
        refuseOption(nameOf(option), QStringLiteral("2 回以上指定されています。"));
}

int rangedValue(const QCommandLineParser &parser, const QCommandLineOption &option, Ranged which,
                const QString &what, int high)
{
    const RangeRow &row = rangeRow(which);
    const QString name = what.isEmpty() ? QString::fromUtf8(row.what) : what;
    const int top = high > 0 ? high : row.high;
    const QString value = parser.value(option);
    const std::optional<int> v = decimal(value);
    if (!v)
        refuseOption(
            nameOf(option),
            QStringLiteral("%1は数字で指定してください（「%2」）。").arg(name, visibleText(value)));
    if (*v < row.low || *v > top)
        refuseOption(nameOf(option), QStringLiteral("%1は %2～%3 です（%4 が指定されました）。")
                                         .arg(name)
                                         .arg(row.low)
                                         .arg(top)
                                         .arg(*v));
    return *v;
}

int wordValue(const QCommandLineOption &option, const QString &given, const WordRow &row,
              bool trimmed)
{
    const QString word = trimmed ? given.trimmed() : given;
    for (int i = 0; i < row.words.size(); ++i) {
        if (row.words.at(i).compare(word, Qt::CaseInsensitive) == 0)
            return row.values.at(i);
    }
    refuseOption(nameOf(option), row.refusal.arg(visibleText(given)));
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
        refuseOption(option, QStringLiteral("文字のファイルが %1 バイトを超えています: %2")
                                 .arg(kMaxTextFileBytes)
                                 .arg(shown));
    if (!read)
        refuseOption(
            option,
            QStringLiteral("文字のファイルを読み込めませんでした: %1\n%2").arg(shown, reason));
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        refuseOption(option,
                     QStringLiteral("文字のファイルが UTF-8 ではありません: %1").arg(shown));
    // The line break that ends a file's last line does not open another line.
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    else if (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

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
                SheetType sheetType, const QString &onlyFor)
{
    if (parser.isSet(option) && !allowed)
        refuseOption(nameOf(option), QStringLiteral("%1には使えません（%2だけです）。")
                                         .arg(sheetTypeWord(sheetType), onlyFor));
}

QString checkedPath(const QCommandLineParser &parser, const BatchOptionSet &o,
                    const QCommandLineOption &option, bool output)
{
    const QString path = parser.value(option);
    if (path.isEmpty())
        refuseOption(nameOf(option), QStringLiteral("ファイル名が空です。"));
    for (const QString &argument : o.undecodable) {
        if (argument == path || argument.endsWith(QLatin1Char('=') + path))
            refuseOption(
                nameOf(option),
                QStringLiteral("ファイル名に UTF-8 として読めないバイトがあります。別の名前の"
                               "ファイルに書き込んでしまわないよう、使いません。"));
    }
    if (output) {
        const QString problem = outputProblem(path);
        if (!problem.isEmpty())
            refuseOption(nameOf(option), QStringLiteral("このファイルには書き込めません: %1\n%2")
                                             .arg(visibleText(path), problem));
    }
    return path;
}

} // namespace corvial
