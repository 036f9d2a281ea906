// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchJobFile.h"

#include "BatchOptionTable.h"
#include "files/NearName.h"
#include "history/PrintRecorder.h"
#include "job/TextCharacters.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace corvial {

namespace {

// What a key's value is written as in the file.
enum class Kind {
    Integer, // a JSON number without a fraction
    Percent, // a JSON number, decimals allowed
    String,
    Text,    // a string, or an array of strings, one a line
    Flag,    // true sets the option, false leaves it unset
    Xls,     // a file name, or true for the one the watched folder gives
    Texts,   // one entry per sample: a string of lines, or an array of strings
    NotAJob, // an option of the batch printer that describes no job
};

struct KeyRow
{
    const char *key;
    const char *option; // the option it stands for (nameOf)
    Kind kind;
    bool confined; // refused in a watched folder's job, which decides it (or reads no file)
};

constexpr KeyRow kKeys[] = {
    {"type", "type", Kind::Integer, false},
    {"samples", "samples", Kind::Integer, false},
    {"first", "first", Kind::Integer, false},
    {"repeat", "repeat", Kind::Integer, false},
    {"text", "text", Kind::Text, false},
    {"text-file", "text-file", Kind::String, true},
    {"list", "list", Kind::String, true},
    {"list-header", "list-header", Kind::Flag, false},
    {"texts", "list", Kind::Texts, false},
    {"marker", "marker", Kind::String, false},
    {"number-style", "number-style", Kind::String, false},
    {"text-colour", "text-colour", Kind::String, false},
    {"text-color", "text-colour", Kind::String, false},
    {"back-colour", "back-colour", Kind::String, false},
    {"back-color", "back-colour", Kind::String, false},
    {"frame", "frame", Kind::Flag, false},
    {"align", "align", Kind::String, false},
    {"code", "code", Kind::Flag, false},
    {"code-prefix", "code-prefix", Kind::String, false},
    {"font", "font", Kind::String, false},
    {"pdf", "pdf", Kind::String, true},
    {"resolution", "resolution", Kind::Integer, false},
    {"xls", "xls", Kind::Xls, true},
    {"printer", "printer", Kind::String, true},
    {"wait", "wait", Kind::Integer, false},
    {"start", "start", Kind::Integer, false},
    {"offset-x", "offset-x", Kind::Integer, false},
    {"offset-y", "offset-y", Kind::Integer, false},
    {"scale-x", "scale-x", Kind::Percent, false},
    {"scale-y", "scale-y", Kind::Percent, false},
    {"settings", "settings", Kind::String, true},
    {"history-db", "history-db", Kind::String, true},
    {"no-history", "no-history", Kind::Flag, true},
    {"export-date", "export-date", Kind::String, false},
    {"history", "history", Kind::NotAJob, false},
    {"reprint", "reprint", Kind::NotAJob, false},
    {"since", "since", Kind::NotAJob, false},
    {"format", "format", Kind::NotAJob, false},
    {"only", "only", Kind::NotAJob, false},
    {"help", "help", Kind::NotAJob, false},
    {"version", "version", Kind::NotAJob, false},
    {"job", "job", Kind::NotAJob, false},
    {"watch", "watch", Kind::NotAJob, false},
    {"pdf-dir", "pdf-dir", Kind::NotAJob, false},
};

// The integer options take at most nine digits, as on the command line.
constexpr double kLargestInteger = 999999999;

// A refusal of the file (key empty) or of one key.
struct KeyRefusal
{
    QString key;
    QString why;
    // The key itself may not stand there (unknown, confined, given twice or beside
    // "texts"), rather than its value being of the wrong kind.
    bool keyRefused = false;
};

const KeyRow *rowOf(const QString &key)
{
    for (const KeyRow &row : kKeys) {
        if (key == QLatin1String(row.key))
            return &row;
    }
    return nullptr;
}

// A key as a message quotes it: visible, and not the whole of a long piece of rubbish.
QString shownKey(const QString &key)
{
    return key.size() > NearNameMaxWord ? visibleText(key.left(NearNameMaxWord)) + u'…'
                                        : visibleText(key);
}

QString unknownKeyText(const QString &key)
{
    QList<QByteArray> known;
    for (const KeyRow &row : kKeys) {
        if (row.kind != Kind::NotAJob)
            known << QByteArray(row.key);
    }
    const QByteArray near = nearName(key.toUtf8(), known);
    if (!near.isEmpty())
        return QStringLiteral("知らないキーです。\"%1\" のことですか？").arg(QLatin1String(near));
    return QStringLiteral("知らないキーです（書けるのは、ジョブを表すオプションの長い名前と "
                          "\"texts\" です）。");
}

QString jsonTypeWord(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return QStringLiteral("true か false");
    case QJsonValue::Double:
        return QStringLiteral("数");
    case QJsonValue::String:
        return QStringLiteral("文字列");
    case QJsonValue::Array:
        return QStringLiteral("配列");
    case QJsonValue::Object:
        return QStringLiteral("オブジェクト");
    default:
        return QStringLiteral("null");
    }
}

