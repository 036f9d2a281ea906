// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

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

QString sampleCell(const QStringList &texts)
{
    QStringList lines;
    for (QString text : texts) {
        text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        lines << text;
    }
    return lines.join(QLatin1Char('\n'));
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

QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r'))
        bytes = '"' + bytes.replace('"', "\"\"") + '"';
    return bytes;
}

} // namespace

QByteArray historyCsv(const QList<HistoryEntry> &entries, bool bom)
{
    QByteArray out;
    if (bom)
        out += "\xEF\xBB\xBF";
    QByteArrayList heading;
    for (const Column &column : kColumns)
        heading << csvField(QString::fromLatin1(column.key));
    out += heading.join(',') + "\r\n";
    for (const HistoryEntry &e : entries) {
        QByteArrayList row;
        for (const Column &column : kColumns) {
            const QString text = qstrcmp(column.key, "sample_texts") == 0
                                     ? sampleCell(e.record.sampleTexts)
                                     : cellText(column.value(e));
            row << csvField(text);
        }
        out += row.join(',') + "\r\n";
    }
    return out;
}

QByteArray historyJson(const QList<HistoryEntry> &entries)
{
    QJsonArray array;
    for (const HistoryEntry &e : entries) {
        QJsonObject object;
        for (const Column &column : kColumns)
            object.insert(QLatin1String(column.key), column.value(e));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace corvial
