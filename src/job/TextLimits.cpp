// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/TextLimits.h"

#include "job/SheetTypes.h"
#include "job/ShiftJis.h"

#include <limits>

namespace corvial {

namespace {

constexpr int kBreakBytes = 2;
constexpr int kLastEmptiedMemo8Line = 6;
constexpr int kFirstEmptiedMemo5Line = 5;
constexpr int kLastEmptiedMemo5Line = 11;
constexpr int kMemo5CheckedLines = 4;

// What a box allows, line by line (lines counted from 1).
struct LineRules
{
    int checkedLines = 0; // lines 1..checkedLines hold at most lineBytes each
    int lineBytes = 0;
    int firstEmptied = 0; // lines firstEmptied..lastEmptied keep no text; none by default
    int lastEmptied = -1;
    int maxBytes = std::numeric_limits<int>::max(); // the whole text, breaks included
};

// A single pass that keeps or drops each character exactly as the change handler would
// have done had the text been typed key by key: dropping a character never moves a later
// one onto another line, and a later, narrower character that still fits is kept.
QString applyRules(const QString &text, const LineRules &rules)
{
    QString out;
    out.reserve(text.size());
    const int maxBytes = qMax(0, rules.maxBytes);
    int total = 0;
    int line = 1;
    int lineBytes = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            // A refused break keeps the following characters on the current line, as a
            // box refusing the Enter key would.
            if (total + kBreakBytes <= maxBytes) {
                out += QLatin1Char('\n');
                total += kBreakBytes;
                ++line;
                lineBytes = 0;
            }
            continue;
        }
        char32_t cp = c.unicode();
        qsizetype units = 1;
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, text.at(i + 1));
            units = 2;
        }
        const int bytes = sjisCharBytes(cp);
        bool keep = total + bytes <= maxBytes;
        if (line >= rules.firstEmptied && line <= rules.lastEmptied)
            keep = false;
        else if (line <= rules.checkedLines && lineBytes + bytes > rules.lineBytes)
            keep = false;
        if (keep) {
            out += text.mid(i, units);
            total += bytes;
            lineBytes += bytes;
        }
        i += units - 1;
    }
    return out;
}

} // namespace

int memo8LineLimit(int sheetType)
{
    return isValidSheetType(sheetType) ? sheetTypeInfo(sheetType).memo8LineBytes : 0;
}

int memo8CheckedLines(int sheetType)
{
    return isValidSheetType(sheetType) ? sheetTypeInfo(sheetType).memo8Lines : 0;
}

QString limitEdit2Text(const QString &text, int sheetType)
{
    const int limit = isValidSheetType(sheetType) ? sheetTypeInfo(sheetType).edit2Limit : 0;
    if (limit == 0)
        return text;
    LineRules rules;
    rules.maxBytes = limit;
    return applyRules(text, rules);
}

QString limitMemo8Text(const QString &text, int sheetType, int maxBytes)
{
    LineRules rules;
    rules.checkedLines = memo8CheckedLines(sheetType);
    rules.lineBytes = memo8LineLimit(sheetType);
    // Every type, even those whose screens hide Memo8, empties the lines it does not print.
    rules.firstEmptied = sheetTypeInfo(sheetType).memo8KeptLines + 1;
    rules.lastEmptied = kLastEmptiedMemo8Line;
    rules.maxBytes = maxBytes;
    return applyRules(text, rules);
}

QString limitMemo5Text(const QString &text, int sheetType, int maxBytes)
{
    LineRules rules;
    const int lineBytes = isValidSheetType(sheetType) ? sheetTypeInfo(sheetType).memo5LineBytes : 0;
    if (lineBytes > 0) {
        rules.checkedLines = kMemo5CheckedLines;
        rules.lineBytes = lineBytes;
    }
    rules.firstEmptied = kFirstEmptiedMemo5Line;
    rules.lastEmptied = kLastEmptiedMemo5Line;
    rules.maxBytes = maxBytes;
    return applyRules(text, rules);
}

} // namespace corvial
