// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompoundFile.h"
#include "Workbook.h"
#include "xlscrt2.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr int32_t kGrid = 0x01000000;
constexpr int32_t kFrame = 0x02000000;
constexpr int kMaxRecordData = xlscrt::kMaxRecordData;

// Out-of-range reads give 0, so a broken file fails a check instead of the test program.
uint32_t u16(const QByteArray &b, qsizetype p)
{
    if (p < 0 || p + 2 > b.size())
        return 0;
    return uint8_t(b[p]) | uint32_t(uint8_t(b[p + 1])) << 8;
}

uint32_t u32(const QByteArray &b, qsizetype p)
{
    return u16(b, p) | u16(b, p + 2) << 16;
}

int32_t at(int col, int row)
{
    return POS2(col, row, col, row);
}

// Checks the container as a strict reader does and returns the Workbook stream, or an
// empty array with the reason in why.
QByteArray workbookOf(const QByteArray &file, QString &why)
{
    const auto fail = [&](const QString &reason) {
        why = reason;
        return QByteArray();
    };
    if (file.size() < 3 * 512 || file.size() % 512 || !file.startsWith("\xD0\xCF\x11\xE0"))
        return fail(QStringLiteral("not a compound file"));
    const std::pair<int, uint32_t> fixed[] = {{0x18, 0x3E}, {0x1A, 3},    {0x1C, 0xFFFE},
                                              {0x1E, 9},    {0x20, 6},    {0x28, 0},
                                              {0x38, 4096}, {0x3C, kEnd}, {0x40, 0}};
    for (const auto &[offset, value] : fixed) {
        const uint32_t got = offset < 0x28 ? u16(file, offset) : u32(file, offset);
        if (got != value)
            return fail(QStringLiteral("header field %1 is %2").arg(offset).arg(got));
    }
    const auto sectors = uint32_t(file.size() / 512 - 1);
    std::vector<bool> used(sectors);
    const auto take = [&](uint32_t s) {
        if (s >= sectors || used[s])
            return false;
        used[s] = true;
        return true;
    };
    const auto sector = [&](uint32_t s) { return file.mid((qsizetype(s) + 1) * 512, 512); };

    std::vector<uint32_t> fatSectors;
    std::vector<uint32_t> difatSectors;
    const uint32_t fatCount = u32(file, 0x2C);
    for (uint32_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(u32(file, 0x4C + 4 * i));
    uint32_t d = u32(file, 0x44);
    for (uint32_t n = 0; n < u32(file, 0x48); ++n) {
        if (!take(d))
            return fail(QStringLiteral("bad DIFAT sector %1").arg(d));
        difatSectors.push_back(d);
        const QByteArray s = sector(d);
        for (int i = 0; i < 127 && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(u32(s, 4 * i));
        d = u32(s, 508);
    }
    if (d != kEnd)
        return fail(QStringLiteral("DIFAT chain not ended"));
    if (fatSectors.size() != fatCount)
        return fail(QStringLiteral("FAT sectors missing"));
    QByteArray fatBytes;
    for (uint32_t s : fatSectors) {
        if (!take(s))
            return fail(QStringLiteral("bad FAT sector %1").arg(s));
        fatBytes += sector(s);
    }
    if (fatBytes.size() / 4 < sectors)
        return fail(QStringLiteral("FAT too small for the file"));
    const auto fat = [&](uint32_t s) { return u32(fatBytes, 4 * qsizetype(s)); };
    for (uint32_t s : fatSectors)
        if (fat(s) != kFatSect)
            return fail(QStringLiteral("FAT sector not marked"));
    for (uint32_t s : difatSectors)
        if (fat(s) != kDifSect)
            return fail(QStringLiteral("DIFAT sector not marked"));
    const auto chain = [&](uint32_t s, QByteArray &out) {
        for (; s != kEnd; s = fat(s)) {
            if (!take(s))
                return false;
            out += sector(s);
        }
        return true;
    };

    QByteArray dir;
    QByteArray stream;
    if (!chain(u32(file, 0x30), dir) || dir.size() < 2 * 128)
        return fail(QStringLiteral("bad directory chain"));
    const auto name = [&](int e) {
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(dir.constData() + e * 128),
                                  qMax(0, int(u16(dir, e * 128 + 0x40)) / 2 - 1));
    };
    if (name(0) != u"Root Entry" || dir[0x42] != 5 || u32(dir, 0x4C) != 1 || u32(dir, 0x74) != kEnd)
        return fail(QStringLiteral("bad root entry"));
    const uint32_t size = u32(dir, 128 + 0x78);
    if (name(1) != u"Workbook" || dir[128 + 0x42] != 2 || u32(dir, 128 + 0x7C) != 0 || size < 4096)
        return fail(QStringLiteral("bad Workbook entry"));
    if (!chain(u32(dir, 128 + 0x74), stream) ||
        stream.size() != (qsizetype(size) + 511) / 512 * 512)
        return fail(QStringLiteral("Workbook chain does not match its size"));
    for (qsizetype e = 2; e < dir.size() / 128; ++e)
        if (dir[e * 128 + 0x42] != 0 || u32(dir, e * 128 + 0x44) != kFree)
            return fail(QStringLiteral("bad unused entry"));
    if (std::find(used.begin(), used.end(), false) != used.end())
        return fail(QStringLiteral("sector outside every chain"));
    for (qsizetype s = sectors; s < fatBytes.size() / 4; ++s)
        if (fat(uint32_t(s)) != kFree)
            return fail(QStringLiteral("FAT entry past the file end in use"));
    return stream.left(size);
}

struct Record
{
    uint32_t id;
    qsizetype at;
    QByteArray data;
};

// Records from offset at up to and including the next EOF (or the end of the stream).
QList<Record> recordsFrom(const QByteArray &stream, qsizetype at)
{
    QList<Record> out;
    while (at + 4 <= stream.size()) {
        const uint32_t size = u16(stream, at + 2);
        out.push_back({u16(stream, at), at, stream.mid(at + 4, size)});
        at += 4 + size;
        if (out.back().id == 0x000A)
            break;
    }
    return out;
}

QList<Record> only(const QList<Record> &records, uint32_t id)
{
    QList<Record> out;
    std::copy_if(records.begin(), records.end(), std::back_inserter(out),
                 [&](const Record &r) { return r.id == id; });
    return out;
}

struct SharedStrings
{
    QStringList strings;
    uint32_t total = 0;
    QString error;
};

// Joins an SST record and its CONTINUE records back into strings the way readers do,
// and checks the EXTSST index after them.
SharedStrings readSharedStrings(const QList<Record> &records, qsizetype first)
{
    SharedStrings out;
    qsizetype i = first;
    qsizetype p = 8;
    const auto left = [&] { return records[i].data.size() - p; };
    const auto next = [&] {
        ++i;
        p = 0;
        return i < records.size() && records[i].id == 0x003C;
    };
    std::vector<std::pair<qsizetype, qsizetype>> starts; // string start, its record header
    out.total = u32(records[i].data, 0);
    const uint32_t unique = u32(records[i].data, 4);
    for (uint32_t k = 0; k < unique && out.error.isEmpty(); ++k) {
        if (left() == 0 && !next())
            return out.error = QStringLiteral("CONTINUE missing"), out;
        if (left() < 3)
            return out.error = QStringLiteral("string header split"), out;
        starts.emplace_back(records[i].at + 4 + p, records[i].at);
        const uint32_t cch = u16(records[i].data, p);
        uint8_t flags = uint8_t(records[i].data[p + 2]);
        p += 3;
        if (cch > 0 && left() < 1 + (flags & 1))
            return out.error = QStringLiteral("header without its first character"), out;
        QString s;
        while (s.size() < qsizetype(cch)) {
            if (left() == 0) {
                if (!next())
                    return out.error = QStringLiteral("string cut off"), out;
                flags = uint8_t(records[i].data[p++]);
            }
            if (flags > 1)
                return out.error = QStringLiteral("bad flags %1").arg(flags), out;
            const int unit = 1 + (flags & 1);
            const qsizetype n = qMin(left() / unit, qsizetype(cch) - s.size());
            if (n == 0)
                return out.error = QStringLiteral("half a character at a record end"), out;
            for (qsizetype c = 0; c < n; ++c, p += unit)
                s += QChar(
                    char16_t(unit == 2 ? u16(records[i].data, p) : uint8_t(records[i].data[p])));
        }
        out.strings += s;
    }
    for (qsizetype r = first; r < i; ++r)
        if (records[r].data.size() < kMaxRecordData - 4)
            return out.error = QStringLiteral("record %1 closed early").arg(r), out;
    if (left() != 0 || i + 1 >= records.size() || records[i + 1].id != 0x00FF)
        return out.error = QStringLiteral("EXTSST does not follow the strings"), out;
    const QByteArray ext = records[i + 1].data;
    const uint32_t bucket = u16(ext, 0);
    const qsizetype buckets = (qsizetype(unique) + bucket - 1) / qMax(bucket, 1u);
    if (bucket < 8 || buckets > 128 || ext.size() != 2 + 8 * buckets)
        return out.error = QStringLiteral("bad EXTSST size"), out;
    for (qsizetype b = 0; b < buckets; ++b) {
        const auto [start, header] = starts[size_t(b * bucket)];
        if (u32(ext, 2 + 8 * b) != start || u16(ext, 6 + 8 * b) != start - header)
            return out.error = QStringLiteral("EXTSST bucket %1 is off").arg(b), out;
    }
    return out;
}

// The parts of a written workbook the tests look at.
struct Book
{
    QString error;
    QByteArray stream;
    QList<Record> globals;
    QList<Record> sheet;
};

Book parse(const QByteArray &file)
{
    Book book;
    book.stream = workbookOf(file, book.error);
    if (!book.error.isEmpty())
        return book;
    book.globals = recordsFrom(book.stream, 0);
    const QList<Record> bound = only(book.globals, 0x0085);
    if (bound.size() != 1)
        return book.error = QStringLiteral("no BOUNDSHEET"), book;
    book.sheet = recordsFrom(book.stream, u32(bound[0].data, 0));
    if (book.globals.isEmpty() || book.sheet.isEmpty() || book.sheet.first().id != 0x0809)
        book.error = QStringLiteral("BOUNDSHEET does not point at a BOF");
    return book;
}

void fillExportLike(int rows, bool japanese)
{
    const char *text = japanese ? "\x95\xB6\x8E\x9A\x81\x40\x87\x40" : "ABC";
    for (int r = 0; r < rows; ++r) {
        XlsPutRowHeight(15.0, at(0, r));
        XlsPutStr(text, at(0, r));
        XlsPutStr(QByteArray::number(r).constData(), at(1, r));
        XlsPutFontColor(8 + r % 8, at(0, r));
        XlsPutBackColor(30, at(1, r));
        XlsPutLineTop(kGrid, at(2, r));
    }
}

} // namespace

