// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryExport.h"

#include <QJsonValue>
#include <QLocale>
#include <QStringEncoder>

#include <algorithm>
#include <iterator>
#include <limits>

namespace corvial {

namespace {

// One cell's value. Made per cell of a listing of 100,000 jobs, so it holds what it shows
// without allocating: texts are shared with the entry, numbers kept as they are.
struct Cell
{
    enum class Kind { Null, Bool, Whole, Real, Text, Texts, Time };
    Kind kind = Kind::Null;
    qint64 whole = 0;
    double real = 0;
    QString text;
    const QStringList *texts = nullptr;
    const QDateTime *time = nullptr;
};

Cell nullCell()
{
    return Cell();
}

Cell wholeCell(qint64 value)
{
    Cell c;
    c.kind = Cell::Kind::Whole;
    c.whole = value;
    return c;
}

Cell realCell(double value)
{
    Cell c;
    c.kind = Cell::Kind::Real;
    c.real = value;
    return c;
}

Cell boolCell(bool value)
{
    Cell c;
    c.kind = Cell::Kind::Bool;
    c.whole = value;
    return c;
}

Cell textCell(const QString &value)
{
    Cell c;
    c.kind = Cell::Kind::Text;
    c.text = value;
    return c;
}

Cell timeCell(const QDateTime &time)
{
    Cell c;
    c.kind = time.isValid() ? Cell::Kind::Time : Cell::Kind::Null;
    c.time = &time;
    return c;
}

Cell idCell(qint64 id)
{
    return id > 0 ? wholeCell(id) : nullCell();
}

// One column: its heading word and its value for an entry. CSV and JSON both come from
// these rows, so the two always carry the same keys in the same order.
struct Column
{
    const char *key;
    Cell (*value)(const HistoryEntry &);
};

const Column kColumns[] = {
    {"id", [](const HistoryEntry &e) { return wholeCell(e.id); }},
    {"started_utc", [](const HistoryEntry &e) { return timeCell(e.record.startedUtc); }},
    {"user", [](const HistoryEntry &e) { return textCell(e.record.user); }},
    {"host", [](const HistoryEntry &e) { return textCell(e.record.host); }},
    {"program", [](const HistoryEntry &e) { return textCell(e.record.program); }},
    {"sheet_type", [](const HistoryEntry &e) { return wholeCell(e.record.sheetType); }},
    {"samples", [](const HistoryEntry &e) { return wholeCell(e.record.samples); }},
    {"repeat", [](const HistoryEntry &e) { return wholeCell(e.record.repeat); }},
    {"first_number", [](const HistoryEntry &e) { return wholeCell(e.record.firstNumber); }},
    {"number_style", [](const HistoryEntry &e) { return textCell(e.record.numberStyle); }},
    {"start_position", [](const HistoryEntry &e) { return wholeCell(e.record.startPosition); }},
    {"labels", [](const HistoryEntry &e) { return wholeCell(e.record.labels); }},
    {"sheets", [](const HistoryEntry &e) { return wholeCell(e.record.sheets); }},
    {"next_position", [](const HistoryEntry &e) { return wholeCell(e.record.nextPosition); }},
    {"next_number", [](const HistoryEntry &e) { return wholeCell(e.record.nextNumber); }},
    {"queue", [](const HistoryEntry &e) { return textCell(e.record.queue); }},
    {"cups_job_id", [](const HistoryEntry &e) { return idCell(e.cupsJobId); }},
    {"pdf_path", [](const HistoryEntry &e) { return textCell(e.record.pdfPath); }},
    {"sample_texts",
     [](const HistoryEntry &e) {
         Cell c;
         c.kind = Cell::Kind::Texts;
         c.texts = &e.record.sampleTexts;
         return c;
     }},
    {"list_file", [](const HistoryEntry &e) { return textCell(e.record.listFile); }},
    {"list_sha256", [](const HistoryEntry &e) { return textCell(e.record.listSha256); }},
    {"marker", [](const HistoryEntry &e) { return textCell(e.record.marker); }},
    {"text_colour", [](const HistoryEntry &e) { return wholeCell(e.record.textColour); }},
    {"back_colour", [](const HistoryEntry &e) { return wholeCell(e.record.backColour); }},
    {"frame", [](const HistoryEntry &e) { return boolCell(e.record.frame); }},
    {"alignment", [](const HistoryEntry &e) { return textCell(e.record.alignment); }},
    {"font_family", [](const HistoryEntry &e) { return textCell(e.record.fontFamily); }},
    {"font_points", [](const HistoryEntry &e) { return realCell(e.record.fontPoints); }},
    {"font_style", [](const HistoryEntry &e) { return textCell(e.record.fontStyle); }},
    {"code", [](const HistoryEntry &e) { return boolCell(e.record.code); }},
    {"code_prefix", [](const HistoryEntry &e) { return textCell(e.record.codePrefix); }},
    {"outcome", [](const HistoryEntry &e) { return textCell(outcomeWord(e.outcome)); }},
    {"reason", [](const HistoryEntry &e) { return textCell(e.reason); }},
    {"outcome_utc", [](const HistoryEntry &e) { return timeCell(e.outcomeUtc); }},
    {"reprint_of", [](const HistoryEntry &e) { return idCell(e.record.reprintOf); }},
};

// Appends text as UTF-8 and returns where it began. Encoded straight into out: a temporary
// byte array per cell was a large part of a long listing's cost.
qsizetype appendUtf8(QByteArray &out, QStringView text)
{
    const qsizetype from = out.size();
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    out.resize(from + encoder.requiredSpace(text.size()));
    char *end = encoder.appendToBuffer(out.data() + from, text);
    out.resize(end - out.constData());
    // A lone surrogate is written as toUtf8 writes it, as the listing always has.
    if (encoder.hasError()) {
        out.truncate(from);
        out += text.toUtf8();
    }
    return from;
}

// A time as UTC in ISO 8601 with milliseconds, "2026-01-31T09:05:00.000Z".
void appendTime(QByteArray &out, const QDateTime &time)
{
    const QDateTime utc = time.timeSpec() == Qt::UTC ? time : time.toUTC();
    const QDate date = utc.date();
    const QTime clock = utc.time();
    const int year = date.year();
    if (year < 1 || year > 9999) {
        appendUtf8(out, utc.toString(Qt::ISODateWithMs));
        return;
    }
    // Written by hand, as Qt's general formatter was a large part of what a row cost.
    char buffer[24];
    auto put = [&buffer](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            buffer[at + i] = char('0' + value % 10);
    };
    put(0, year, 4);
    buffer[4] = '-';
    put(5, date.month(), 2);
    buffer[7] = '-';
    put(8, date.day(), 2);
    buffer[10] = 'T';
    put(11, clock.hour(), 2);
    buffer[13] = ':';
    put(14, clock.minute(), 2);
    buffer[16] = ':';
    put(17, clock.second(), 2);
    buffer[19] = '.';
    put(20, clock.msec(), 3);
    buffer[23] = 'Z';
    out.append(buffer, sizeof buffer);
}

// Appends the bytes out holds from on as one CSV field, quoting them when they need it.
void quoteCsvFieldFrom(QByteArray &out, qsizetype from)
{
    const auto needs = [](char c) { return c == ',' || c == '"' || c == '\n' || c == '\r'; };
    if (std::none_of(out.cbegin() + from, out.cend(), needs))
        return;
    const QByteArray bytes = out.mid(from);
    out.truncate(from);
    out += '"';
    for (char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendCsvField(QByteArray &out, QStringView text)
{
    quoteCsvFieldFrom(out, appendUtf8(out, text));
}

// The largest whole number that "%.15g" writes without an exponent.
constexpr qint64 kPlainWhole = 999999999999999;

void appendCsvCell(QByteArray &out, const Cell &cell)
{
    switch (cell.kind) {
    case Cell::Kind::Null:
        return;
    case Cell::Kind::Bool:
        out += cell.whole ? '1' : '0';
        return;
    case Cell::Kind::Whole:
        // Numbers were written as doubles to 15 digits; a whole number that fits is the same.
        if (cell.whole >= -kPlainWhole && cell.whole <= kPlainWhole)
            out += QByteArray::number(cell.whole);
        else
            appendUtf8(out, QString::number(double(cell.whole), 'g', 15));
        return;
    case Cell::Kind::Real:
        appendUtf8(out, QString::number(cell.real, 'g', 15));
        return;
    case Cell::Kind::Text:
        appendCsvField(out, cell.text);
        return;
    case Cell::Kind::Texts: {
        // One text per line, its own line breaks and backslashes written as \n, \r and \\,
        // escaped in the UTF-8 bytes: every one of these is a byte of its own there.
        const qsizetype from = out.size();
        for (const QString &text : *cell.texts) {
            if (&text != &cell.texts->first())
                out += '\n';
            const qsizetype at = appendUtf8(out, text);
            const auto needs = [](char c) { return c == '\\' || c == '\r' || c == '\n'; };
            if (std::none_of(out.cbegin() + at, out.cend(), needs))
                continue;
            const QByteArray bytes = out.mid(at);
            out.truncate(at);
            for (char c : bytes) {
                if (c == '\\')
                    out += "\\\\";
                else if (c == '\r')
                    out += "\\r";
                else if (c == '\n')
                    out += "\\n";
                else
                    out += c;
            }
        }
        quoteCsvFieldFrom(out, from);
        return;
    }
    case Cell::Kind::Time:
        appendTime(out, *cell.time);
        return;
    }
}

// Escapes, in place, the JSON string whose UTF-8 bytes out holds from on.
void escapeJsonFrom(QByteArray &out, qsizetype from)
{
    const auto needs = [](char c) { return c == '"' || c == '\\' || uchar(c) < 0x20; };
    if (std::none_of(out.cbegin() + from, out.cend(), needs))
        return;
    const QByteArray bytes = out.mid(from);
    out.truncate(from);
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
}

void appendJsonString(QByteArray &out, QStringView text)
{
    out += '"';
    escapeJsonFrom(out, appendUtf8(out, text));
    out += '"';
}

// A value as JSON writes it: whole numbers without a fraction, others as short as they
// read back exactly, and no NaN or infinity (null instead).
void appendJsonCell(QByteArray &out, const Cell &cell)
{
    switch (cell.kind) {
    case Cell::Kind::Null:
        out += "null";
        return;
    case Cell::Kind::Bool:
        out += cell.whole ? "true" : "false";
        return;
    case Cell::Kind::Whole:
        out += QByteArray::number(cell.whole);
        return;
    case Cell::Kind::Real: {
        constexpr qint64 notWhole = std::numeric_limits<qint64>::min();
        const qint64 whole = QJsonValue(cell.real).toInteger(notWhole);
        if (whole != notWhole)
            out += QByteArray::number(whole);
        else if (qIsFinite(cell.real))
            out += QByteArray::number(cell.real, 'g', QLocale::FloatingPointShortest);
        else
            out += "null";
        return;
    }
    case Cell::Kind::Text:
        appendJsonString(out, cell.text);
        return;
    case Cell::Kind::Texts:
        out += '[';
        for (const QString &text : *cell.texts) {
            if (&text != &cell.texts->first())
                out += ", ";
            appendJsonString(out, text);
        }
        out += ']';
        return;
    case Cell::Kind::Time:
        out += '"';
        appendTime(out, *cell.time);
        out += '"';
        return;
    }
}

} // namespace

HistoryListingWriter::HistoryListingWriter(bool json, bool bom) : mJson(json), mBom(bom) {}

void HistoryListingWriter::start(QByteArray *out)
{
    if (mStarted)
        return;
    mStarted = true;
    if (mJson) {
        *out += '[';
        return;
    }
    if (mBom)
        *out += "\xEF\xBB\xBF";
    for (const Column &column : kColumns) {
        if (&column != kColumns)
            *out += ',';
        appendCsvField(*out, QString::fromLatin1(column.key));
    }
    *out += "\r\n";
}

void HistoryListingWriter::add(const QList<HistoryEntry> &entries, QByteArray *out)
{
    start(out);
    // Written straight into one buffer: a list of cells per row cost more than the cells,
    // and QJsonObjects per entry took seconds for a long history.
    out->reserve(out->size() + entries.size() * (mJson ? 1280 : 640));
    for (const HistoryEntry &e : entries) {
        if (mJson) {
            *out += mAny ? ",\n    {\n" : "\n    {\n";
            for (const Column &column : kColumns) {
                *out += "        \"";
                *out += column.key;
                *out += "\": ";
                appendJsonCell(*out, column.value(e));
                *out += &column == &kColumns[std::size(kColumns) - 1] ? "\n" : ",\n";
            }
            *out += "    }";
        } else {
            for (const Column &column : kColumns) {
                if (&column != kColumns)
                    *out += ',';
                appendCsvCell(*out, column.value(e));
            }
            *out += "\r\n";
        }
        mAny = true;
    }
}

void HistoryListingWriter::finish(QByteArray *out)
{
    start(out);
    if (mJson)
        *out += mAny ? "\n]\n" : "]\n";
}

QByteArray historyCsv(const QList<HistoryEntry> &entries, bool bom)
{
    QByteArray out;
    HistoryListingWriter writer(false, bom);
    writer.add(entries, &out);
    writer.finish(&out);
    return out;
}

QByteArray historyJson(const QList<HistoryEntry> &entries)
{
    QByteArray out;
    HistoryListingWriter writer(true, false);
    writer.add(entries, &out);
    writer.finish(&out);
    return out;
}

} // namespace corvial
