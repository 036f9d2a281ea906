// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchOptions.h"

#include "export/WorkbookExport.h"
#include "job/Colours.h"
#include "job/Fonts.h"
#include "job/ProofLabel.h"
#include "job/SheetTypes.h"
#include "job/ShiftJis.h"
#include "job/TextLimits.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringDecoder>
#include <QStringEncoder>

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

QString typeWord(int sheetType)
{
    return QStringLiteral("シートタイプ %1（%2）")
        .arg(sheetType)
        .arg(QString::fromUtf8(sheetTypeInfo(sheetType).caption));
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

struct Options
{
    QCommandLineOption type{{QStringLiteral("t"), QStringLiteral("type")},
                            QStringLiteral("Sheet type 1..10 (required; see the list above)."),
                            QStringLiteral("1..10")};
    QCommandLineOption samples{{QStringLiteral("n"), QStringLiteral("samples")},
                               QStringLiteral("Number of samples 1..400 (required)."),
                               QStringLiteral("count")};
    QCommandLineOption first{{QStringLiteral("f"), QStringLiteral("first")},
                             QStringLiteral("Number of the first sample, 0..9999 (default 1). "
                                            "Numbered types only."),
                             QStringLiteral("number")};
    QCommandLineOption repeat{{QStringLiteral("r"), QStringLiteral("repeat")},
                              QStringLiteral("Labels per sample, 1..5 (default 1); the types "
                                             "without numbers print one label per sample."),
                              QStringLiteral("count")};
    QCommandLineOption text{QStringLiteral("text"),
                            QStringLiteral("Label text. A line break, or the two characters "
                                           "\\n, separates lines; \\\\ is a backslash. Type 1: one "
                                           "line of 5 bytes; the others: the lines and bytes "
                                           "listed above (full-width characters count 2 bytes, "
                                           "a line break 2). Text that does not fit is refused, "
                                           "never cut."),
                            QStringLiteral("text")};
    QCommandLineOption textFile{QStringLiteral("text-file"),
                                QStringLiteral("Read the label text from a UTF-8 file ('-' for "
                                               "standard input); one final line break is "
                                               "ignored. Same limits as --text."),
                                QStringLiteral("file")};
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
    QCommandLineOption font{QStringLiteral("font"),
                            QStringLiteral("Font face of the labels (default ＭＳ Ｐゴシック, "
                                           "which maps to an installed Japanese Gothic face); "
                                           "always bold."),
                            QStringLiteral("face")};
    QCommandLineOption pdf{QStringLiteral("pdf"),
                           QStringLiteral("Print into this PDF file, one A4 page per sheet "
                                          "(replaced if it exists)."),
                           QStringLiteral("file")};
    QCommandLineOption resolution{QStringLiteral("resolution"),
                                  QStringLiteral("Resolution of the PDF, 72..2400 dpi (default "
                                                 "600)."),
                                  QStringLiteral("dpi")};
    QCommandLineOption printer{QStringLiteral("printer"),
                               QStringLiteral("Print on this CUPS printer instead, at its own "
                                              "resolution."),
                               QStringLiteral("name")};
    QCommandLineOption xls{QStringLiteral("xls"),
                           QStringLiteral("Also write the Excel workbook of the job, as the "
                                          "Excel button does (numbered types only; replaced if "
                                          "it exists). Written before printing."),
                           QStringLiteral("file")};
    QCommandLineOption start{QStringLiteral("start"),
                             QStringLiteral("Label position on the first sheet where printing "
                                            "starts, 1..labels per sheet (default 1)."),
                             QStringLiteral("position")};
    QCommandLineOption offsetX{QStringLiteral("offset-x"),
                               QStringLiteral("Horizontal printer offset index 0..20 (-5 mm .. "
                                              "+5 mm in 0.5 mm steps, 10 = none, the default)."),
                               QStringLiteral("index")};
    QCommandLineOption offsetY{QStringLiteral("offset-y"),
                               QStringLiteral("Vertical printer offset index 0..20, as "
                                              "--offset-x."),
                               QStringLiteral("index")};
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

    QList<QCommandLineOption> all() const
    {
        return {type,    samples,     first,      repeat,     text,  textFile,
                marker,  numberStyle, textColour, backColour, frame, align,
                font,    pdf,         resolution, printer,    xls,   start,
                offsetX, offsetY,     settings,   exportDate, help,  version};
    }
};

QString description()
{
    QString d = QStringLiteral(
        "Prints one label job without a window, exactly as the Print button of Corvial Manager "
        "does (same sheets, layouts, limits and 400-label maximum), into a PDF file or on a "
        "CUPS printer, and can write the job's Excel workbook as the Excel button does.\n\n"
        "Sheet types (labels per sheet; what the text may hold):\n");
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

int rangedValue(const QCommandLineParser &parser, const QCommandLineOption &option, int low,
                int high, const QString &what)
{
    const QString value = parser.value(option);
    const std::optional<int> v = decimal(value);
    if (!v)
        refuse(nameOf(option),
               QStringLiteral("%1は数字で指定してください（「%2」）。").arg(what, value));
    if (*v < low || *v > high)
        refuse(nameOf(option), QStringLiteral("%1は %2～%3 です（%4 が指定されました）。")
                                   .arg(what)
                                   .arg(low)
                                   .arg(high)
                                   .arg(*v));
    return *v;
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
    QFile file;
    const bool stdIn = path == QLatin1String("-");
    const bool opened = stdIn ? file.open(stdin, QIODevice::ReadOnly)
                              : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        refuse(option, QStringLiteral("文字のファイルを読み込めませんでした: %1\n%2")
                           .arg(path, file.errorString()));
    const QByteArray bytes = file.read(kMaxTextFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        refuse(option, QStringLiteral("文字のファイルを読み込めませんでした: %1\n%2")
                           .arg(path, file.errorString()));
    if (bytes.size() > kMaxTextFileBytes)
        refuse(option, QStringLiteral("文字のファイルが %1 バイトを超えています: %2")
                           .arg(kMaxTextFileBytes)
                           .arg(path));
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        refuse(option, QStringLiteral("文字のファイルが UTF-8 ではありません: %1").arg(path));
    // The line break that ends a file's last line does not open another line.
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    else if (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

// Every text of this program is a Shift-JIS byte string; a character without a Shift-JIS
// form would reach the workbook as "?" and break the byte counts of the limits.
void requireShiftJis(const QString &option, const QString &text)
{
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
    for (char32_t cp : text.toUcs4()) {
        if (cp < 0x80)
            continue;
        const char32_t one[1] = {cp};
        const QString s = QString::fromUcs4(one, 1);
        const QByteArray bytes = encoder.encode(s);
        if (encoder.hasError() || bytes.isEmpty())
            refuse(option, QStringLiteral("「%1」（U+%2）は Shift-JIS で表せない文字です。")
                               .arg(s, QString::number(uint(cp), 16)
                                           .toUpper()
                                           .rightJustified(4, QLatin1Char('0'))));
    }
}

QString tooManyLines(int sheetType, int allowed, int lines)
{
    return QStringLiteral("%1の文字は %2 行までです（%3 行あります）。")
        .arg(typeWord(sheetType))
        .arg(allowed)
        .arg(lines);
}

// Why the text breaks a limit of the sheet type, checked the way the window's boxes limit
// what is typed; empty when it keeps them all.
QString limitProblem(const QString &text, int sheetType)
{
    const SheetTypeInfo &info = sheetTypeInfo(sheetType);
    const QStringList lines = memoLines(text);
    const int lineCount = memoLineCount(text);
    const int bytes = sjisLength(text);
    int allowedLines = 0;
    int lineBytes = 0;
    int checkedLines = 0;
    int maxBytes = 0;
    QString limited;
    switch (info.source) {
    case EntrySource::Edit2:
        allowedLines = 1;
        lineBytes = info.edit2Limit;
        checkedLines = 1;
        maxBytes = info.edit2Limit;
        limited = limitEdit2Text(text, sheetType);
        // A one-line box cannot take a line break at all.
        if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
            return tooManyLines(sheetType, 1, int(lines.size()));
        break;
    case EntrySource::Memo5:
        allowedLines = 4;
        lineBytes = info.memo5LineBytes;
        checkedLines = 4;
        maxBytes = Memo5MaxBytes;
        limited = limitMemo5Text(text, sheetType);
        break;
    case EntrySource::Memo8:
        allowedLines = info.memo8KeptLines;
        lineBytes = info.memo8LineBytes;
        checkedLines = info.memo8Lines;
        maxBytes = info.memo8Limit;
        limited = limitMemo8Text(text, sheetType, info.memo8Limit);
        break;
    case EntrySource::Marker:
        return QStringLiteral("%1は文字ではなく --marker で印を選びます。")
            .arg(typeWord(sheetType));
    }
    if (lineCount > allowedLines)
        return tooManyLines(sheetType, allowedLines, lineCount);
    for (int k = 0; k < checkedLines && k < lines.size(); ++k) {
        const int n = sjisLength(lines.at(k));
        if (n <= lineBytes)
            continue;
        const QString which =
            allowedLines == 1 ? QStringLiteral("%1の文字").arg(typeWord(sheetType))
                              : QStringLiteral("%1の %2 行目").arg(typeWord(sheetType)).arg(k + 1);
        return QStringLiteral(
                   "%1は %2 バイトまでです（%3 バイトあります。全角文字は 2 バイトです）。")
            .arg(which)
            .arg(lineBytes)
            .arg(n);
    }
    if (bytes > maxBytes)
        return QStringLiteral("%1の文字は改行（2 バイト）を含めて %2 バイトまでです（%3 バイトあり"
                              "ます）。")
            .arg(typeWord(sheetType))
            .arg(maxBytes)
            .arg(bytes);
    // The window's own limit has the last word.
    if (limited != text)
        return QStringLiteral(
                   "%1の入力の制限を超えています（そのままでは「%2」に切り詰められます）。")
            .arg(typeWord(sheetType), limited);
    return QString();
}

int markerItem(const QString &value)
{
    const QString v = value.trimmed();
    const QStringList english = {QStringLiteral("-20"), QStringLiteral("-80"),
                                 QStringLiteral("caution"), QStringLiteral("danger")};
    const QStringList captions = {QStringLiteral("ー２０℃"), QStringLiteral("ー８０℃"),
                                  QStringLiteral("注意"), QStringLiteral("危険")};
    for (int i = 0; i < MarkerCount; ++i) {
        if (v == QString::number(i + 1) || v.compare(english.at(i), Qt::CaseInsensitive) == 0 ||
            v == captions.at(i) || v == markerText(i))
            return i;
    }
    return -1;
}

int colourIndex(const QCommandLineOption &option, const QString &value, const QStringList &names)
{
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(value, Qt::CaseInsensitive) == 0)
            return i;
    }
    refuse(nameOf(option), QStringLiteral("「%1」という色はありません。使える色: %2")
                               .arg(value, names.join(QStringLiteral(", "))));
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

// The font the system really draws the face with has Japanese glyphs. Asked of the font
// that is resolved, because the names the font database lists follow the locale.
bool printsJapanese(const QString &face)
{
    const QFontInfo resolved{QFont(face)};
    return QFontDatabase::writingSystems(resolved.family()).contains(QFontDatabase::Japanese);
}

// An option that would change nothing on this sheet type is a mistake in the command, not
// something to ignore.
void requireFor(const QCommandLineParser &parser, const QCommandLineOption &option, bool allowed,
                int sheetType, const QString &onlyFor)
{
    if (parser.isSet(option) && !allowed)
        refuse(
            nameOf(option),
            QStringLiteral("%1には使えません（%2だけです）。").arg(typeWord(sheetType), onlyFor));
}

BatchRequest requestOf(const QCommandLineParser &parser, const Options &o)
{
    if (!parser.positionalArguments().isEmpty())
        throw Refusal{QStringLiteral("余分な引数があります: %1")
                          .arg(parser.positionalArguments().join(QLatin1Char(' ')))};
    for (const QCommandLineOption &option : o.all())
        requireOnce(parser, option);

    BatchRequest r;
    LabelJob &job = r.job;

    if (!parser.isSet(o.type))
        refuse(nameOf(o.type), QStringLiteral("シートタイプを指定してください（1～10）。"));
    const int type = rangedValue(parser, o.type, 1, SheetTypeCount, QStringLiteral("シートタイプ"));
    const SheetTypeInfo &info = sheetTypeInfo(type);
    job.sheetType = type;

    if (!parser.isSet(o.samples))
        refuse(nameOf(o.samples),
               QStringLiteral("サンプル数を指定してください（1～%1）。").arg(MaxJobLabels));
    job.sampleCount = rangedValue(parser, o.samples, 1, MaxJobLabels, QStringLiteral("サンプル数"));

    requireFor(parser, o.first, info.numbered, type, QStringLiteral("番号を印刷するシートタイプ"));
    if (parser.isSet(o.first))
        job.initialValue =
            rangedValue(parser, o.first, MinFirstNumber, MaxFirstNumber, QStringLiteral("初期値"));
    requireFor(parser, o.numberStyle, info.numbered, type,
               QStringLiteral("番号を印刷するシートタイプ"));
    if (parser.isSet(o.numberStyle)) {
        const QString style = parser.value(o.numberStyle).toLower();
        if (style == QLatin1String("padded"))
            job.numberStyle = 0;
        else if (style == QLatin1String("plain"))
            job.numberStyle = 1;
        else
            refuse(nameOf(o.numberStyle),
                   QStringLiteral("padded（0007）か plain（7）で指定してください（「%1」）。")
                       .arg(parser.value(o.numberStyle)));
    }

    if (parser.isSet(o.repeat)) {
        job.repeatCount =
            rangedValue(parser, o.repeat, 1, MaxRepeatCount, QStringLiteral("リピート面数"));
        if (!info.repeatShown && job.repeatCount != 1)
            refuse(nameOf(o.repeat),
                   QStringLiteral("%1はサンプルごとに 1 枚だけ印刷します。").arg(typeWord(type)));
    }
    if (jobLabelCount(job) > MaxJobLabels)
        throw Refusal{QStringLiteral("--samples × --repeat: %1 × %2 = %3 ラベル。\n"
                                     "プリントラベル数が４００を越えていますので、"
                                     "再設定お願いいたします。")
                          .arg(job.sampleCount)
                          .arg(job.repeatCount)
                          .arg(jobLabelCount(job))};

    // The label text, checked against the limits of the box the window would take it from.
    if (parser.isSet(o.text) && parser.isSet(o.textFile))
        throw Refusal{QStringLiteral("--text と --text-file は一緒に使えません。")};
    const bool isMarker = info.source == EntrySource::Marker;
    QString text;
    QString textOption;
    if (parser.isSet(o.text)) {
        textOption = nameOf(o.text);
        text = unescaped(parser.value(o.text));
    } else if (parser.isSet(o.textFile)) {
        textOption = nameOf(o.textFile);
        if (!isMarker)
            text = readTextFile(textOption, parser.value(o.textFile));
    }
    if (!textOption.isEmpty()) {
        // Lines are counted and printed alike whatever ended them.
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (isMarker)
            refuse(
                textOption,
                QStringLiteral("%1は文字ではなく --marker で印を選びます。").arg(typeWord(type)));
        requireShiftJis(textOption, text);
        const QString problem = limitProblem(text, type);
        if (!problem.isEmpty())
            refuse(textOption, problem);
    }
    requireFor(parser, o.marker, isMarker, type, QStringLiteral("シートタイプ 4"));
    int marker = 0;
    if (isMarker) {
        if (!parser.isSet(o.marker))
            refuse(nameOf(o.marker),
                   QStringLiteral("%1には印を指定してください（1～4）。").arg(typeWord(type)));
        marker = markerItem(parser.value(o.marker));
        if (marker < 0)
            refuse(nameOf(o.marker),
                   QStringLiteral("印は 1～4 か -20, -80, caution, danger です（「%1」）。")
                       .arg(parser.value(o.marker)));
    }

    // What PrintSet puts into the proof texts, which are what printing and export read.
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
        job.memo7 = proof.memoText;
        break;
    case ProofKind::Number:
    case ProofKind::TextOnly:
        job.memo3 = proof.memoText;
        break;
    }
    if (proof.fixedColours) {
        job.backColourIndex = proof.backColourIndex;
        job.textColourIndex = proof.textColourIndex;
    }
    if (parser.isSet(o.textColour))
        job.textColourIndex =
            colourIndex(o.textColour, parser.value(o.textColour), textColourNames());
    if (parser.isSet(o.backColour))
        job.backColourIndex =
            colourIndex(o.backColour, parser.value(o.backColour), backColourNames());

    requireFor(parser, o.frame, isCircleType(type), type, QStringLiteral("円形シート（1）"));
    job.frame = parser.isSet(o.frame);
    requireFor(parser, o.align, info.alignChoice, type, QStringLiteral("シートタイプ 6, 7, 9, 10"));
    if (parser.isSet(o.align)) {
        const QString where = parser.value(o.align).toLower();
        if (where == QLatin1String("left"))
            job.printAlign = 1;
        else if (where == QLatin1String("centre") || where == QLatin1String("center"))
            job.printAlign = 2;
        else if (where == QLatin1String("right"))
            job.printAlign = 3;
        else
            refuse(nameOf(o.align), QStringLiteral("left, centre, right のどれかです（「%1」）。")
                                        .arg(parser.value(o.align)));
    }

    const QString face = parser.isSet(o.font) ? parser.value(o.font) : uiFaceName();
    // The program's own face is a Windows name that only stands for an installed one.
    const bool ownFace = face == uiFaceName();
    if (!ownFace && !fontInstalled(face))
        refuse(nameOf(o.font), QStringLiteral("フォント「%1」がありません。").arg(face));
    // The window prints with whatever face the system puts in its place too; say so at least.
    if (ownFace && !printsJapanese(face))
        r.warnings << QStringLiteral("「%1」の代わりになる日本語フォントが見つかりません。"
                                     "日本語の文字は正しく印刷されないことがあります"
                                     "（fonts-ipafont-gothic を入れてください）。")
                          .arg(face);
    job.labelFont = QFont(face);
    job.labelFont.setBold(true);

    // Where the labels go.
    if (parser.isSet(o.pdf) == parser.isSet(o.printer))
        throw Refusal{parser.isSet(o.pdf)
                          ? QStringLiteral("--pdf と --printer は一緒に使えません。")
                          : QStringLiteral("出力先を --pdf か --printer で指定してください。")};
    if (parser.isSet(o.pdf)) {
        r.pdfPath = parser.value(o.pdf);
        if (r.pdfPath.isEmpty())
            refuse(nameOf(o.pdf), QStringLiteral("ファイル名が空です。"));
    } else {
        r.printerName = parser.value(o.printer);
        if (r.printerName.isEmpty())
            refuse(nameOf(o.printer), QStringLiteral("プリンター名が空です。"));
    }
    if (parser.isSet(o.resolution) && !parser.isSet(o.pdf))
        refuse(nameOf(o.resolution), QStringLiteral("PDF（--pdf）のときだけ使えます。プリンターには"
                                                    "そのプリンターの解像度で印刷します。"));
    if (parser.isSet(o.resolution))
        r.pdfDpi = rangedValue(parser, o.resolution, MinPdfDpi, MaxPdfDpi,
                               QStringLiteral("解像度（dpi）"));

    if (parser.isSet(o.xls)) {
        if (!isExportableType(type))
            refuse(nameOf(o.xls), QStringLiteral("%1は番号のないラベルなので Excel に書き出せません"
                                                 "（番号を印刷するシートタイプだけです）。")
                                      .arg(typeWord(type)));
        r.xlsPath = parser.value(o.xls);
        if (r.xlsPath.isEmpty())
            refuse(nameOf(o.xls), QStringLiteral("ファイル名が空です。"));
    }
    if (parser.isSet(o.exportDate)) {
        r.exportDate = QDate::fromString(parser.value(o.exportDate), Qt::ISODate);
        if (!r.exportDate.isValid())
            refuse(nameOf(o.exportDate), QStringLiteral("日付は yyyy-mm-dd で指定してください。"));
    }

    // Where on the sheet.
    const int perSheet = LabelsPerSheet(type);
    if (parser.isSet(o.settings)) {
        for (const QCommandLineOption *option : {&o.start, &o.offsetX, &o.offsetY}) {
            if (parser.isSet(*option))
                refuse(nameOf(*option),
                       QStringLiteral("--settings と一緒には使えません（開始位置とオフセットは"
                                      "設定ファイルから取ります）。"));
        }
        r.settingsPath = parser.value(o.settings);
        if (r.settingsPath.isEmpty())
            refuse(nameOf(o.settings), QStringLiteral("ファイル名が空です。"));
    }
    if (parser.isSet(o.start))
        job.startPos = rangedValue(parser, o.start, 1, perSheet,
                                   QStringLiteral("%1の開始位置").arg(typeWord(type)));
    if (parser.isSet(o.offsetX))
        job.offsetX = rangedValue(parser, o.offsetX, OffsetIndexMin, OffsetIndexMax,
                                  QStringLiteral("オフセット"));
    if (parser.isSet(o.offsetY))
        job.offsetY = rangedValue(parser, o.offsetY, OffsetIndexMin, OffsetIndexMax,
                                  QStringLiteral("オフセット"));
    return r;
}

} // namespace

BatchCommand parseBatchCommand(const QStringList &arguments)
{
    Options o;
    o.exportDate.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addOptions(o.all());

    BatchCommand command;
    if (!parser.parse(arguments)) {
        command.error = parser.errorText();
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
