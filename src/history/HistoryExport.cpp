// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryExport.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QLocale>

#include <algorithm>
#include <iterator>
#include <limits>

namespace corvial {

namespace {

QJsonValue timeValue(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
}

QJsonValue idValue(qint64 id)
{
    return id > 0 ? QJsonValue(id) : QJsonValue();
}

// One column: its heading word and its value for an entry. CSV and JSON both come from
// these rows, so the two always carry the same keys in the same order.
struct Column
{
    const char *key;
    QJsonValue (*value)(const HistoryEntry &);
};

const Column kColumns[] = {
    {"id", [](const HistoryEntry &e) { return QJsonValue(e.id); }},
    {"started_utc", [](const HistoryEntry &e) { return timeValue(e.record.startedUtc); }},
    {"user", [](const HistoryEntry &e) { return QJsonValue(e.record.user); }},
    {"host", [](const HistoryEntry &e) { return QJsonValue(e.record.host); }},
    {"program", [](const HistoryEntry &e) { return QJsonValue(e.record.program); }},
    {"sheet_type", [](const HistoryEntry &e) { return QJsonValue(e.record.sheetType); }},
    {"samples", [](const HistoryEntry &e) { return QJsonValue(e.record.samples); }},
    {"repeat", [](const HistoryEntry &e) { return QJsonValue(e.record.repeat); }},
    {"first_number", [](const HistoryEntry &e) { return QJsonValue(e.record.firstNumber); }},
    {"number_style", [](const HistoryEntry &e) { return QJsonValue(e.record.numberStyle); }},
    {"start_position", [](const HistoryEntry &e) { return QJsonValue(e.record.startPosition); }},
    {"labels", [](const HistoryEntry &e) { return QJsonValue(e.record.labels); }},
    {"sheets", [](const HistoryEntry &e) { return QJsonValue(e.record.sheets); }},
    {"next_position", [](const HistoryEntry &e) { return QJsonValue(e.record.nextPosition); }},
    {"next_number", [](const HistoryEntry &e) { return QJsonValue(e.record.nextNumber); }},
    {"queue", [](const HistoryEntry &e) { return QJsonValue(e.record.queue); }},
    {"cups_job_id",
     [](const HistoryEntry &e) {
         return e.cupsJobId > 0 ? QJsonValue(e.cupsJobId) : QJsonValue();
     }},
    {"pdf_path", [](const HistoryEntry &e) { return QJsonValue(e.record.pdfPath); }},
    {"sample_texts",
     [](const HistoryEntry &e) {
         return QJsonValue(QJsonArray::fromStringList(e.record.sampleTexts));
     }},
    {"list_file", [](const HistoryEntry &e) { return QJsonValue(e.record.listFile); }},
    {"list_sha256", [](const HistoryEntry &e) { return QJsonValue(e.record.listSha256); }},
    {"marker", [](const HistoryEntry &e) { return QJsonValue(e.record.marker); }},
    {"text_colour", [](const HistoryEntry &e) { return QJsonValue(e.record.textColour); }},
    {"back_colour", [](const HistoryEntry &e) { return QJsonValue(e.record.backColour); }},
    {"frame", [](const HistoryEntry &e) { return QJsonValue(e.record.frame); }},
    {"alignment", [](const HistoryEntry &e) { return QJsonValue(e.record.alignment); }},
    {"font_family", [](const HistoryEntry &e) { return QJsonValue(e.record.fontFamily); }},
    {"font_points", [](const HistoryEntry &e) { return QJsonValue(e.record.fontPoints); }},
    {"font_style", [](const HistoryEntry &e) { return QJsonValue(e.record.fontStyle); }},
    {"code", [](const HistoryEntry &e) { return QJsonValue(e.record.code); }},
    {"code_prefix", [](const HistoryEntry &e) { return QJsonValue(e.record.codePrefix); }},
    {"outcome", [](const HistoryEntry &e) { return QJsonValue(outcomeWord(e.outcome)); }},
    {"reason", [](const HistoryEntry &e) { return QJsonValue(e.reason); }},
    {"outcome_utc", [](const HistoryEntry &e) { return timeValue(e.outcomeUtc); }},
    {"reprint_of", [](const HistoryEntry &e) { return idValue(e.record.reprintOf); }},
};

// One text per line, its own line breaks and backslashes written as \n, \r and \\.
QString sampleCell(const QStringList &texts)
{
    QString cell;
    for (const QString &text : texts) {
        if (&text != &texts.first())
            cell += QLatin1Char('\n');
        for (QChar c : text) {
            if (c == QLatin1Char('\\'))
                cell += QLatin1String("\\\\");
            else if (c == QLatin1Char('\r'))
                cell += QLatin1String("\\r");
            else if (c == QLatin1Char('\n'))
                cell += QLatin1String("\\n");
            else
                cell += c;
        }
    }
    return cell;
}

QString cellText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

void appendCsvField(QByteArray &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const bool quoted = std::any_of(bytes.begin(), bytes.end(), [](char c) {
        return c == ',' || c == '"' || c == '\n' || c == '\r';
    });
    if (!quoted) {
        out += bytes;
        return;
    }
    out += '"';
    for (char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendJsonString(QByteArray &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    out += '"';
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            out += "\\u00";
            out += "0123456789abcdef"[u >> 4];
            out += "0123456789abcdef"[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

// A value as JSON writes it: whole numbers without a fraction, others as short as they
// read back exactly, and no NaN or infinity (null instead).
void appendJsonValue(QByteArray &out, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        return;
    case QJsonValue::Double: {
        constexpr qint64 notWhole = std::numeric_limits<qint64>::min();
        const qint64 whole = value.toInteger(notWhole);
        const double d = value.toDouble();
        if (whole != notWhole)
            out += QByteArray::number(whole);
        else if (qIsFinite(d))
            out += QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
        else
            out += "null";
        return;
    }
    case QJsonValue::String:
        appendJsonString(out, value.toString());
        return;
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        out += '[';
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (i > 0)
                out += ", ";
            appendJsonValue(out, array.at(i));
        }
        out += ']';
        return;
    }
    default:
        out += "null";
        return;
    }
}

} // namespace

QByteArray historyCsv(const QList<HistoryEntry> &entries, bool bom)
{
    QByteArray out;
    out.reserve(entries.size() * 640);
    if (bom)
        out += "\xEF\xBB\xBF";
    // Written straight into one buffer: a listing of a long history is tens of megabytes,
    // and a list of cells per row cost more than the cells.
    for (const Column &column : kColumns) {
        if (&column != kColumns)
            out += ',';
        appendCsvField(out, QString::fromLatin1(column.key));
    }
    out += "\r\n";
    for (const HistoryEntry &e : entries) {
        for (const Column &column : kColumns) {
            if (&column != kColumns)
                out += ',';
            appendCsvField(out, qstrcmp(column.key, "sample_texts") == 0
                                    ? sampleCell(e.record.sampleTexts)
                                    : cellText(column.value(e)));
        }
        out += "\r\n";
    }
    return out;
}

QByteArray historyJson(const QList<HistoryEntry> &entries)
{
    // Written as text, entry by entry: building the whole document as QJsonObjects first
    // took several seconds for a long history.
    QByteArray out;
    out.reserve(entries.size() * 1280);
    out += '[';
    for (const HistoryEntry &e : entries) {
        out += &e == &entries.first() ? "\n    {\n" : ",\n    {\n";
        for (const Column &column : kColumns) {
            out += "        \"";
            out += column.key;
            out += "\": ";
            appendJsonValue(out, column.value(e));
            out += &column == &kColumns[std::size(kColumns) - 1] ? "\n" : ",\n";
        }
        out += "    }";
    }
    out += entries.isEmpty() ? "]\n" : "\n]\n";
    return out;
}

} // namespace corvial
