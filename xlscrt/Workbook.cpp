// SPDX-License-Identifier: GPL-3.0-or-later
#include "Workbook.h"

#include "Bytes.h"

#include <QHash>

#include <algorithm>
#include <tuple>
#include <utility>

namespace xlscrt {

namespace {

constexpr uint16_t kBofId = 0x0809;
constexpr uint16_t kEofId = 0x000A;
constexpr uint16_t kCodePageId = 0x0042;
constexpr uint16_t kWindow1Id = 0x003D;
constexpr uint16_t kFontId = 0x0031;
constexpr uint16_t kXfId = 0x00E0;
constexpr uint16_t kStyleId = 0x0293;
constexpr uint16_t kPaletteId = 0x0092;
constexpr uint16_t kBoundSheetId = 0x0085;
constexpr uint16_t kSstId = 0x00FC;
constexpr uint16_t kContinueId = 0x003C;
constexpr uint16_t kExtSstId = 0x00FF;
constexpr uint16_t kColInfoId = 0x007D;
constexpr uint16_t kDimensionsId = 0x0200;
constexpr uint16_t kRowId = 0x0208;
constexpr uint16_t kLabelSstId = 0x00FD;
constexpr uint16_t kBlankId = 0x0201;
constexpr uint16_t kWindow2Id = 0x023E;

constexpr uint16_t kGlobalsType = 0x0005;
constexpr uint16_t kWorksheetType = 0x0010;
constexpr uint16_t kUtf16CodePage = 1200;

// Readers expect four fonts before the first one cells may name, and index 4 is never
// used, so the fonts of our text colours start at 5.
constexpr int kBuiltInFonts = 4;
constexpr int kFirstColourFont = 5;
// Fifteen style XFs and the default cell XF come first.
constexpr int kFirstCellXf = 16;
constexpr uint16_t kDefaultCellXf = 15;
constexpr uint16_t kAutomaticFontColour = 0x7FFF;
constexpr uint8_t kWindowBackground = 0x41;
constexpr uint16_t kFontTwips = 220;
constexpr uint8_t kShiftJisCharset = 128;
constexpr uint16_t kDefaultRowTwips = 270;
constexpr int kRowsPerBlock = 32;

// The BIFF8 default palette, codes 8..63, except code 30 which the label program calls
// sky blue (the default there is a darker blue).
constexpr uint32_t kPalette[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0xA6CAF0, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

auto formatTuple(const CellFormat &f)
{
    return std::make_tuple(f.fontColour, f.fillColour, f.top.style, f.top.colour, f.bottom.style,
                           f.bottom.colour, f.left.style, f.left.colour, f.right.style,
                           f.right.colour);
}

bool isPlain(const CellFormat &f)
{
    return formatTuple(f) == formatTuple(CellFormat{});
}

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// Text that fits in one byte per code unit is stored compressed.
bool needsWideChars(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; });
}

void putChars(QByteArray &out, const QChar *units, qsizetype count, bool wide)
{
    for (qsizetype i = 0; i < count; ++i) {
        if (wide)
            putU16(out, units[i].unicode());
        else
            putU8(out, units[i].unicode());
    }
}

void putShortString(QByteArray &out, const QString &text)
{
    const bool wide = needsWideChars(text);
    putU8(out, uint32_t(text.size()));
    putU8(out, wide);
    putChars(out, text.constData(), text.size(), wide);
}

void putRecord(QByteArray &out, uint16_t id, const QByteArray &data)
{
    Q_ASSERT(data.size() <= kMaxRecordData);
    putU16(out, id);
    putU16(out, uint32_t(data.size()));
    out.append(data);
}

QByteArray bof(uint16_t type)
{
    QByteArray d;
    putU16(d, 0x0600); // BIFF8
    putU16(d, type);
    putU16(d, 0x0DBB); // build and year of the writer Excel 97 readers expect
    putU16(d, 0x07CC);
    putU32(d, 0); // file history
    putU32(d, 6); // lowest BIFF version that can read the file
    return d;
}

QByteArray font(uint16_t colour)
{
    QByteArray d;
    putU16(d, kFontTwips);
    putU16(d, 0); // not italic, struck out, outlined or shadowed
    putU16(d, colour);
    putU16(d, 400); // normal weight
    putU16(d, 0);   // no super- or subscript
    putU8(d, 0);    // no underline
    putU8(d, 0);    // family unknown
    putU8(d, kShiftJisCharset);
    putU8(d, 0);
    // A Japanese face, so Japanese texts show in the face their readers expect.
    putShortString(d, QStringLiteral("ＭＳ Ｐゴシック"));
    return d;
}

QByteArray styleXf(uint16_t fontIndex, uint8_t usedFlags)
{
    QByteArray d;
    putU16(d, fontIndex);
    putU16(d, 0);
    putU16(d, 0xFFF5); // locked, style XF, no parent
    putU8(d, 0x20);    // bottom aligned
    putU8(d, 0);
    putU8(d, 0);
    putU8(d, usedFlags);
    d.append(8, '\0'); // no borders, no fill pattern
    putU16(d, 0x40 | kWindowBackground << 7);
    return d;
}

QByteArray cellXf(uint16_t fontIndex, const CellFormat &f, bool wrap)
{
    QByteArray d;
    putU16(d, fontIndex);
    putU16(d, 0);      // number format General
    putU16(d, 0x0001); // locked, parent is the Normal style
    // A text with a line break wraps, so both of its lines show.
    putU8(d, 0x20 | (wrap ? 0x08 : 0));
    putU8(d, 0);
    putU8(d, 0);
    // Font, alignment, border, pattern and protection are this XF's own, not the style's.
    putU8(d, 0xF8);
    putU32(d, uint32_t(f.left.style) | uint32_t(f.right.style) << 4 | uint32_t(f.top.style) << 8 |
                  uint32_t(f.bottom.style) << 12 | uint32_t(f.left.colour) << 16 |
                  uint32_t(f.right.colour) << 23);
    putU32(d, uint32_t(f.top.colour) | uint32_t(f.bottom.colour) << 7 |
                  (f.fillColour ? 1u << 26 : 0u));
    // A solid fill shows its pattern (foreground) colour.
    putU16(d, uint32_t(f.fillColour ? f.fillColour : 0x40) | uint32_t(kWindowBackground) << 7);
    return d;
}

// Fonts and XFs the sheet's cells need, each numbered once.
struct Formats
{
    std::map<uint8_t, uint16_t> fonts;                   // text colour -> font index
    std::map<std::pair<CellFormat, bool>, uint16_t> xfs; // (format, wrap) -> XF index

