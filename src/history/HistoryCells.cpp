// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryCells.h"

#include <QJsonValue>
#include <QLocale>
#include <QStringEncoder>

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvial {

namespace {

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

qsizetype appendBytes(QByteArray &out, QByteArrayView bytes)
{
    const qsizetype from = out.size();
    out.append(bytes.data(), bytes.size());
    return from;
}

char16_t unitOf(QChar c)
{
    return c.unicode();
}

char16_t unitOf(char c)
{
    return uchar(c);
}

// The digits of text from..from+count as a number; -1 when any is not a digit.
template <typename Text> int digitsAt(const Text &text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = unitOf(text[i]);
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// Whether text has the form utcText writes, and its date and time fields in range.
template <typename Text> bool plainTimeFields(const Text &text, QDate *date, QTime *time)
{
    const auto is = [&text](int at, char16_t c) { return unitOf(text[at]) == c; };
    if (text.size() != 24 || !is(4, u'-') || !is(7, u'-') || !is(10, u'T') || !is(13, u':') ||
        !is(16, u':') || !is(19, u'.') || !is(23, u'Z'))
        return false;
    *date = QDate(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2));
    *time = QTime(digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2),
                  digitsAt(text, 20, 3));
    return date->isValid() && time->isValid() && date->year() > 0;
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

void appendInteger(QByteArray &out, qint64 value)
{
    char buffer[24];
    char *end = buffer + sizeof buffer;
    char *at = end;
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        *--at = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        *--at = '-';
    out.append(at, end - at);
}

// A spreadsheet takes a cell that begins with one of these as a formula (or, for a tab or
// CR, drops it and reads what follows as one): such a text cell gets a leading quote, as
// spreadsheet makers advise. A text that begins with the quote itself gets one more, so that
// one leading quote is always ours and a reader can take it off again.
bool startsFormula(char c)
{
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r' || c == '\'';
}

// Quotes, in place, the CSV field whose bytes out holds from on, when it needs it.
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

// Escapes, in place, a sample text whose UTF-8 out holds from on: its line breaks and
// backslashes as \n, \r and \\, each a byte of its own in UTF-8.
void escapeSampleFrom(QByteArray &out, qsizetype from)
{
    const auto needs = [](char c) { return c == '\\' || c == '\r' || c == '\n'; };
    if (std::none_of(out.cbegin() + from, out.cend(), needs))
        return;
    const QByteArray bytes = out.mid(from);
    out.truncate(from);
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

// The largest whole number that "%.15g" writes without an exponent.
constexpr qint64 kPlainWhole = 999999999999999;

} // namespace

QDateTime historyTimeFromText(const QString &text)
{
    // Every row of a listing carries two times, and Qt's general parser was a large part of
    // what a row cost; the form utcText writes is read here directly, anything else (and any
    // field out of range) by Qt as before.
    QDate date;
    QTime time;
    if (plainTimeFields(text, &date, &time))
        return QDateTime(date, time, Qt::UTC);
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

bool isPlainHistoryTime(QByteArrayView text)
{
    QDate date;
    QTime time;
    return plainTimeFields(text, &date, &time);
}

bool isStrictUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *end = p + bytes.size();
    while (p < end) {
        const uchar c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        char32_t code = 0, least = 0;
        if (c >= 0xc2 && c <= 0xdf) {
            more = 1;
            code = c & 0x1f;
            least = 0x80;
        } else if (c >= 0xe0 && c <= 0xef) {
            more = 2;
            code = c & 0x0f;
            least = 0x800;
        } else if (c >= 0xf0 && c <= 0xf4) {
            more = 3;
            code = c & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3f);
        }
        if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        p += more + 1;
    }
    return true;
}

ListingRowWriter::ListingRowWriter(bool json, bool bom) : mJson(json), mBom(bom) {}

void ListingRowWriter::begin()
{
    if (mStarted)
        return;
    mStarted = true;
    QByteArray &out = *mOut;
    if (mJson) {
        out += '[';
        return;
    }
    if (mBom)
        out += "\xEF\xBB\xBF";
    for (int c = 0; c < ListingColumnCount; ++c) {
        if (c > 0)
            out += ',';
        out += listingColumnKey(c);
    }
    out += "\r\n";
}

void ListingRowWriter::startRow()
{
    begin();
    mColumn = 0;
    if (mJson)
        *mOut += mAny ? ",\n    {\n" : "\n    {\n";
    mAny = true;
}

void ListingRowWriter::openCell()
{
    QByteArray &out = *mOut;
    if (mJson) {
        out += "        \"";
        out += listingColumnKey(mColumn);
        out += "\": ";
    } else if (mColumn > 0) {
        out += ',';
    }
}

void ListingRowWriter::closeCell()
{
    if (mJson)
        *mOut += mColumn == ListingColumnCount - 1 ? "\n" : ",\n";
    ++mColumn;
}

void ListingRowWriter::endRow()
{
    Q_ASSERT(mColumn == ListingColumnCount);
    *mOut += mJson ? "    }" : "\r\n";
}

void ListingRowWriter::finish()
{
    begin();
    if (mJson)
        *mOut += mAny ? "\n]\n" : "]\n";
}

void ListingRowWriter::null()
{
    openCell();
    if (mJson)
        *mOut += "null";
    closeCell();
}

void ListingRowWriter::whole(qint64 value)
{
    openCell();
    // Numbers were written as doubles to 15 digits; a whole number that fits is the same.
    if (mJson || (value >= -kPlainWhole && value <= kPlainWhole))
        appendInteger(*mOut, value);
    else
        appendUtf8(*mOut, QString::number(double(value), 'g', 15));
    closeCell();
}

void ListingRowWriter::real(double value)
{
    openCell();
    // A listing's jobs mostly share one font size: its text is made once.
    if (mLastRealText.isEmpty() || value != mLastReal ||
        std::signbit(value) != std::signbit(mLastReal)) {
        mLastReal = value;
        mLastRealText.clear();
        if (!mJson) {
            mLastRealText = QString::number(value, 'g', 15).toUtf8();
        } else {
            // As JSON writes a number: whole ones without a fraction, others as short as
            // they read back exactly, and no NaN or infinity (null instead).
            constexpr qint64 notWhole = std::numeric_limits<qint64>::min();
            const qint64 w = QJsonValue(value).toInteger(notWhole);
            if (w != notWhole)
                mLastRealText = QByteArray::number(w);
            else if (qIsFinite(value))
                mLastRealText = QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
            else
                mLastRealText = "null";
        }
    }
    *mOut += mLastRealText;
    closeCell();
}

void ListingRowWriter::flag(bool value)
{
    openCell();
    if (mJson)
        *mOut += value ? "true" : "false";
    else
        *mOut += value ? '1' : '0';
    closeCell();
}

void ListingRowWriter::closeText(qsizetype from)
{
    QByteArray &out = *mOut;
    if (mJson) {
        escapeJsonFrom(out, from);
        out += '"';
    } else {
        if (out.size() > from && startsFormula(out.at(from)))
            out.insert(from, '\'');
        quoteCsvFieldFrom(out, from);
    }
    closeCell();
}

void ListingRowWriter::text(QByteArrayView utf8)
{
    openCell();
    if (mJson)
        *mOut += '"';
    closeText(appendBytes(*mOut, utf8));
}

void ListingRowWriter::text(QStringView text)
{
    openCell();
    if (mJson)
        *mOut += '"';
    closeText(appendUtf8(*mOut, text));
}

void ListingRowWriter::time(const QDateTime &time)
{
    if (!time.isValid()) {
        null();
        return;
    }
    openCell();
    if (mJson)
        *mOut += '"';
    appendTime(*mOut, time);
    if (mJson)
        *mOut += '"';
    closeCell();
}

void ListingRowWriter::plainTime(QByteArrayView text)
{
    openCell();
    if (mJson)
        *mOut += '"';
    mOut->append(text.data(), text.size());
    if (mJson)
        *mOut += '"';
    closeCell();
}

void ListingRowWriter::startTexts()
{
    openCell();
    *mOut += mJson ? "[" : "";
    mCellFrom = mOut->size();
    mFirstItem = true;
}

void ListingRowWriter::closeItem(qsizetype from)
{
    if (mJson) {
        escapeJsonFrom(*mOut, from);
        *mOut += '"';
    } else {
        escapeSampleFrom(*mOut, from);
    }
}

void ListingRowWriter::textItem(QByteArrayView utf8)
{
    if (!mFirstItem)
        *mOut += mJson ? ", " : "\n";
    mFirstItem = false;
    if (mJson)
        *mOut += '"';
    closeItem(appendBytes(*mOut, utf8));
}

void ListingRowWriter::textItem(QStringView text)
{
    if (!mFirstItem)
        *mOut += mJson ? ", " : "\n";
    mFirstItem = false;
    if (mJson)
        *mOut += '"';
    closeItem(appendUtf8(*mOut, text));
}

void ListingRowWriter::endTexts()
{
    if (mJson) {
        *mOut += ']';
        closeCell();
    } else {
        closeText(mCellFrom);
    }
}

} // namespace corvial
