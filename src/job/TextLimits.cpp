// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/TextLimits.h"

#include "job/ShiftJis.h"

#include <limits>

namespace corvial {

namespace {

constexpr int kBreakBytes = 2;
// A text typed as lines keeps nothing on lines past its own up to the sixth; a type that
// takes no lines still keeps two, as the lines box has always done whatever the type.
constexpr int kLastEmptiedLine = 6;
constexpr int kLinesKeptWithoutLines = 2;
// A memo keeps nothing on lines 5..11, whatever the type.
constexpr int kFirstEmptiedMemoLine = MemoLines + 1;
constexpr int kLastEmptiedMemoLine = 11;

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

QString limitOneLineText(const QString &text, const TextBox &box)
{
    if (box.kind != TextBoxKind::OneLine)
        return text;
    LineRules rules;
    rules.maxBytes = box.totalBytes;
    return applyRules(text, rules);
}

QString limitLinesText(const QString &text, const TextBox &box, int maxBytes)
{
    LineRules rules;
    const bool lines = box.kind == TextBoxKind::Lines;
    if (lines) {
        rules.checkedLines = box.lineCount;
        rules.lineBytes = box.lineBytes;
    }
    rules.firstEmptied = (lines ? box.lineCount : kLinesKeptWithoutLines) + 1;
    rules.lastEmptied = kLastEmptiedLine;
    rules.maxBytes = maxBytes;
    return applyRules(text, rules);
}

QString limitMemoText(const QString &text, const TextBox &box, int maxBytes)
{
    LineRules rules;
    if (box.kind == TextBoxKind::Memo) {
        rules.checkedLines = box.lineCount;
        rules.lineBytes = box.lineBytes;
    }
    rules.firstEmptied = kFirstEmptiedMemoLine;
    rules.lastEmptied = kLastEmptiedMemoLine;
    rules.maxBytes = maxBytes;
    return applyRules(text, rules);
}

QString limitedByBox(const QString &text, const TextBox &box)
{
    switch (box.kind) {
    case TextBoxKind::OneLine:
        return limitOneLineText(text, box);
    case TextBoxKind::Lines:
        return limitLinesText(text, box, box.totalBytes);
    case TextBoxKind::Memo:
        return limitMemoText(text, box, box.totalBytes);
    case TextBoxKind::Marker:
        break;
    }
    return text;
}

} // namespace corvial
