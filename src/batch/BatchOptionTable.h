// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The options of corvial-batch, one row each, and the checks of their values. The help text
// and the refusals read the same rows (ranges, words, the sheet types an option serves), so
// they cannot drift apart; the sheet facts come from the sheet table.

#include "barcode/CodeRules.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace corvial {

struct ListTable;

// Thrown out of the checks with the message for stderr; caught in parseBatchCommand and
// parseJobFile only. The options a refusal names are kept apart from its words, so that a job
// file's refusal can name the keys the file wrote while the command line's reads as always.
struct BatchRefusal
{
    QString message;          // as the command line words it
    QStringList options = {}; // the options it names (nameOf), in order; empty: none
    QString pattern = {};     // with options: the words around them, %1.. standing for each
    QString detail = {};      // what follows the pattern; it may quote what the user gave
};

// Throws the refusal "--option: why".
[[noreturn]] void refuseOption(const QString &option, const QString &why);
// Throws the refusal of pattern with %1.. naming options ("--pdf"), then detail.
[[noreturn]] void refuseOptions(const QStringList &options, const QString &pattern,
                                const QString &detail = QString());
// The refusal's words with each of its options called name(option); the command line's are
// message, with "--option".
QString refusalWords(const BatchRefusal &refusal,
                     const std::function<QString(const QString &)> &name);

// The integer options; each has a row with its range. The start position's top depends on
// the sheet type, so its row gives only the bottom.
enum class Ranged { Type, Samples, First, Repeat, Resolution, Start, OffsetX, OffsetY, Wait };

// The option of an integer row, its help and value name filled in from the row.
QCommandLineOption rangeOption(Ranged which);
// What the refusals of an integer row call its value ("サンプル数").
QString rangedWhat(Ranged which);

// One option that takes a word: the words it knows, the value each stands for, and the
// refusal for any other word (%1 is what was given).
struct WordRow
{
    QStringList words;
    QVector<int> values;
    QString refusal;
};

// Words of --number-style, --align, --marker, and of a colour list (the names, in order).
WordRow numberStyleWords();
WordRow alignWords();
WordRow markerWords();
WordRow colourWords(const QStringList &names);

// Sheet types 1..SheetTypeCount for which has(type) is true, as "6, 7, 9, 10".
QString typeNumbers(bool (*has)(SheetType));
// The same as words of the help: "type 1" or "types 6, 7, 9, 10".
QString typesText(bool (*has)(SheetType));
// Sheet type predicates the options are tied to.
bool hasAlignChoice(SheetType sheetType);
bool hasOneLineEntry(SheetType sheetType);
bool hasMarker(SheetType sheetType);
bool hasRoundLabels(SheetType sheetType);

// Help texts that quote the sheet table or the colour lists.
QString textHelp();
QString markerHelp();
QString colourHelp(bool background);
QString frameHelp();
QString alignHelp();
QString codeHelp();
// Help of --scale-x (along false) and --scale-y, naming the range.
QString scaleHelp(bool along);