[[noreturn]] void refuseType(const QString &key, const QString &wanted, const QJsonValue &given)
{
    throw KeyRefusal{key, QStringLiteral("%1で書いてください（%2が書かれています）。")
                              .arg(wanted, jsonTypeWord(given))};
}

// A string of the file as an argument: no command line can hold a NUL, and half a surrogate
// pair ("\ud800") is no character a file name or a label could be written in.
QString argumentText(const QString &key, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isNull() || c.isSurrogate()) {
            throw KeyRefusal{
                key, QStringLiteral("%1 は文字列に使えません。").arg(codePointName(c.unicode()))};
        }
    }
    return text;
}

// The lines of a sample or of "text": a string's lines, or an array's strings.
QStringList linesOf(const QString &key, const QJsonValue &value, const QString &where)
{
    if (value.isString())
        return argumentText(key, value.toString())
            .split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    QStringList lines;
    const QJsonArray array = value.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array.at(i).isString())
            throw KeyRefusal{key, QStringLiteral("%1%2 行目が文字列ではありません（%3が書かれて"
                                                 "います）。")
                                      .arg(where)
                                      .arg(i + 1)
                                      .arg(jsonTypeWord(array.at(i)))};
        lines << argumentText(key, array.at(i).toString());
    }
    return lines;
}

// "texts" as a list file's cells: sample n is row n, its line m column m, so a cell is named
// and held to the limits exactly as in a list.
ListTable textsTable(const QString &key, const QJsonValue &value, const QString &listName)
{
    if (!value.isArray())
        refuseType(key, QStringLiteral("サンプルごとの文字列か文字列の配列を並べた配列"), value);
    ListTable table;
    table.fileName = listName == QLatin1String("-") ? QStringLiteral("標準入力")
                                                    : QFileInfo(listName).fileName();
    const QJsonArray samples = value.toArray();
    for (int row = 0; row < samples.size(); ++row) {
        const QJsonValue sample = samples.at(row);
        if (!sample.isString() && !sample.isArray())
            throw KeyRefusal{key, QStringLiteral("%1 番目のサンプルが文字列でも文字列の配列でも"
                                                 "ありません（%2が書かれています）。")
                                      .arg(row + 1)
                                      .arg(jsonTypeWord(sample))};
        const QStringList lines =
            linesOf(key, sample, QStringLiteral("%1 番目のサンプルの ").arg(row + 1));
        for (int column = 0; column < lines.size(); ++column) {
            // Past the most samples the list is refused as too long; the rest is not needed.
            if (!keepCell(table, row, column, lines.at(column)))
                return table;
        }
    }
    return table;
}

// The integer of an integer key: 12, 12.0 and 1.2e1 are one JSON number, so all are 12.
QString integerText(const QString &key, const QJsonValue &value)
{
    if (!value.isDouble())
        refuseType(key, QStringLiteral("整数"), value);
    const double v = value.toDouble();
    const QString given = QString::number(v, 'g', QLocale::FloatingPointShortest);
    if (v != std::floor(v))
        throw KeyRefusal{key, QStringLiteral("整数ではありません（%1）。").arg(given)};
    if (std::fabs(v) > kLargestInteger)
        throw KeyRefusal{key, QStringLiteral("桁が多すぎます（%1）。").arg(given)};
    return QString::number(qint64(v));
}