class TestXlscrt : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

    QString target() const { return mDir.filePath(QStringLiteral("book.xls")); }

    // Writes a book filled by fill to target(); returns XlsCloseBook's result.
    int write(const std::function<void()> &fill, const QString &path = {})
    {
        const QByteArray p = QFile::encodeName(path.isEmpty() ? target() : path);
        if (XlsCreateBook(p.constData(), 2002, 3, nullptr) != 0)
            return -1;
        fill();
        return XlsCloseBook(1);
    }

    // The file a book filled by fill becomes; empty when writing failed.
    QByteArray written(const std::function<void()> &fill)
    {
        QFile::remove(target());
        const int rc = write(fill);
        if (rc != 0)
            qWarning("XlsCloseBook returned %d", rc);
        QFile f(target());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    mode_t targetMode() const
    {
        struct stat st;
        return stat(QFile::encodeName(target()).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    QStringList leftovers() const
    {
        return QDir(mDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    // The XF record a cell's record names, and the FONT record that XF names.
    static std::pair<QByteArray, QByteArray> formatOf(const Book &book, int col, int row)
    {
        for (const Record &r : book.sheet) {
            if ((r.id == 0x00FD || r.id == 0x0201) && u16(r.data, 0) == uint32_t(row) &&
                u16(r.data, 2) == uint32_t(col)) {
                const QList<Record> xfs = only(book.globals, 0x00E0);
                const QList<Record> fonts = only(book.globals, 0x0031);
                const QByteArray xf = xfs.value(u16(r.data, 4)).data;
                const uint32_t font = u16(xf, 0);
                return {xf, fonts.value(font < 4 ? font : font - 1).data};
            }
        }
        return {};
    }

private slots:
    void init()
    {
        QVERIFY(mDir.isValid());
        for (const QString &f : leftovers())
            QFile::remove(mDir.filePath(f));
    }

    void cleanup()
    {
        XlsCloseBook(1); // a failed test must not leave the next one a busy library
    }

    void container_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<uint32_t>("minFatSectors");
        QTest::addColumn<QByteArray>("stream");

        QTest::newRow("tiny book")
            << written([] { XlsPutStr("A", at(0, 0)); }) << 1u << QByteArray();
        QTest::newRow("401 Japanese rows")
            << written([] { fillExportLike(401, true); }) << 1u << QByteArray();
        QTest::newRow("several FAT sectors")
            << written([] { fillExportLike(8000, false); }) << 2u << QByteArray();
        // 109 FAT sectors fit the header; 237 need two DIFAT sectors (127 + 1), and
        // 30098 stream sectors need one FAT sector more than 30096 do.
        for (int sectors : {30096, 30098}) {
            QByteArray big(sectors * 512, '\0');
            for (qsizetype i = 0; i < big.size(); i += 512)
                big[i] = char(i / 512 % 251); // each sector recognisable
            QTest::addRow("DIFAT, %d sectors", sectors)
                << xlscrt::compoundFile(big) << (sectors == 30096 ? 237u : 238u) << big;
        }
    }

    void container()
    {
        QFETCH(QByteArray, file);
        QFETCH(uint32_t, minFatSectors);
        QFETCH(QByteArray, stream);
        QString why;
        const QByteArray got = workbookOf(file, why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const uint32_t fatSectors = u32(file, 0x2C);
        QVERIFY(fatSectors >= minFatSectors);
        // No FAT sector more than needed: one fewer could not map the file.
        QVERIFY((fatSectors - 1) * 128 < uint32_t(file.size() / 512 - 1));
        if (!stream.isEmpty())
            QVERIFY(got == stream);
    }

    void recordFraming_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("hasStrings");
        QTest::addColumn<bool>("padded");

        QTest::newRow("tiny") << written([] { XlsPutStr("A", at(0, 0)); }) << true << true;
        QTest::newRow("no texts") << written([] { XlsPutBackColor(13, at(1, 1)); }) << false
                                  << true;
        QTest::newRow("2000 rows") << written([] { fillExportLike(2000, true); }) << true << false;
    }

    void recordFraming()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, hasStrings);
        QFETCH(bool, padded);
        const Book book = parse(file);
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        QCOMPARE(book.globals.first().id, 0x0809u);
        QCOMPARE(u16(book.globals.first().data, 2), 0x0005u);
        QCOMPARE(book.globals.last().id, 0x000Au);
        QCOMPARE(book.sheet.first().id, 0x0809u);
        QCOMPARE(u16(book.sheet.first().data, 2), 0x0010u);
        QCOMPARE(book.sheet.first().at, book.globals.last().at + 4);
        QCOMPARE(book.sheet.last().id, 0x000Au);
        const qsizetype end = book.sheet.last().at + 4;
        QCOMPARE(book.stream.size(), padded ? 4096 : end);
        QCOMPARE(book.stream.mid(end), QByteArray(book.stream.size() - end, '\0'));
        QCOMPARE(only(book.globals, 0x00FC).size(), hasStrings ? 1 : 0);
        QCOMPARE(only(book.globals, 0x00FF).size(), hasStrings ? 1 : 0);
        for (const Record &r : book.globals + book.sheet)
            QVERIFY(r.data.size() <= kMaxRecordData);

        // Cells run row by row, each after the ROW record of its row.
        QSet<uint32_t> rowsSeen;
        int64_t lastCell = -1;
        for (const Record &r : book.sheet) {
            if (r.id == 0x0208)
                rowsSeen.insert(u16(r.data, 0));
            if (r.id == 0x00FD || r.id == 0x0201) {
                QVERIFY(rowsSeen.contains(u16(r.data, 0)));
                const int64_t cell = int64_t(u16(r.data, 0)) << 8 | u16(r.data, 2);
                QVERIFY(cell > lastCell);
                lastCell = cell;
            }
        }
    }

    void sharedStrings_data()
    {
        QTest::addColumn<QStringList>("strings");
        const QString nichi(1, QChar(0x65E5));

        QTest::newRow("one string") << QStringList{QStringLiteral("AB")};
        QTest::newRow("record filled exactly") << QStringList{QString(8213, u'a'), "next"};
        QTest::newRow("header at the record end") << QStringList{QString(8211, u'a'), "bc"};
        QTest::newRow("wide first character does not fit")
            << QStringList{QString(8210, u'a'), nichi + nichi};
        QTest::newRow("compressed text over three records") << QStringList{QString(20000, u'q')};
        QTest::newRow("UTF-16 text at an odd split") << QStringList{"a", nichi.repeated(5000)};
        QStringList mixed;
        for (int i = 0; i < 3000; ++i)
            mixed += i % 2 ? QString::number(i) + nichi.repeated(i % 40)
                           : QString::number(i) + QString(i % 90, u'x');
        QTest::newRow("mixed encodings") << mixed;
    }

    void sharedStrings()
    {
        QFETCH(QStringList, strings);
        QByteArray stream(37, 'z'); // index offsets count from the stream start
        xlscrt::appendSharedStrings(stream, {strings.begin(), strings.end()},
                                    uint32_t(strings.size() + 5));
        const QList<Record> records = recordsFrom(stream, 37);
        QCOMPARE(records.first().id, 0x00FCu);
        const SharedStrings got = readSharedStrings(records, 0);
        QVERIFY2(got.error.isEmpty(), qPrintable(got.error));
        QCOMPARE(got.total, uint32_t(strings.size() + 5));
        QCOMPARE(got.strings, strings);
    }

    void textsAreUnicode_data()
    {
        QTest::addColumn<QByteArray>("sjis");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wrapped");

        QTest::newRow("ASCII") << QByteArray("ABC") << QStringLiteral("ABC") << false;
        QTest::newRow("kanji") << QByteArray("\x95\xB6\x8E\x9A") << QStringLiteral("文字") << false;
        QTest::newRow("vendor row") << QByteArray("\x87\x40") << QStringLiteral("①") << false;
        QTest::newRow("half-width kana") << QByteArray("\xB9\xDD") << QStringLiteral("ｹﾝ") << false;
        QTest::newRow("CR LF kept") << QByteArray("AB\r\nCD") << QStringLiteral("AB\r\nCD") << true;
    }

    void textsAreUnicode()
    {
        QFETCH(QByteArray, sjis);
        QFETCH(QString, text);
        QFETCH(bool, wrapped);
        const Book book = parse(written([&] { XlsPutStr(sjis.constData(), at(1, 2)); }));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        const QList<Record> sst = only(book.globals, 0x00FC);
        QCOMPARE(sst.size(), 1);
        const auto first = std::find_if(book.globals.begin(), book.globals.end(),
                                        [](const Record &r) { return r.id == 0x00FC; }) -
                           book.globals.begin();
        QCOMPARE(readSharedStrings(book.globals, first).strings, QStringList{text});
        QCOMPARE(bool(formatOf(book, 1, 2).first[6] & 0x08), wrapped);
    }

    void references_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::newRow("A1") << 0 << 0;
        QTest::newRow("C401") << 2 << 400;
        QTest::newRow("B3") << 1 << 2;
        QTest::newRow("C2") << 2 << 1;
        QTest::newRow("last cell") << 255 << 65535;
    }

    void references()
    {
        QFETCH(int, col);
        QFETCH(int, row);
        QCOMPARE(POS(col, row, col, row), POS2(col, row, col, row));
        const Book book = parse(written([&] {
            QCOMPARE(XlsPutStr("X", POS(col, row, col, row)), 0);
            QCOMPARE(XlsPutStr("Y", at(col == 0 ? 1 : 0, row)), 0);
        }));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        const QList<Record> cells = only(book.sheet, 0x00FD);
        QCOMPARE(cells.size(), 2);
        const Record &x = cells[col == 0 ? 0 : 1];
        QCOMPARE(u16(x.data, 0), uint32_t(row));
        QCOMPARE(u16(x.data, 2), uint32_t(col));
        QCOMPARE(u32(x.data, 6), col == 0 ? 0u : 1u); // strings are numbered in cell order
        const QByteArray dims = only(book.sheet, 0x0200).value(0).data;
        QCOMPARE(u32(dims, 4), uint32_t(row + 1));
    }

    void distinctCellsHaveDistinctReferences()
    {
        QSet<int32_t> refs;
        for (int row : {0, 1, 255, 256, 65535})
            for (int col = 0; col < 256; ++col)
                refs.insert(at(col, row));
        QCOMPARE(refs.size(), 5 * 256);
    }

    void rejected_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int32_t>("value");
        QTest::addColumn<int32_t>("ref");
        QTest::addColumn<int>("column"); // of the refusal; -1 when the reference names no cell
        QTest::addColumn<int>("row");
        const int32_t ok = at(1, 1);
        // op: 0 text, 1 height, 2 width, 3 font colour, 4 back colour, 5..8 lines
        QTest::newRow("column -1") << 0 << 0 << POS2(-1, 0, -1, 0) << -1 << -1;
        QTest::newRow("column 256") << 3 << 8 << POS2(256, 0, 256, 0) << -1 << -1;
        QTest::newRow("row -1") << 1 << 15 << POS(0, -1, 0, -1) << -1 << -1;
        QTest::newRow("row 65536") << 2 << 10 << POS2(0, 65536, 0, 65536) << -1 << -1;
        QTest::newRow("range") << 0 << 0 << POS2(0, 0, 1, 1) << -1 << -1;
        QTest::newRow("reference 0") << 5 << kGrid << 0 << -1 << -1;
        QTest::newRow("reference -1") << 6 << kGrid << -1 << -1 << -1;
        QTest::newRow("reference INT_MAX") << 4 << 9 << INT32_MAX << -1 << -1;
        QTest::newRow("reference INT_MIN") << 7 << kGrid << INT32_MIN << -1 << -1;
        QTest::newRow("NULL text") << 0 << 1 << ok << 1 << 1;
        QTest::newRow("height -1") << 1 << -1 << ok << 1 << 1;
        QTest::newRow("height 410") << 1 << 410 << ok << 1 << 1;
        QTest::newRow("width -1") << 2 << -1 << ok << 1 << 1;
        QTest::newRow("font colour 7") << 3 << 7 << ok << 1 << 1;
        QTest::newRow("font colour 64") << 3 << 64 << ok << 1 << 1;
        QTest::newRow("back colour -1") << 4 << -1 << at(2, 300) << 2 << 300;
        QTest::newRow("back colour 64") << 4 << 64 << ok << 1 << 1;
        QTest::newRow("frame colour 7") << 8 << (kFrame | 7) << ok << 1 << 1;
        QTest::newRow("frame colour 64") << 5 << (kFrame | 64) << at(255, 65535) << 255 << 65535;
    }

    // A refused put changes nothing, is remembered as the book's first refusal, and keeps
    // the whole book off the disk.
    void rejected()
    {
        QFETCH(int, op);
        QFETCH(int32_t, value);
        QFETCH(int32_t, ref);
        QFETCH(int, column);
        QFETCH(int, row);
        const int codes[] = {XLS_OP_PUT_STR,         XLS_OP_PUT_ROW_HEIGHT, XLS_OP_PUT_COL_WIDTH,
                             XLS_OP_PUT_FONT_COLOR,  XLS_OP_PUT_BACK_COLOR, XLS_OP_PUT_LINE_TOP,
                             XLS_OP_PUT_LINE_BOTTOM, XLS_OP_PUT_LINE_LEFT,  XLS_OP_PUT_LINE_RIGHT};
        const auto call = [&] {
            switch (op) {
            case 0:
                return XlsPutStr(value ? nullptr : "text", ref);
            case 1:
                return XlsPutRowHeight(value, ref);
            case 2:
                return XlsPutColWidth(value, ref);
            case 3:
                return XlsPutFontColor(value, ref);
            case 4:
                return XlsPutBackColor(value, ref);
            case 5:
                return XlsPutLineTop(value, ref);
            case 6:
                return XlsPutLineBottom(value, ref);
            case 7:
                return XlsPutLineLeft(value, ref);
            default:
                return XlsPutLineRight(value, ref);
            }
        };
        QCOMPARE(call(), EINVAL); // no book open
        {
            QFile f(target());
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old") == 3);
        }
        int32_t gotOp = -2, gotColumn = -2, gotRow = -2;
        QCOMPARE(XlsCreateBook(QFile::encodeName(target()).constData(), 2002, 3, nullptr), 0);
        QCOMPARE(XlsFirstRefusal(&gotOp, &gotColumn, &gotRow), 0);
        QCOMPARE(gotOp, 0);
        QCOMPARE(XlsPutStr("before", at(0, 0)), 0);
        QCOMPARE(call(), EINVAL);
        // Only the first refusal is kept; later puts are still taken.
        QCOMPARE(XlsPutColWidth(-5, at(7, 7)), EINVAL);
        QCOMPARE(XlsPutStr("after", at(0, 1)), 0);
        QCOMPARE(XlsFirstRefusal(&gotOp, &gotColumn, &gotRow), EINVAL);
        QCOMPARE(gotOp, codes[op]);
        QCOMPARE(gotColumn, column);
        QCOMPARE(gotRow, row);

        QCOMPARE(XlsCloseBook(1), EINVAL);
        QFile f(target());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        QCOMPARE(leftovers(), QStringList{"book.xls"});
        // Still there to be asked after the close, and a put without a book does not
        // replace it.
        QCOMPARE(call(), EINVAL);
        gotOp = gotColumn = gotRow = -2;
        QCOMPARE(XlsFirstRefusal(&gotOp, &gotColumn, &gotRow), EINVAL);
        QCOMPARE(gotOp, codes[op]);
        QCOMPARE(gotColumn, column);
        QCOMPARE(gotRow, row);
        QCOMPARE(XlsFirstRefusal(nullptr, nullptr, nullptr), EINVAL);

        // The next book starts without it.
        const Book book = parse(written([] { XlsPutStr("new", at(0, 0)); }));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        QCOMPARE(XlsFirstRefusal(&gotOp, &gotColumn, &gotRow), 0);
        QCOMPARE(gotOp, 0);
        QCOMPARE(gotColumn, -1);
        QCOMPARE(gotRow, -1);
    }

    void nonFiniteHeightsAreRejected()
    {
        QVERIFY(XlsCreateBook(QFile::encodeName(target()).constData(), 2002, 3, nullptr) == 0);
        QCOMPARE(XlsPutRowHeight(std::nan(""), at(0, 0)), EINVAL);
        QCOMPARE(XlsPutRowHeight(INFINITY, at(0, 0)), EINVAL);
        QCOMPARE(XlsCloseBook(1), EINVAL);
        QVERIFY(!QFile::exists(target()));
    }

    // A cell holds 32767 UTF-16 units; a longer text is refused whole, never cut.
    void longTexts_data()
    {
        QTest::addColumn<QByteArray>("sjis");
        QTest::addColumn<int>("units");     // 0: refused
        const QByteArray kanji("\x8C\x8C"); // 血: two bytes, one unit
        QTest::newRow("ASCII at the limit") << QByteArray(32767, 'a') << 32767;
        QTest::newRow("ASCII over") << QByteArray(32768, 'a') << 0;
        QTest::newRow("two-byte at the limit") << kanji.repeated(32767) << 32767;
        QTest::newRow("two-byte over") << kanji.repeated(32768) << 0;
        QTest::newRow("half-width kana over") << QByteArray(32768, '\xB1') << 0;
        QTest::newRow("CR LF at the limit") << QByteArray(32765, 'a') + "\r\n" << 32767;
        QTest::newRow("CR LF over") << QByteArray(32766, 'a') + "\r\n" << 0;
    }

    void longTexts()
    {
        QFETCH(QByteArray, sjis);
        QFETCH(int, units);
        QFile::remove(target());
        QCOMPARE(XlsCreateBook(QFile::encodeName(target()).constData(), 2002, 3, nullptr), 0);
        QCOMPARE(XlsPutStr(sjis.constData(), at(0, 4)), units ? 0 : EMSGSIZE);
        int32_t op = 0, column = 0, row = 0;
        QCOMPARE(XlsFirstRefusal(&op, &column, &row), units ? 0 : EMSGSIZE);
        if (!units) {
            QCOMPARE(op, XLS_OP_PUT_STR);
            QCOMPARE(column, 0);
            QCOMPARE(row, 4);
            QCOMPARE(XlsCloseBook(1), EMSGSIZE);
            QVERIFY(!QFile::exists(target()));
            return;
        }
        QCOMPARE(XlsCloseBook(1), 0);
        QFile f(target());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const Book book = parse(f.readAll());
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        const auto first = std::find_if(book.globals.begin(), book.globals.end(),
                                        [](const Record &r) { return r.id == 0x00FC; }) -
                           book.globals.begin();
        const QStringList strings = readSharedStrings(book.globals, first).strings;
        QCOMPARE(strings.size(), 1);
        QCOMPARE(strings.first().size(), units);
    }

    // Widths past the widest column are kept as the widest, not refused.
    void wideColumns_data()
    {
        QTest::addColumn<int32_t>("characters");
        QTest::addColumn<uint32_t>("stored"); // 1/256 of a character
        QTest::newRow("widest") << 255 << 255u * 256;
        QTest::newRow("one over") << 256 << 255u * 256;
        QTest::newRow("longest cell text") << 98301 << 255u * 256;
        QTest::newRow("far over") << INT32_MAX << 255u * 256;
    }

    void wideColumns()
    {
        QFETCH(int32_t, characters);
        QFETCH(uint32_t, stored);
        const Book book = parse(written([&] {
            QCOMPARE(XlsPutColWidth(characters, at(0, 1)), 0);
            XlsPutStr("x", at(0, 1));
        }));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        int32_t op = -2;
        QCOMPARE(XlsFirstRefusal(&op, nullptr, nullptr), 0);
        QCOMPARE(op, 0);
        const QList<Record> cols = only(book.sheet, 0x007D);
        QCOMPARE(cols.size(), 1);
        QCOMPARE(u16(cols[0].data, 0), 0u);
        QCOMPARE(u16(cols[0].data, 4), stored);
    }

    void bookLifecycle()
    {
        QCOMPARE(XlsCloseBook(1), EINVAL);
        QCOMPARE(XlsCreateBook(nullptr, 2002, 3, nullptr), EINVAL);
        int32_t handle = 0;
        QCOMPARE(XlsCreateBook(QFile::encodeName(target()).constData(), 2002, 3, &handle), 0);
        QVERIFY(handle != 0);
        QCOMPARE(XlsCreateBook("/tmp/other.xls", 2002, 3, nullptr), EBUSY);
        QCOMPARE(XlsPutStr("kept", at(0, 0)), 0);
        QVERIFY(!QFile::exists(target())); // nothing on disk before the close
        QCOMPARE(XlsCloseBook(1), 0);
        QCOMPARE(XlsCloseBook(1), EINVAL);
        QCOMPARE(XlsPutStr("late", at(0, 0)), EINVAL);
        QFile f(target());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(parse(f.readAll()).error.isEmpty());
    }

    void failedWriteKeepsTarget_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("sizeLimit");
        QTest::newRow("missing directory") << "missing/book.xls" << ENOENT << false;
        QTest::newRow("directory is a file") << "plain/book.xls" << ENOTDIR << false;
        QTest::newRow("target is a directory") << "folder" << EISDIR << false;
        QTest::newRow("disk refuses the data") << "book.xls" << EFBIG << true;
    }

    void failedWriteKeepsTarget()
    {
        QFETCH(QString, path);
        QFETCH(int, error);
        QFETCH(bool, sizeLimit);
        QVERIFY(QDir(mDir.path()).mkpath(QStringLiteral("folder/inside")));
        const QByteArray old("old workbook, must survive");
        for (const char *name : {"plain", "book.xls"}) {
            QFile f(mDir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        }
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (sizeLimit) {
            rlimit small = saved;
            small.rlim_cur = 4096;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        }
        const int rc = write([] { fillExportLike(50, true); }, mDir.filePath(path));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(rc, error);
        QFile f(target());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        QCOMPARE(leftovers(), (QStringList{"book.xls", "plain"}));
        QVERIFY(QDir(mDir.filePath(QStringLiteral("folder"))).exists(QStringLiteral("inside")));
    }

    void successReplacesTarget()
    {
        {
            QFile f(target());
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old") == 3);
        }
        QVERIFY(chmod(QFile::encodeName(target()).constData(), 0640) == 0);
        QCOMPARE(write([] { XlsPutStr("new", at(0, 0)); }), 0);
        QFile f(target());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const Book book = parse(f.readAll());
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        QCOMPARE(targetMode(), mode_t(0640));
        QCOMPARE(leftovers(), QStringList{"book.xls"});

        // A new file gets the usual rights, not the private ones of a temporary file.
        QFile::remove(target());
        const mode_t mask = umask(022);
        const int rc = write([] { XlsPutStr("new", at(0, 0)); });
        umask(mask);
        QCOMPARE(rc, 0);
        QCOMPARE(targetMode(), mode_t(0644));
    }

    void formatMapping_data()
    {
        QTest::addColumn<int>("font");
        QTest::addColumn<int>("fill");
        QTest::addColumn<int32_t>("line");
        QTest::addColumn<int>("lineColour"); // 0 = no line

        QTest::newRow("plain") << 0 << 0 << 0 << 0;
        QTest::newRow("red on sky blue, grid") << 10 << 30 << kGrid << 64;
        QTest::newRow("black on white, sky blue frame") << 8 << 9 << (kFrame | 30) << 30;
        QTest::newRow("white on lime, red frame") << 9 << 11 << (kFrame | 10) << 10;
        QTest::newRow("frame colour from the low byte") << 12 << 22 << (kFrame | 0xFF0C) << 12;
        QTest::newRow("unknown line kind") << 15 << 0 << 0x03000000 << 0;
        QTest::newRow("highest codes") << 63 << 63 << (kFrame | 63) << 63;
    }

    void formatMapping()
    {
        QFETCH(int, font);
        QFETCH(int, fill);
        QFETCH(int32_t, line);
        QFETCH(int, lineColour);
        const Book book = parse(written([&] {
            // Two colours before the tested cell's, so its font index lies past the gap at 4.
            XlsPutFontColor(13, at(0, 0));
            XlsPutFontColor(14, at(0, 1));
            XlsPutStr("x", at(2, 3));
            if (font)
                XlsPutFontColor(font, at(2, 3));
            if (fill)
                XlsPutBackColor(fill, at(2, 3));
            if (line) {
                XlsPutLineTop(line, at(2, 3));
                XlsPutLineBottom(line, at(2, 3));
                XlsPutLineLeft(kGrid, at(2, 3)); // replaced by the next call
                XlsPutLineLeft(line, at(2, 3));
                XlsPutLineRight(line, POS(2, 3, 2, 3));
            }
        }));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        const auto [xf, fontRecord] = formatOf(book, 2, 3);
        QCOMPARE(xf.size(), 20);
        QCOMPARE(u16(fontRecord, 4), uint32_t(font ? font : 0x7FFF));
        const uint32_t style = lineColour ? 1 : 0;
        const uint32_t b1 = u32(xf, 10);
        const uint32_t b2 = u32(xf, 14);
        QCOMPARE(b1 & 0xFFFF, style * 0x1111);
        QCOMPARE((b1 >> 16) & 0x7F, uint32_t(lineColour)); // left
        QCOMPARE((b1 >> 23) & 0x7F, uint32_t(lineColour)); // right
        QCOMPARE(b2 & 0x7F, uint32_t(lineColour));         // top
        QCOMPARE((b2 >> 7) & 0x7F, uint32_t(lineColour));  // bottom
        QCOMPARE(b2 >> 26, fill ? 1u : 0u);                // solid pattern
        QCOMPARE(u16(xf, 18) & 0x7F, uint32_t(fill ? fill : 0x40));
        QCOMPARE((u16(xf, 18) >> 7) & 0x7F, 0x41u);
        if (font || fill || line)
            QCOMPARE(uint8_t(xf[9]), uint8_t(0xF8));
    }

    void formatsAreShared()
    {
        const Book book = parse(written([] {
            for (int r = 0; r < 40; ++r) {
                XlsPutFontColor(r % 2 ? 10 : 12, at(0, r));
                XlsPutBackColor(30, at(0, r));
                XlsPutFontColor(10, at(1, r));
            }
        }));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        QCOMPARE(only(book.globals, 0x0031).size(), 4 + 2);
        QCOMPARE(only(book.globals, 0x00E0).size(), 16 + 3);
    }

    void palette()
    {
        const Book book = parse(written([] { XlsPutBackColor(30, at(0, 0)); }));
        const QList<Record> palette = only(book.globals, 0x0092);
        QCOMPARE(palette.size(), 1);
        QCOMPARE(u16(palette[0].data, 0), 56u);
        const std::pair<int, uint32_t> wanted[] = {
            {8, 0x000000},  {9, 0xFFFFFF},  {10, 0xFF0000}, {11, 0x00FF00}, {12, 0x0000FF},
            {13, 0xFFFF00}, {14, 0xFF00FF}, {15, 0x00FFFF}, {22, 0xC0C0C0}, {30, 0xA6CAF0}};
        for (const auto &[code, rgb] : wanted) {
            const QByteArray e = palette[0].data.mid(2 + 4 * (code - 8), 4);
            QCOMPARE(uint32_t(uint8_t(e[0])) << 16 | uint32_t(uint8_t(e[1])) << 8 | uint8_t(e[2]),
                     rgb);
        }
    }

    void rowsAndColumns_data()
    {
        QTest::addColumn<double>("points");
        QTest::addColumn<uint32_t>("twips");
        QTest::addColumn<int>("characters");
        QTest::newRow("heading row") << 25.0 << 500u << 40;
        QTest::newRow("quarter points") << 12.75 << 255u << 15;
        QTest::newRow("rounded to a twip") << 15.03 << 301u << 10;
        QTest::newRow("zero") << 0.0 << 2u << 0;
        QTest::newRow("largest") << 409.5 << 8190u << 255;
    }

    void rowsAndColumns()
    {
        QFETCH(double, points);
        QFETCH(uint32_t, twips);
        QFETCH(int, characters);
        const Book book = parse(written([&] {
            QCOMPARE(XlsPutRowHeight(points, at(1, 7)), 0);
            QCOMPARE(XlsPutColWidth(characters, at(1, 7)), 0);
            XlsPutStr("x", at(0, 3)); // a row without a height of its own
        }));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        const QList<Record> rows = only(book.sheet, 0x0208);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(u16(rows[0].data, 0), 3u);
        QCOMPARE(u32(rows[0].data, 12) & 0x40, 0u);
        QCOMPARE(u16(rows[1].data, 0), 7u);
        QCOMPARE(u16(rows[1].data, 6), twips); // bit 15 clear: not the default height
        QCOMPARE(u32(rows[1].data, 12) & 0x40, 0x40u);
        const QList<Record> cols = only(book.sheet, 0x007D);
        QCOMPARE(cols.size(), 1);
        QCOMPARE(u16(cols[0].data, 0), 1u);
        QCOMPARE(u16(cols[0].data, 2), 1u);
        QCOMPARE(u16(cols[0].data, 4), uint32_t(characters * 256));
    }

    void tooManyFormatsAreRefused()
    {
        const int rc = write([] {
            for (int i = 0; i <= xlscrt::kMaxCellFormats; ++i) {
                XlsPutFontColor(8 + i % 56, at(0, i));
                XlsPutBackColor(8 + i / 56 % 56, at(0, i));
                XlsPutLineTop(kFrame | (8 + i / 3136), at(0, i));
            }
        });
        QCOMPARE(rc, ERANGE);
        QVERIFY(!QFile::exists(target()));
    }
};

QTEST_GUILESS_MAIN(TestXlscrt)
#include "tst_xlscrt.moc"