// The options, in the order the help lists them.
struct BatchOptionSet
{
    QCommandLineOption type = rangeOption(Ranged::Type);
    QCommandLineOption samples = rangeOption(Ranged::Samples);
    QCommandLineOption first = rangeOption(Ranged::First);
    QCommandLineOption repeat = rangeOption(Ranged::Repeat);
    QCommandLineOption text{QStringLiteral("text"), textHelp(), QStringLiteral("text")};
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
    QCommandLineOption marker{QStringLiteral("marker"), markerHelp(), QStringLiteral("marker")};
    QCommandLineOption numberStyle{QStringLiteral("number-style"),
                                   QStringLiteral("padded (0007, the default) or plain (7)."),
                                   QStringLiteral("style")};
    QCommandLineOption textColour{{QStringLiteral("text-colour"), QStringLiteral("text-color")},
                                  colourHelp(false),
                                  QStringLiteral("name")};
    QCommandLineOption backColour{{QStringLiteral("back-colour"), QStringLiteral("back-color")},
                                  colourHelp(true),
                                  QStringLiteral("name")};
    QCommandLineOption frame{QStringLiteral("frame"), frameHelp()};
    QCommandLineOption align{QStringLiteral("align"), alignHelp(), QStringLiteral("where")};
    QCommandLineOption code{QStringLiteral("code"), codeHelp()};
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
    QCommandLineOption resolution = rangeOption(Ranged::Resolution);
    QCommandLineOption printer{QStringLiteral("printer"),
                               QStringLiteral("Print on this CUPS printer instead, at its own "
                                              "resolution."),
                               QStringLiteral("name")};
    QCommandLineOption wait = rangeOption(Ranged::Wait);
    QCommandLineOption xls{QStringLiteral("xls"),
                           QStringLiteral("Also write the Excel workbook of the job, as the "
                                          "Excel button does (numbered types only; replaced if "
                                          "it exists). Written before printing."),
                           QStringLiteral("file")};
    QCommandLineOption start = rangeOption(Ranged::Start);
    QCommandLineOption offsetX = rangeOption(Ranged::OffsetX);
    QCommandLineOption offsetY = rangeOption(Ranged::OffsetY);
    QCommandLineOption scaleX{QStringLiteral("scale-x"), scaleHelp(false),
                              QStringLiteral("percent")};
    QCommandLineOption scaleY{QStringLiteral("scale-y"), scaleHelp(true),
                              QStringLiteral("percent")};
    QCommandLineOption settings{QStringLiteral("settings"),
                                QStringLiteral("Take the start position and offsets of the "
                                               "sheet from this start.txt, and after a "
                                               "successful print save the next start position "
                                               "there, as the window does. Not with --start or "
                                               "--offset-x/-y. Refused while a window uses the "
                                               "file."),
                                QStringLiteral("start.txt")};
    QCommandLineOption historyDb{QStringLiteral("history-db"),
                                 QStringLiteral("Print history to write the job to (and to read "
                                                "with --history and --reprint): an SQLite "
                                                "file or postgresql://USER@HOST:PORT/DATABASE "
                                                "(password from ~/.pgpass or PGPASSWORD). "
                                                "Default: the history of the --settings file, "
                                                "else of the program's own start.txt; without "
                                                "any the job is not recorded."),
                                 QStringLiteral("file|url")};
    QCommandLineOption noHistory{QStringLiteral("no-history"),
                                 QStringLiteral("Print without recording the job, also when the "
                                                "history cannot be written (otherwise exit 1).")};
    QCommandLineOption watch{QStringLiteral("watch"),
                             QStringLiteral("Watch this folder and print every *.json job file "
                                            "that appears in it (as --job reads one), once, "
                                            "in name order, until SIGTERM or SIGINT; each "
                                            "job's result goes to done/ or failed/ beside it. "
                                            "With --printer or --pdf-dir, and --settings, "
                                            "--history-db, --resolution, --wait; nothing else."),
                             QStringLiteral("folder")};
    QCommandLineOption pdfDir{QStringLiteral("pdf-dir"),
                              QStringLiteral("With --watch: print each job NAME.json into "
                                             "FOLDER/NAME.pdf (and \"xls\": true into "
                                             "FOLDER/NAME.xls)."),
                              QStringLiteral("folder")};
    QCommandLineOption job{QStringLiteral("job"),
                           QStringLiteral("Read the job from this JSON file ('-' for standard "
                                          "input): an object whose keys are the long names of "
                                          "the options above, with numbers, strings and "
                                          "true/false as values (\"text\" also as an array "
                                          "of lines), plus \"texts\", one entry per sample, "
                                          "instead of a --list file. Beside it only --pdf, "
                                          "--printer, --resolution, --wait, --settings and "
                                          "--history-db, for a job that does not name them."),
                           QStringLiteral("file")};
    QCommandLineOption history{QStringLiteral("history"),
                               QStringLiteral("Write the print history to standard output, "
                                              "oldest first, instead of printing.")};
    QCommandLineOption since{QStringLiteral("since"),
                             QStringLiteral("With --history: only jobs started on or after this "
                                            "local date."),
                             QStringLiteral("yyyy-mm-dd")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("With --history: csv (default) or json."),
                              QStringLiteral("csv|json")};
    QCommandLineOption reprint{QStringLiteral("reprint"),
                               QStringLiteral("Print the job with this history id again: the "
                                              "same texts, numbers and codes, to --pdf or "
                                              "--printer, from the start position of --settings "
                                              "or --start. The next first number is not "
                                              "changed."),
                               QStringLiteral("id")};
    QCommandLineOption only{QStringLiteral("only"),
                            QStringLiteral("With --reprint: only the samples numbered FIRST to "
                                           "LAST of that job."),
                            QStringLiteral("first-last")};
    // Fixes the date in the workbook title, so a workbook can be compared byte for byte.
    QCommandLineOption exportDate{QStringLiteral("export-date"), QString(),
                                  QStringLiteral("yyyy-mm-dd")};
    QCommandLineOption help = QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                                 QStringLiteral("Show this help."));
    QCommandLineOption version = QCommandLineOption(
        {QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version."));

    // Arguments whose bytes did not survive decoding (not UTF-8), as decoded.
    QStringList undecodable;
    // The samples of a job file's "texts", read in place of the file --list names.
    const ListTable *texts = nullptr;

    QList<QCommandLineOption> all() const
    {
        return {type,       samples,    first,       repeat,     text,       textFile, list,
                listHeader, marker,     numberStyle, textColour, backColour, frame,    align,
                code,       codePrefix, font,        pdf,        resolution, printer,  wait,
                xls,        start,      offsetX,     offsetY,    scaleX,     scaleY,   settings,
                historyDb,  noHistory,  job,         watch,      pdfDir,     history,  since,
                format,     reprint,    only,        exportDate, help,       version};
    }
};

// The program's description above the options: what it does, the sheet types, exit status.
QString batchDescription();

// The long name an option is documented under (the first one of two or more letters).
QString nameOf(const QCommandLineOption &option);
// Refuses an option given twice: which of the two was meant cannot be guessed.
void requireOnce(const QCommandLineParser &parser, const QCommandLineOption &option);
// Refuses an option that would change nothing on this sheet type; onlyFor names the types
// it serves, as the refusal words them.
void requireFor(const QCommandLineParser &parser, const QCommandLineOption &option, bool allowed,
                SheetType sheetType, const QString &onlyFor);
// The option's value checked against its row; what, when given, names the value in the
// refusal instead of the row, and high > 0 replaces the row's top.
int rangedValue(const QCommandLineParser &parser, const QCommandLineOption &option, Ranged which,
                const QString &what = QString(), int high = 0);
// The value of the word given (case does not matter; with trimmed, neither do blanks
// around it); refused with the row's message otherwise.
int wordValue(const QCommandLineOption &option, const QString &given, const WordRow &row,
              bool trimmed = false);
// The file an option names: not empty, spelt in bytes that decode to it, and for an output
// something a file can be written to.
QString checkedPath(const QCommandLineParser &parser, const BatchOptionSet &o,
                    const QCommandLineOption &option, bool output);
// --text's value with "\n" read as a line break and "\\" as a backslash.
QString unescaped(const QString &text);
// The text of --text-file: path, or "-" for standard input, read within its limit and
// decoded as UTF-8, one final line break dropped. Refused under option otherwise.
QString readTextFile(const QString &option, const QString &path);
// True when the face is installed or one the program maps onto an installed face.
bool fontInstalled(const QString &face);

} // namespace corvial