// The argument of one key, or none for a flag written false.
std::optional<QString> argumentOf(const KeyRow &row, const QString &key, const QJsonValue &value,
                                  const JobFileContext &context)
{
    const QString option = QStringLiteral("--") + QLatin1String(row.option);
    switch (row.kind) {
    case Kind::Integer:
        return option + u'=' + integerText(key, value);
    case Kind::Percent:
        if (!value.isDouble())
            refuseType(key, QStringLiteral("数（パーセント）"), value);
        return option + u'=' +
               QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case Kind::Text:
        if (!value.isString() && !value.isArray())
            refuseType(key, QStringLiteral("文字列か、1 行ずつの文字列の配列"), value);
        // The command line reads "\n" in a value as a line break; a file's backslash is its own.
        return option + u'=' +
               linesOf(key, value, QString()).join(u'\n').replace(u'\\', QStringLiteral("\\\\"));
    case Kind::Flag:
        if (!value.isBool())
            refuseType(key, QStringLiteral("true か false の値"), value);
        return value.toBool() ? std::optional<QString>(option) : std::nullopt;
    case Kind::Xls:
        if (value.isBool() && value.toBool() && context.xlsWhenTrue.isEmpty())
            throw KeyRefusal{key,
                             QStringLiteral("true は監視フォルダーのジョブだけに使えます。"
                                            "書き出す Excel ファイルの名前を書いてください。")};
        if (value.isBool())
            return value.toBool() ? std::optional<QString>(option + u'=' + context.xlsWhenTrue)
                                  : std::nullopt;
        if (!value.isString())
            refuseType(key, QStringLiteral("ファイル名の文字列か true"), value);
        return option + u'=' + argumentText(key, value.toString());
    default:
        if (!value.isString())
            refuseType(key, QStringLiteral("文字列"), value);
        return option + u'=' + argumentText(key, value.toString());
    }
}

// Why a key may not be written in this context, or empty.
QString placeProblem(const KeyRow &row, const QJsonValue &value, const JobFileContext &context,
                     const QSet<QString> &beside)
{
    const QString option = QLatin1String(row.option);
    if (row.kind == Kind::NotAJob)
        return QStringLiteral("ジョブを表すキーではありません（書けるのは、ジョブを表すオプションの"
                              "長い名前と \"texts\" です）。");
    if (context.confined && row.confined && !(row.kind == Kind::Xls && value.isBool())) {
        if (option == QLatin1String("list") || option == QLatin1String("text-file"))
            return QStringLiteral("監視フォルダーのジョブには書けません（ほかのファイルは読み"
                                  "ません。文字は \"text\" か \"texts\" に書いてください）。");
        return QStringLiteral("監視フォルダーのジョブには書けません（出力先、設定と履歴は"
                              "監視フォルダーが決めます）。");
    }
    if (beside.contains(option))
        return QStringLiteral("--%1 と一緒には使えません（ジョブファイルの外で指定されて"
                              "います）。")
            .arg(option);
    return QString();
}

// The options given beside the file, by name.
QSet<QString> besideOptions(const QStringList &beside)
{
    QSet<QString> names;
    for (const QString &argument : beside) {
        if (argument.startsWith(QLatin1String("--")))
            names.insert(argument.mid(2).section(u'=', 0, 0));
    }
    return names;
}

// "texts" decides the samples and their texts, so nothing else may.
void requireTextsAlone(const JsonObjectRead &read)
{
    if (!read.object.contains(QLatin1String("texts")))
        return;
    for (const QString &key : read.keys) {
        if (key == QLatin1String("samples") || key == QLatin1String("text") ||
            key == QLatin1String("text-file"))
            throw KeyRefusal{key,
                             QStringLiteral("\"texts\" と一緒には使えません（サンプル数と"
                                            "文字は \"texts\" で決まります）。"),
                             true};
    }
}

} // namespace