    uint16_t xfOf(const Cell &cell) const
    {
        const bool wrap = hasLineBreak(cell.text);
        if (isPlain(cell.format) && !wrap)
            return kDefaultCellXf;
        return xfs.at({cell.format, wrap});
    }
};

Formats collectFormats(const Sheet &sheet)
{
    Formats formats;
    for (const auto &entry : sheet.cells) {
        const Cell &cell = entry.second;
        if (cell.format.fontColour)
            formats.fonts.emplace(cell.format.fontColour, 0);
        const bool wrap = hasLineBreak(cell.text);
        if (!isPlain(cell.format) || wrap)
            formats.xfs.emplace(std::make_pair(cell.format, wrap), 0);
    }
    uint16_t next = kFirstColourFont;
    for (auto &entry : formats.fonts)
        entry.second = next++;
    next = kFirstCellXf;
    for (auto &entry : formats.xfs)
        entry.second = next++;
    return formats;
}

void appendGlobals(QByteArray &out, const Formats &formats, const std::vector<QString> &strings,
                   uint32_t stringRefs, qsizetype &boundSheetAt)
{
    putRecord(out, kBofId, bof(kGlobalsType));

    QByteArray d;
    putU16(d, kUtf16CodePage);
    putRecord(out, kCodePageId, d);

    d.clear();
    for (uint32_t v : {0u, 0u, 0x4000u, 0x2000u, 0x0038u, 0u, 0u, 1u, 600u})
        putU16(d, v);
    putRecord(out, kWindow1Id, d);

    for (int i = 0; i < kBuiltInFonts; ++i)
        putRecord(out, kFontId, font(kAutomaticFontColour));
    for (const auto &entry : formats.fonts)
        putRecord(out, kFontId, font(entry.first));

    putRecord(out, kXfId, styleXf(0, 0x00));
    for (uint16_t fontIndex : {1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
        putRecord(out, kXfId, styleXf(fontIndex, 0xF4));
    putRecord(out, kXfId, cellXf(0, CellFormat{}, false));
    for (const auto &entry : formats.xfs) {
        const CellFormat &f = entry.first.first;
        const uint16_t fontIndex = f.fontColour ? formats.fonts.at(f.fontColour) : 0;
        putRecord(out, kXfId, cellXf(fontIndex, f, entry.first.second));
    }

    d.clear();
    putU16(d, 0x8000); // built-in style "Normal" on XF 0
    putU8(d, 0);
    putU8(d, 0xFF);
    putRecord(out, kStyleId, d);

    d.clear();
    putU16(d, std::size(kPalette));
    for (uint32_t rgb : kPalette) {
        putU8(d, rgb >> 16);
        putU8(d, rgb >> 8);
        putU8(d, rgb);
        putU8(d, 0);
    }
    putRecord(out, kPaletteId, d);

    d.clear();
    putU32(d, 0); // worksheet offset, known once the globals are complete
    putU8(d, 0);  // visible
    putU8(d, 0);  // worksheet
    putShortString(d, QStringLiteral("Sheet1"));
    boundSheetAt = out.size();
    putRecord(out, kBoundSheetId, d);

    if (!strings.empty())
        appendSharedStrings(out, strings, stringRefs);
    putRecord(out, kEofId, {});
}

void appendWorksheet(QByteArray &out, const Sheet &sheet, const Formats &formats,
                     const QHash<QString, uint32_t> &stringIndex)
{
    putRecord(out, kBofId, bof(kWorksheetType));

    for (const auto &[column, width] : sheet.columnWidths) {
        QByteArray d;
        putU16(d, column);
        putU16(d, column);
        putU16(d, width);
        putU16(d, kDefaultCellXf);
        putU16(d, 0); // not hidden, even at width 0: the caller chose that width
        putU16(d, 0);
        putRecord(out, kColInfoId, d);
    }

    // Rows with cells remember their first column and the one after their last.
    std::map<int, std::pair<int, int>> rows;
    int firstColumn = kMaxColumns;
    int lastColumn = -1;
    for (const auto &entry : sheet.cells) {
        const int row = int(entry.first >> 8);
        const int column = int(entry.first & 0xFF);
        auto [it, added] = rows.emplace(row, std::make_pair(column, column + 1));
        if (!added)
            it->second.second = column + 1; // cells come left to right
        firstColumn = std::min(firstColumn, column);
        lastColumn = std::max(lastColumn, column);
    }
    QByteArray d;
    if (sheet.cells.empty()) {
        d.append(14, '\0');
    } else {
        putU32(d, uint32_t(rows.begin()->first));
        putU32(d, uint32_t(rows.rbegin()->first + 1));
        putU16(d, firstColumn);
        putU16(d, lastColumn + 1);
        putU16(d, 0);
    }
    putRecord(out, kDimensionsId, d);
    for (const auto &entry : sheet.rowHeights)
        rows.emplace(entry.first, std::make_pair(0, 0));

    auto rowIt = rows.begin();
    while (rowIt != rows.end()) {
        const int blockStart = rowIt->first;
        const int blockEnd = (blockStart / kRowsPerBlock + 1) * kRowsPerBlock;
        for (; rowIt != rows.end() && rowIt->first < blockEnd; ++rowIt) {
            const auto height = sheet.rowHeights.find(rowIt->first);
            const bool custom = height != sheet.rowHeights.end();
            d.clear();
            putU16(d, rowIt->first);
            putU16(d, rowIt->second.first);
            putU16(d, rowIt->second.second);
            putU16(d, custom ? height->second : kDefaultRowTwips);
            putU16(d, 0);
            putU16(d, 0);
            // Custom height when set, and the bits readers expect: 0x100 always set,
            // row XF 15 (not applied).
            putU32(d, (custom ? 0x40u : 0u) | 0x100u | uint32_t(kDefaultCellXf) << 16);
            putRecord(out, kRowId, d);
        }
        const auto cellEnd = sheet.cells.lower_bound(cellKey(blockEnd, 0));
        for (auto c = sheet.cells.lower_bound(cellKey(blockStart, 0)); c != cellEnd; ++c) {
            d.clear();
            putU16(d, c->first >> 8);
            putU16(d, c->first & 0xFF);
            putU16(d, formats.xfOf(c->second));
            if (c->second.text.isEmpty()) {
                putRecord(out, kBlankId, d);
            } else {
                putU32(d, stringIndex.value(c->second.text));
                putRecord(out, kLabelSstId, d);
            }
        }
    }

    d.clear();
    // Gridlines, headers, zeros, default grid colour, outline symbols, selected, active.
    for (uint32_t v : {0x06B6u, 0u, 0u, 0x40u, 0u, 0u, 0u, 0u, 0u})
        putU16(d, v);
    putRecord(out, kWindow2Id, d);
    putRecord(out, kEofId, {});
}

} // namespace

bool operator<(const CellFormat &a, const CellFormat &b)
{
    return formatTuple(a) < formatTuple(b);
}

int cellFormatCount(const Sheet &sheet)
{
    return int(collectFormats(sheet).xfs.size());
}

void appendSharedStrings(QByteArray &stream, const std::vector<QString> &strings,
                         uint32_t totalRefs)
{
    const auto unique = uint32_t(strings.size());
    // At most 128 buckets, each indexing its first string.
    const uint32_t bucket = std::max<uint32_t>(unique / 128 + 1, 8);
    QByteArray index;
    putU16(index, bucket);

    qsizetype recordStart = 0;
    const auto open = [&](uint16_t id) {
        recordStart = stream.size();
        putU16(stream, id);
        putU16(stream, 0);
    };
    const auto close = [&] {
        setU16(stream, recordStart + 2, uint32_t(stream.size() - recordStart - 4));
    };
    const auto room = [&] { return kMaxRecordData - (stream.size() - recordStart - 4); };

    open(kSstId);
    putU32(stream, totalRefs);
    putU32(stream, unique);
    for (uint32_t i = 0; i < unique; ++i) {
        const QString &s = strings[i];
        const bool wide = needsWideChars(s);
        const int unitBytes = wide ? 2 : 1;
        // Readers need a string's header and its first character in the same record.
        if (room() < 3 + (s.isEmpty() ? 0 : unitBytes)) {
            close();
            open(kContinueId);
        }
        if (i % bucket == 0) {
            putU32(index, uint32_t(stream.size()));
            putU16(index, uint32_t(stream.size() - recordStart));
            putU16(index, 0);
        }
        putU16(stream, uint32_t(s.size()));
        putU8(stream, wide);
        qsizetype done = 0;
        while (done < s.size()) {
            const qsizetype fit = std::min<qsizetype>(room() / unitBytes, s.size() - done);
            if (fit == 0) {
                // The rest of the string goes on after a fresh encoding byte.
                close();
                open(kContinueId);
                putU8(stream, wide);
                continue;
            }
            putChars(stream, s.constData() + done, fit, wide);
            done += fit;
        }
    }
    close();
    putRecord(stream, kExtSstId, index);
}

QByteArray workbookStream(const Sheet &sheet)
{
    const Formats formats = collectFormats(sheet);
    std::vector<QString> strings;
    QHash<QString, uint32_t> stringIndex;
    uint32_t stringRefs = 0;
    for (const auto &entry : sheet.cells) {
        const QString &text = entry.second.text;
        if (text.isEmpty())
            continue;
        ++stringRefs;
        if (!stringIndex.contains(text)) {
            stringIndex.insert(text, uint32_t(strings.size()));
            strings.push_back(text);
        }
    }

    QByteArray out;
    qsizetype boundSheetAt = 0;
    appendGlobals(out, formats, strings, stringRefs, boundSheetAt);
    setU32(out, boundSheetAt + 4, uint32_t(out.size()));
    appendWorksheet(out, sheet, formats, stringIndex);
    return out;
}

} // namespace xlscrt
