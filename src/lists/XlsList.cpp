// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/XlsList.h"

#include "files/BoundedFile.h"
#include "job/TextCharacters.h"
#include "lists/CellText.h"

#include <QHash>
#include <QSet>

#include <cstring>

#include <freexl.h>

namespace corvial {

namespace {

// The library cannot tell which sheet was active, which rows are hidden, nor an error value
// from a boolean, and it allocates a slot for every cell each sheet's DIMENSIONS claims. So
// the workbook is read here, from the records of the one sheet wanted; the library diagnoses
// the files that are no workbook at all.

struct XlsHandle
{
    const void *handle = nullptr;
    ~XlsHandle()
    {
        if (handle)
            freexl_close(handle);
    }
};

QString libraryFailureText(int status)
{
    switch (status) {
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return QStringLiteral("Excel 97-2003 形式 (.xls) のブックではありません。"
                              "別の形式のファイルに .xls という名前が付いています。");
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
    case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
    case FREEXL_INVALID_MINI_STREAM:
    case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY:
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
        return QStringLiteral("Excel 97-2003 形式 (.xls) のブックとして読めません。"
                              "ファイルが途中で切れているか壊れています。");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("ファイルの中に Excel のブックがありません "
                              "(Word など別のソフトの文書かもしれません)。");
    case FREEXL_BIFF_INVALID_BOF:
        return QStringLiteral("ブックの形式を読み取れません。"
                              "ファイルが壊れているか、対応していない古い形式です。");
    case FREEXL_BIFF_INVALID_SST:
    case FREEXL_BIFF_ILLEGAL_SST_INDEX:
        return QStringLiteral("ブックの文字列の表が壊れています。");
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET:
        return QStringLiteral("ブックの文字コードを読めません。");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("ブックが大きすぎて読み込めません (メモリが足りません)。");
    case FREEXL_CRAFTED_FILE:
        return QStringLiteral(
            "ブックがひどく壊れています (不正に作られたファイルかもしれません)。");
    default:
        return QStringLiteral("Excel 97-2003 形式 (.xls) のブックとして読めません "
                              "(FreeXL エラー %1)。")
            .arg(status);
    }
}

QString brokenText(const QString &what)
{
    return QStringLiteral("ブックが壊れています: %1").arg(what);
}

quint32 u32(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size())
        return 0xFFFFFFFFu;
    const auto *p = reinterpret_cast<const uchar *>(b.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

uchar u8(const QByteArray &b, qsizetype at)
{
    return at >= 0 && at < b.size() ? uchar(b.at(at)) : 0;
}

quint16 u16(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    const auto *p = reinterpret_cast<const uchar *>(b.constData() + at);
    return quint16(p[0] | p[1] << 8);
}

constexpr quint32 kEndOfChain = 0xFFFFFFFEu;

// The "Workbook" stream of the compound file, followed through its allocation table. Every
// walk is bounded by the number of sectors the file has, so a looping table stops.
class CompoundFile
{
public:
    explicit CompoundFile(const QByteArray &file) : mFile(file) {}

    bool workbook(QByteArray *out, QString *reason)
    {
        const auto broken = [&](const char *why) {
            *reason = brokenText(QString::fromUtf8(why));
            return false;
        };
        if (mFile.size() < 512)
            return broken("ファイルが短すぎます。");
        const int shift = u16(mFile, 0x1E);
        if (shift != 9 && shift != 12)
            return broken("セクターの大きさが正しくありません。");
        mSector = qsizetype(1) << shift;
        mSectors = (mFile.size() - mSector) / mSector;
        if (mSectors <= 0)
            return broken("ファイルが短すぎます。");
        // Allocation table sectors: 109 listed in the header, the rest in a chain.
        QList<quint32> fatSectors;
        for (int i = 0; i < 109; ++i)
            fatSectors.append(u32(mFile, 0x4C + 4 * i));
        quint32 difat = u32(mFile, 0x44);
        for (qsizetype n = 0; difat < quint32(mSectors); ++n) {
            if (n > mSectors)
                return broken("割り当て表が循環しています。");
            const qsizetype at = offsetOf(difat);
            for (qsizetype i = 0; i < mSector / 4 - 1; ++i)
                fatSectors.append(u32(mFile, at + 4 * i));
            difat = u32(mFile, at + mSector - 4);
        }
        const quint32 fatCount = u32(mFile, 0x2C);
        if (fatCount > quint32(mSectors))
            return broken("割り当て表の大きさが正しくありません。");
        for (quint32 i = 0; i < fatCount; ++i) {
            if (i >= quint32(fatSectors.size()) || fatSectors.at(i) >= quint32(mSectors))
                return broken("割り当て表が正しくありません。");
            const qsizetype at = offsetOf(fatSectors.at(i));
            for (qsizetype k = 0; k < mSector / 4; ++k)
                mFat.append(u32(mFile, at + 4 * k));
        }
        QByteArray directory;
        if (!chain(u32(mFile, 0x30), mFat, &directory, reason))
            return false;
        const QString wanted[] = {QStringLiteral("Workbook"), QStringLiteral("Book")};
        for (const QString &name : wanted) {
            for (qsizetype e = 0; e + 128 <= directory.size(); e += 128) {
                if (directory.at(e + 0x42) != 2)
                    continue;
                const int bytes = qMin<int>(u16(directory, e + 0x40), 64);
                const QString entry = QString::fromUtf16(
                    reinterpret_cast<const char16_t *>(directory.constData() + e),
                    qMax(0, bytes / 2 - 1));
                if (entry.compare(name, Qt::CaseInsensitive) != 0)
                    continue;
                const quint32 size = u32(directory, e + 0x78);
                if (size > quint32(mFile.size()))
                    return broken("ブックの大きさが正しくありません。");
                const quint32 start = u32(directory, e + 0x74);
                if (size >= u32(mFile, 0x38)) {
                    if (!chain(start, mFat, out, reason))
                        return false;
                } else if (!miniStream(directory, start, out, reason)) {
                    return false;
                }
                if (out->size() < qsizetype(size))
                    return broken("ブックが途中で切れています。");
                out->truncate(size);
                return true;
            }
        }
        *reason = libraryFailureText(FREEXL_BIFF_WORKBOOK_NOT_FOUND);
        return false;
    }

private:
    qsizetype offsetOf(quint32 sector) const { return (qsizetype(sector) + 1) * mSector; }

    // The bytes of the chain from start in table (sectors of unit bytes taken from source).
    bool chain(quint32 start, const QList<quint32> &table, QByteArray *out, QString *reason,
               const QByteArray *source = nullptr, qsizetype unit = 0)
    {
        const QByteArray &from = source ? *source : mFile;
        const qsizetype size = source ? unit : mSector;
        const qsizetype limit = source ? from.size() / unit : mSectors;
        out->clear();
        for (qsizetype n = 0; start != kEndOfChain; ++n) {
            if (start >= quint32(table.size()) || start >= quint64(limit) || n > limit) {
                *reason = brokenText(QStringLiteral("割り当て表が正しくありません。"));
                return false;
            }
            const qsizetype at = source ? qsizetype(start) * unit : offsetOf(start);
            out->append(from.mid(at, size));
            start = table.at(start);
        }
        return true;
    }

    bool miniStream(const QByteArray &directory, quint32 start, QByteArray *out, QString *reason)
    {
        QByteArray container;
        QByteArray miniFatBytes;
        if (!chain(u32(directory, 0x74), mFat, &container, reason) ||
            !chain(u32(mFile, 0x3C), mFat, &miniFatBytes, reason))
            return false;
        QList<quint32> miniFat;
        for (qsizetype i = 0; i + 4 <= miniFatBytes.size(); i += 4)
            miniFat.append(u32(miniFatBytes, i));
        return chain(start, miniFat, out, reason, &container, 64);
    }

    const QByteArray &mFile;
    qsizetype mSector = 512;
    qsizetype mSectors = 0;
    QList<quint32> mFat;
};

// One BIFF record and the CONTINUE records after it, read as one run of bytes whose record
// boundaries are remembered: a string split over a boundary starts its remainder with a new
// flags byte.
struct Record
{
    quint16 id = 0;
    QByteArray data;
    QList<qsizetype> breaks; // offsets in data where a CONTINUE began
};

class RecordReader
{
public:
    explicit RecordReader(const QByteArray &stream, qsizetype at = 0) : mStream(stream), mAt(at) {}

    // The next record with its CONTINUE records joined; false at the end of the stream.
    bool next(Record *r)
    {
        if (mAt + 4 > mStream.size())
            return false;
        r->id = u16(mStream, mAt);
        qsizetype size = u16(mStream, mAt + 2);
        r->data = mStream.mid(mAt + 4, size);
        r->breaks.clear();
        mAt += 4 + size;
        while (mAt + 4 <= mStream.size() && u16(mStream, mAt) == 0x003C) {
            size = u16(mStream, mAt + 2);
            r->breaks.append(r->data.size());
            r->data += mStream.mid(mAt + 4, size);
            mAt += 4 + size;
        }
        return true;
    }

private:
    const QByteArray &mStream;
    qsizetype mAt;
};

// Reads a BIFF8 unicode string at *at in r (cch counted in 16 or 8 bits): with keep false
// the string is only stepped over. False when the record ends inside it.
bool readString(const Record &r, qsizetype *at, bool wideCount, QString *out, bool keep)
{
    const QByteArray &d = r.data;
    qsizetype p = *at;
    const int count = wideCount ? u16(d, p) : u8(d, p);
    p += wideCount ? 2 : 1;
    if (p >= d.size())
        return false;
    uchar flags = uchar(d.at(p++));
    qsizetype runs = 0, phonetic = 0;
    if (flags & 0x08) {
        runs = u16(d, p);
        p += 2;
    }
    if (flags & 0x04) {
        phonetic = u32(d, p);
        p += 4;
    }
    if (keep)
        out->clear();
    int left = count;
    while (left > 0) {
        // The characters up to the next record boundary, in this piece's width.
        qsizetype end = d.size();
        for (qsizetype b : r.breaks) {
            if (b > p) {
                end = b;
                break;
            }
        }
        const int width = (flags & 0x01) ? 2 : 1;
        const int here = int(qMin<qsizetype>(left, (end - p) / width));
        if (keep) {
            if (width == 2)
                out->append(QString::fromUtf16(
                    reinterpret_cast<const char16_t *>(d.constData() + p), here));
            else
                out->append(QString::fromLatin1(d.constData() + p, here));
        }
        p += qsizetype(here) * width;
        left -= here;
        if (left == 0)
            break;
        if (p != end || p >= d.size())
            return false;
        flags = uchar(d.at(p++));
    }
    p += runs * 4 + phonetic;
    if (p > d.size())
        return false;
    *at = p;
    return true;
}

double rkValue(quint32 rk)
{
    double value;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

double doubleAt(const QByteArray &d, qsizetype at)
{
    const quint64 bits = quint64(u32(d, at)) | quint64(u32(d, at + 4)) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString errorName(int code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#(%1)").arg(code);
    }
}

struct SheetInfo
{
    qsizetype offset;
    int visibility; // 0 visible, 1 hidden, 2 very hidden
    int type;       // 0 worksheet; others are charts and macro sheets
    QString name;
};

struct Globals
{
    QList<SheetInfo> sheets;
    int activeTab = -1;
    bool date1904 = false;
    bool encrypted = false;
    QHash<int, QString> formatCodes;
    QList<int> formatOfXf;
};

void readGlobals(const QByteArray &stream, Globals *g)
{
    RecordReader reader(stream);
    Record r;
    while (reader.next(&r)) {
        switch (r.id) {
        case 0x003D: // WINDOW1
            if (g->activeTab < 0)
                g->activeTab = u16(r.data, 10);
            break;
        case 0x0085: { // BOUNDSHEET
            SheetInfo s{u32(r.data, 0), u8(r.data, 4) & 0x03, u8(r.data, 5), QString()};
            qsizetype p = 6;
            readString(r, &p, false, &s.name, true);
            g->sheets.append(s);
            break;
        }
        case 0x0022: // DATEMODE
            g->date1904 = u16(r.data, 0) == 1;
            break;
        case 0x002F: // FILEPASS
            g->encrypted = true;
            break;
        case 0x041E: { // FORMAT
            QString code;
            qsizetype p = 2;
            if (readString(r, &p, true, &code, true))
                g->formatCodes.insert(u16(r.data, 0), code);
            break;
        }
        case 0x00E0: // XF
            g->formatOfXf.append(u16(r.data, 2));
            break;
        default:
            break;
        }
        if (r.id == 0x000A) // EOF of the globals
            return;
    }
}

// Offset of the SST record in the globals; found apart so the record reader stays simple.
qsizetype sstOffset(const QByteArray &stream)
{
    for (qsizetype at = 0; at + 4 <= stream.size(); at += 4 + u16(stream, at + 2)) {
        const quint16 id = u16(stream, at);
        if (id == 0x00FC)
            return at;
        if (id == 0x000A)
            break;
    }
    return -1;
}

struct Pending
{
    qsizetype cell;
    quint32 index;
};

class SheetReader
{
public:
    SheetReader(const Globals &g, ListTable *table) : mGlobals(g), mTable(table) {}

    QList<Pending> pending;
    QString reason;

    // Reads the sheet's cells from offset; false when a cell is refused or the list is full.
    bool read(const QByteArray &stream, qsizetype offset)
    {
        RecordReader reader(stream, offset);
        Record r;
        int level = 0;
        mStringFormula = false;
        while (reader.next(&r)) {
            if (r.id == 0x0809) {
                ++level;
                continue;
            }
            if (r.id == 0x000A && --level <= 0)
                break;
            if (level != 1)
                continue;
            if (mStringFormula && r.id != 0x0207) {
                reason = uncachedFormulaText(mFormulaColumn, mFormulaRow);
                return false;
            }
            if (!record(r))
                return false;
        }
        if (mStringFormula) {
            reason = uncachedFormulaText(mFormulaColumn, mFormulaRow);
            return false;
        }
        return true;
    }

    bool stopped() const { return mStopped; }

private:
    // One record of the sheet's own level; false when a cell is refused or the list is full.
    bool record(const Record &r)
    {
        const int row = u16(r.data, 0);
        const int column = u16(r.data, 2);
        const int xf = u16(r.data, 4);
        switch (r.id) {
        case 0x0208: // ROW
            if (u32(r.data, 12) & 0x20) {
                mHidden.insert(row);
                if (row < ListRowCap)
                    mTable->hiddenRowSet.insert(row);
            }
            return true;
        case 0x0203: // NUMBER
            return number(row, column, xf, doubleAt(r.data, 6));
        case 0x027E: // RK
            return number(row, column, xf, rkValue(u32(r.data, 6)));
        case 0x00BD: // MULRK
            return numbers(r, row, column);
        case 0x00FD: // LABELSST
            return sharedString(row, column, u32(r.data, 6));
        case 0x0204: // LABEL
        case 0x00D6: // RSTRING
        case 0x0207: // STRING, the result of the formula before it
            return stringCell(r, row, column);
        case 0x0205: // BOOLERR
            return boolOrError(row, column, u8(r.data, 6), u8(r.data, 7) != 0);
        case 0x0006: // FORMULA: its result as saved
            return formula(r, row, column, xf);
        default:
            return true;
        }
    }

    // The numbers of a MULRK record, from column on.
    bool numbers(const Record &r, int row, int column)
    {
        const int last = u16(r.data, r.data.size() - 2);
        for (int c = column; c <= last; ++c) {
            const qsizetype p = 4 + qsizetype(c - column) * 6;
            if (p + 6 > r.data.size() - 2)
                break;
            if (!number(row, c, u16(r.data, p), rkValue(u32(r.data, p + 2))))
                return false;
        }
        return true;
    }

    // A LABEL or RSTRING cell, or the STRING record that holds the formula's text before it.
    bool stringCell(const Record &r, int row, int column)
    {
        const bool result = r.id == 0x0207;
        if (result) {
            if (!mStringFormula)
                return true;
            mStringFormula = false;
        }
        const int sr = result ? mFormulaRow : row;
        const int sc = result ? mFormulaColumn : column;
        QString text;
        qsizetype p = result ? 0 : 6;
        if (!readString(r, &p, true, &text, keeps(sr, sc))) {
            reason = brokenText(
                QStringLiteral("セル %1 の文字列が途中で切れています。").arg(listCellName(sc, sr)));
            return false;
        }
        return keep(sr, sc, keeps(sr, sc) ? text : QStringLiteral(" "));
    }

    // A formula's saved result: a number, a truth value or error, or a text in the next record.
    bool formula(const Record &r, int row, int column, int xf)
    {
        if (u16(r.data, 12) != 0xFFFF)
            return number(row, column, xf, doubleAt(r.data, 6));
        const int kind = u8(r.data, 6);
        if (kind == 0) {
            mStringFormula = true;
            mFormulaRow = row;
            mFormulaColumn = column;
            return true;
        }
        return (kind != 1 && kind != 2) || boolOrError(row, column, u8(r.data, 8), kind == 2);
    }

    bool keeps(int row, int column) const { return isKeptColumn(column) && !mHidden.contains(row); }

    // Keeps text unless its row is hidden; false once the list is full (or refused).
    bool keep(int row, int column, const QString &text)
    {
        if (mHidden.contains(row)) {
            if (!text.isEmpty() && !mCountedHidden.contains(row)) {
                mCountedHidden.insert(row);
                ++mTable->hiddenRows;
            }
            return true;
        }
        if (!keepCell(*mTable, row, column, text)) {
            mStopped = true;
            return false;
        }
        return true;
    }

    bool number(int row, int column, int xf, double value)
    {
        if (!keeps(row, column))
            return keep(row, column, QStringLiteral(" "));
        const int id = xf < mGlobals.formatOfXf.size() ? mGlobals.formatOfXf.at(xf) : 0;
        const QString text = formattedNumberText(
            value, numberFormatOf(id, mGlobals.formatCodes.value(id)), mGlobals.date1904);
        if (text.isEmpty()) {
            reason = unshowableNumberText(column, row, QString::number(value, 'g', 17));
            return false;
        }
        return keep(row, column, text);
    }

    bool boolOrError(int row, int column, int value, bool isError)
    {
        if (!keeps(row, column))
            return keep(row, column, QStringLiteral(" "));
        if (isError) {
            reason = errorCellText(column, row, errorName(value));
            return false;
        }
        return keep(row, column, value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    }

    bool sharedString(int row, int column, quint32 index)
    {
        if (!keeps(row, column))
            return keep(row, column, QStringLiteral(" "));
        pending.append(Pending{mTable->cells.size(), index});
        mTable->cells.append(ListCell{row, column, QString()});
        if (row >= ListRowCap) {
            mStopped = true;
            return false;
        }
        return true;
    }

    const Globals &mGlobals;
    ListTable *mTable;
    QSet<int> mHidden;
    QSet<int> mCountedHidden;
    bool mStopped = false;
    // A text formula's result comes in the STRING record right after it.
    bool mStringFormula = false;
    int mFormulaRow = 0;
    int mFormulaColumn = 0;
};

// Fills the pending cells from the shared string table; only their strings are built.
bool resolveStrings(const QByteArray &stream, qsizetype sst, const QList<Pending> &pending,
                    ListTable *table, QString *reason)
{
    QHash<quint32, QString> wanted;
    for (const Pending &p : pending)
        wanted.insert(p.index, QString());
    quint32 count = 0;
    if (sst >= 0) {
        RecordReader reader(stream, sst);
        Record r;
        reader.next(&r);
        count = u32(r.data, 4);
        qsizetype at = 8;
        for (quint32 i = 0; i < count; ++i) {
            const auto it = wanted.find(i);
            QString text;
            if (!readString(r, &at, true, &text, it != wanted.end())) {
                *reason = brokenText(QStringLiteral("文字列の表が途中で切れています。"));
                return false;
            }
            if (it != wanted.end())
                *it = text;
        }
    }
    for (const Pending &p : pending) {
        const ListCell &cell = table->cells.at(p.cell);
        if (p.index >= count) {
            *reason = brokenText(QStringLiteral("セル %1 の文字列 (表の %2 番) がありません。")
                                     .arg(listCellName(cell.column, cell.row))
                                     .arg(p.index));
            return false;
        }
        table->cells[p.cell].text = wanted.value(p.index);
    }
    table->cells.removeIf([](const ListCell &cell) { return cell.text.isEmpty(); });
    return true;
}

} // namespace

ListTableRead readXlsList(BoundedFile &file, const QString &fileName)
{
    ListTableRead read;
    read.table.fileName = fileName;
    const auto fail = [&](const QString &why) {
        read.reason = why;
        return read;
    };
    QByteArray bytes;
    if (!file.readAll(MaxListFileBytes, &bytes, &read.reason))
        return read;
    QByteArray stream;
    if (!CompoundFile(bytes).workbook(&stream, &read.reason)) {
        // The library's diagnosis names what is wrong with a file that is no readable
        // container more precisely. It is asked only then: on a file it accepts, it allocates
        // every cell each sheet's DIMENSIONS claims (65536 x 256 cells are some 270 MB). It
        // opens files by name only; the name of the descriptor already opened and checked is
        // used, so nothing but that regular file is read, whatever happened to the name.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(file.handle());
        XlsHandle xls;
        const int status = freexl_open_info(self.constData(), &xls.handle);
        if (status != FREEXL_OK)
            read.reason = libraryFailureText(status);
        return read;
    }
    bytes.clear();
    if (u16(stream, 0) != 0x0809)
        return fail(libraryFailureText(FREEXL_BIFF_INVALID_BOF));
    if (u16(stream, 4) != 0x0600)
        return fail(QStringLiteral("Excel 95 以前の形式のブックは読めません。"
                                   "Excel 97-2003 形式か .xlsx で保存し直してください。"));

    Globals globals;
    readGlobals(stream, &globals);
    if (globals.encrypted)
        return fail(QStringLiteral("パスワードで保護 (暗号化) されたブックは読めません。"
                                   "保護を解除して保存し直してください。"));
    if (globals.sheets.isEmpty())
        return fail(QStringLiteral("ブックにシートがありません。"));
    int chosen = globals.activeTab;
    if (chosen < 0 || chosen >= globals.sheets.size()) {
        chosen = -1;
        for (int i = 0; i < globals.sheets.size() && chosen < 0; ++i) {
            if (globals.sheets.at(i).visibility == 0 && globals.sheets.at(i).type == 0)
                chosen = i;
        }
        if (chosen < 0)
            return fail(QStringLiteral("ブックに表示されている表のシートがありません。"));
    }
    const SheetInfo &sheet = globals.sheets.at(chosen);
    const QString sheetName = visibleText(sheet.name);
    if (sheet.type != 0)
        return fail(QStringLiteral("保存したときに開いていたシート「%1」は表のシートではありません"
                                   " (グラフシートなど)。リストのシートを開いて保存し直して"
                                   "ください。")
                        .arg(sheetName));
    if (sheet.offset + 4 > stream.size() || u16(stream, sheet.offset) != 0x0809)
        return fail(
            brokenText(QStringLiteral("シート「%1」の位置が正しくありません。").arg(sheetName)));

    SheetReader reader(globals, &read.table);
    if (!reader.read(stream, sheet.offset) && !reader.stopped())
        return fail(QStringLiteral("シート「%1」の%2").arg(sheetName, reader.reason));
    if (!reader.pending.isEmpty() &&
        !resolveStrings(stream, sstOffset(stream), reader.pending, &read.table, &read.reason))
        return read;
    return read;
}

} // namespace corvial