JobFileArguments jobFileArguments(const JsonObjectRead &read, const JobFileContext &context,
                                  const QString &listName)
{
    JobFileArguments out;
    const QSet<QString> beside = besideOptions(context.beside);
    try {
        requireTextsAlone(read);
        for (const QString &key : read.keys) {
            const KeyRow *row = rowOf(key);
            if (!row)
                throw KeyRefusal{key, unknownKeyText(key), true};
            const QJsonValue value = read.object.value(key);
            const QString placed = placeProblem(*row, value, context, beside);
            if (!placed.isEmpty())
                throw KeyRefusal{key, placed, true};
            const QString option = QLatin1String(row->option);
            if (out.keyOf.contains(option))
                throw KeyRefusal{key,
                                 QStringLiteral("\"%1\" と同じ項目です（どちらか一方に"
                                                "してください）。")
                                     .arg(shownKey(out.keyOf.value(option))),
                                 true};
            out.keyOf.insert(option, key);
            if (row->kind == Kind::Texts) {
                out.texts = textsTable(key, value, listName);
                out.arguments << QStringLiteral("--list=") + listName;
                // The count comes from the texts: a job too large is theirs.
                out.keyOf.insert(QStringLiteral("samples"), key);
            } else if (const std::optional<QString> argument =
                           argumentOf(*row, key, value, context)) {
                out.arguments << *argument;
            }
        }
    } catch (const KeyRefusal &refusal) {
        out.key = refusal.key;
        out.why = refusal.why;
        out.keyRefused = refusal.keyRefused;
    }
    return out;
}

namespace {

QString jobFileMessage(const QString &fileName, const QString &key, const QString &why)
{
    const QString file = QStringLiteral("ジョブファイル「%1」").arg(visibleText(fileName));
    if (key.isEmpty())
        return file + QStringLiteral(": ") + why;
    return file + QStringLiteral("のキー \"%1\": ").arg(shownKey(key)) + why;
}

// A refusal of the command line's checks worded for the file: an option the file gave is
// named by its key, one given beside the file as on the command line.
QString refusalInFile(const BatchRefusal &refusal, const QString &fileName,
                      const JobFileArguments &arguments, const QSet<QString> &beside)
{
    if (refusal.options.isEmpty())
        return jobFileMessage(fileName, QString(), refusal.message);
    const auto keyOf = [&](const QString &option) { return arguments.keyOf.value(option, option); };
    if (refusal.options.size() == 1 && refusal.pattern == QLatin1String("%1: ")) {
        const QString option = refusal.options.first();
        return beside.contains(option) ? refusal.message
                                       : jobFileMessage(fileName, keyOf(option), refusal.detail);
    }
    return jobFileMessage(fileName, QString(), refusalWords(refusal, [&](const QString &option) {
                              return beside.contains(option)
                                         ? QStringLiteral("--") + option
                                         : u'"' + shownKey(keyOf(option)) + u'"';
                          }));
}

} // namespace

BatchCommand parseJobFile(const QByteArray &bytes, const QString &fileName, const QString &jobFile,
                          const JobFileContext &context)
{
    BatchCommand command;
    if (bytes.size() > MaxJobFileBytes) {
        command.error = jobFileMessage(
            fileName, QString(), QStringLiteral("%1 バイトを超えています。").arg(MaxJobFileBytes));
        command.refusedWord = QStringLiteral("too-large");
        return command;
    }
    const JsonObjectRead read = readJsonObject(bytes, MaxJobFileDepth);
    if (!read.ok()) {
        command.error = jobFileMessage(fileName, read.key, read.reason);
        command.refusedWord = QStringLiteral("json");
        return command;
    }
    const JobFileArguments arguments = jobFileArguments(read, context, jobFile);
    if (!arguments.ok()) {
        command.error = jobFileMessage(fileName, arguments.key, arguments.why);
        command.refusedWord =
            arguments.keyRefused ? QStringLiteral("key") : QStringLiteral("value");
        return command;
    }
    try {
        command.request = requestOfJobArguments(QStringList{QStringLiteral("corvial-batch")} +
                                                    context.beside + arguments.arguments,
                                                arguments.texts ? &*arguments.texts : nullptr);
    } catch (const BatchRefusal &refusal) {
        command.error = refusalInFile(refusal, fileName, arguments, besideOptions(context.beside));
        command.refusedWord = QStringLiteral("value");
        return command;
    }
    command.request.jobFile = jobFile;
    command.request.jobSha256 = sha256Hex(bytes);
    command.action = BatchCommand::Run;
    return command;
}

} // namespace corvial
