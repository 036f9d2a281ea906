// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringView>

namespace corvial {

// The cells of the history's CSV and JSON listing, written one after another in column
// order. Both the listing of entries (historyCsv, historyJson, HistoryListingWriter) and the
// listing read straight from the database (writeHistoryListing) write through this, so that
// the two give the same bytes.

// What a column holds, as the database row gives it.
enum class ListingCellKind {
    Whole, // a number
    Real,  // a number with a fraction
    Flag,  // on/off, stored as 0 or not
    Id,    // a number, written only when > 0
    Text,
    Time,  // a time as the history stores it (utcText's form); empty/null when it has none
    Texts, // the sample texts, in order
};

constexpr int ListingColumnCount = 37;
// The heading word (CSV) and key (JSON) of column 0..ListingColumnCount-1.
const char *listingColumnKey(int column);
ListingCellKind listingColumnKind(int column);

// The time a history stores as text ("2026-01-31T09:05:00.000Z"), as UTC; invalid when the
// text is not a time.
QDateTime historyTimeFromText(const QString &text);
// True when text is a time exactly in the form the history writes, with every field in
// range: such a time is listed byte for byte as it is stored.
bool isPlainHistoryTime(QByteArrayView text);
// True when bytes are UTF-8 that reads back as the same bytes once decoded and encoded again
// (no overlong form, surrogate or code past U+10FFFF).
bool isStrictUtf8(QByteArrayView bytes);

// Writes the listing's rows into a buffer: CSV (RFC 4180, CR LF, with a byte order mark when
// bom) or JSON. Call begin once, then per row startRow, one value call per column in order
// (startTexts, textItem..., endTexts for the sample texts) and endRow, and finish at the end.
class ListingRowWriter
{
public:
    ListingRowWriter(bool json, bool bom);
    // The buffer the next calls append to.
    void setOutput(QByteArray *out) { mOut = out; }

    void begin();
    void startRow();
    void null();
    void whole(qint64 value);
    void real(double value);
    void flag(bool value);
    // utf8 must be strict UTF-8 (isStrictUtf8); other texts go through the QStringView form.
    void text(QByteArrayView utf8);
    void text(QStringView text);
    void time(const QDateTime &time);
    // text must be isPlainHistoryTime.
    void plainTime(QByteArrayView text);
    void startTexts();
    void textItem(QByteArrayView utf8);
    void textItem(QStringView text);
    void endTexts();
    void endRow();
    void finish();

private:
    void openCell();
    void closeCell();
    void closeText(qsizetype from);
    void closeItem(qsizetype from);

    QByteArray *mOut = nullptr;
    bool mJson;
    bool mBom;
    bool mStarted = false;
    bool mAny = false;
    int mColumn = 0;
    qsizetype mCellFrom = 0;
    bool mFirstItem = true;
    double mLastReal = 0;
    QByteArray mLastRealText;
};

} // namespace corvial
