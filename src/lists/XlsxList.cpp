// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/XlsxList.h"

#include "job/TextCharacters.h"
#include "lists/CellText.h"

#include <QBuffer>
#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <memory>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipfileinfo.h>

namespace corvial {

namespace {

// Longest text a spreadsheet cell holds; longer text is refused before it is built further.
constexpr qsizetype kMaxCellChars = 32767;
// The rows and columns of a worksheet (1048576 rows, columns A..XFD).
constexpr int kMaxSheetRows = 1048576;
constexpr int kMaxSheetColumns = 16384;
// Sheets, relationships and cell formats a workbook may declare. Spreadsheet programs stay
// far below (64000 cell formats at most); the bounds keep a crafted part from filling memory
// with small entries.
constexpr int kMaxEntries = 65536;
// Longest run of blanks passed on to the XML reader, and longest run of bytes without a tag
// accepted at all (a cell's 32767 characters written as entities stay below it).
constexpr qint64 kMaxBlankRun = 64 * 1024;
constexpr qint64 kMaxTextRun = 1024 * 1024;

QString partFailure(const QString &part, const QString &why)
{
    return QStringLiteral("xlsx の中の %1 を読めません: %2").arg(visibleText(part), why);
}

QString bombText()
{
    return QStringLiteral("xlsx の中身が展開すると %1 MiB を超えるため読み込みません。"
                          "壊れたファイルか、展開すると巨大になるように作られたファイルです。")
        .arg(MaxXlsxUnpackedBytes / (1024 * 1024));
}

bool isTrue(QStringView v)
{
    return v == QLatin1String("1") || v == QLatin1String("true");
}

// Text with the _xHHHH_ escapes a spreadsheet writes for characters XML cannot carry decoded;
// "_x005F_" stands for the "_" of a literal "_xHHHH_".
QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() &&
            text.at(i + 1) == QLatin1Char('x') && text.at(i + 6) == QLatin1Char('_')) {
            bool ok = false;
            const uint code = QStringView(text).mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

// A part being unpacked: reads from the zip stop, as an error, at the size the zip directory
// declared or at what is left of the unpacking allowance, whichever is less.
class PartDevice : public QIODevice
{
public:
    PartDevice(QuaZipFile *file, qint64 limit) : mFile(file), mLimit(limit) {}
    bool isSequential() const override { return true; }
    qint64 consumed() const { return mRead; }
    bool overLimit() const { return mOver; }
    bool zipFailed() const { return mZipFailed; }
    bool longRun() const { return mLongRun; }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        // The XML reader holds character data whole until the next tag: a run of blanks
        // beyond kMaxBlankRun is cut there (between tags it means nothing; inside a cell's
        // text the cell is too long either way) and a longer run without any tag is refused.
        for (;;) {
            const qint64 n = mFile->read(data, qMin(max, mLimit - mRead + 1));
            if (n < 0) {
                mZipFailed = true;
                return -1;
            }
            mRead += n;
            if (mRead > mLimit) {
                mOver = true;
                return -1;
            }
            qint64 kept = 0;
            for (qint64 i = 0; i < n; ++i) {
                const char c = data[i];
                const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
                mBlankRun = blank ? mBlankRun + 1 : 0;
                if (mBlankRun > kMaxBlankRun)
                    continue;
                mTextRun = c == '<' || c == '>' ? 0 : mTextRun + 1;
                if (mTextRun > kMaxTextRun) {
                    mLongRun = true;
                    return -1;
                }
                data[kept++] = c;
            }
            if (kept > 0 || n == 0)
                return kept;
        }
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QuaZipFile *mFile;
    qint64 mLimit;
    qint64 mRead = 0;
    bool mOver = false;
    bool mZipFailed = false;
    bool mLongRun = false;
    qint64 mBlankRun = 0;
    qint64 mTextRun = 0;
};

class Package;

// One XML part read token by token straight from the zip. next() keeps the nesting depth and
// refuses what no workbook part holds (a DTD, an entity reference, deep nesting), so the
// parsers need no checks of their own and nothing in them recurses.
class PartXml
{
public:
    // elements: the count of elements read so far in the whole package, kept up to date.
    explicit PartXml(qint64 *elements) : mElements(elements) {}

    QXmlStreamReader xml;
    int depth = 0;

    // False at the end of the part or on any failure (see failure()).
    bool next()
    {
        if (!mRefusal.isEmpty() || xml.atEnd())
            return false;
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > MaxXlsxNesting)
                return refuse(
                    QStringLiteral("XML の入れ子が %1 段を超えています。").arg(MaxXlsxNesting));
            if (++*mElements > MaxXlsxElements)
                return refuse(QStringLiteral("XML の要素が %1 個を超えています。"
                                             "サンプルリストには大きすぎるブックです。")
                                  .arg(MaxXlsxElements));
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::EntityReference) {
            return refuse(QStringLiteral("定義されていない実体参照 &%1; があります。")
                              .arg(visibleText(xml.name().toString())));
        } else if (token == QXmlStreamReader::DTD) {
            return refuse(QStringLiteral("DTD (文書型宣言) があります。"));
        } else if (token == QXmlStreamReader::Invalid) {
            return false;
        }
        return true;
    }
    bool isStart(const char *name) const
    {
        return xml.tokenType() == QXmlStreamReader::StartElement &&
               xml.name() == QLatin1String(name);
    }
    bool refuse(const QString &why)
    {
        if (mRefusal.isEmpty())
            mRefusal = why;
        return false;
    }
    // The text of the element just started (an <si> or an <is>): its <t> texts and those of
    // its rich runs, joined; phonetic guides (<rPh>) are not part of the cell's text. With
    // keep false the text is only looked at: *nonEmpty tells whether there was any.
    bool elementText(QString *out, bool keep, bool *nonEmpty = nullptr)
    {
        const int base = depth;
        int inText = 0;
        int phonetic = 0;
        qsizetype length = 0;
        while (next()) {
            switch (xml.tokenType()) {
            case QXmlStreamReader::StartElement:
                if (!phonetic && xml.name() == QLatin1String("rPh"))
                    phonetic = depth;
                else if (!phonetic && xml.name() == QLatin1String("t"))
                    inText = depth;
                break;
            case QXmlStreamReader::Characters:
                if (inText && !phonetic) {
                    length += xml.text().size();
                    if (length > kMaxCellChars)
                        return refuse(
                            QStringLiteral("%1 文字を超える文字列があります。").arg(kMaxCellChars));
                    if (keep)
                        out->append(xml.text());
                }
                break;
            case QXmlStreamReader::EndElement:
                if (depth < inText)
                    inText = 0;
                if (depth < phonetic)
                    phonetic = 0;
                if (depth < base) {
                    if (nonEmpty)
                        *nonEmpty = length > 0;
                    return true;
                }
                break;
            default:
                break;
            }
        }
        return false;
    }
    // Text of the simple element just started (a <v>), bounded like a cell's text. With keep
    // false only its first character is kept, enough to tell an empty value from one.
    bool simpleText(QString *out, bool keep = true)
    {
        const int base = depth;
        qsizetype length = 0;
        while (next()) {
            if (xml.tokenType() == QXmlStreamReader::Characters) {
                const QStringView text = xml.text();
                length += text.size();
                if (length > kMaxCellChars)
                    return refuse(
                        QStringLiteral("%1 文字を超える文字列があります。").arg(kMaxCellChars));
                if (keep)
                    out->append(text);
                else if (out->isEmpty())
                    out->append(text.left(1));
            } else if (xml.tokenType() == QXmlStreamReader::EndElement && depth < base) {
                return true;
            }
        }
        return false;
    }
    // Skips to the end of the element just started.
    bool skip()
    {
        const int base = depth;
        while (next()) {
            if (xml.tokenType() == QXmlStreamReader::EndElement && depth < base)
                return true;
        }
        return false;
    }
    const QString &refusal() const { return mRefusal; }

private:
    QString mRefusal;
    qint64 *mElements;
};

// The zip archive and what is left of the unpacking allowance.
class Package
{
public:
    explicit Package(const QByteArray &bytes) : mBytes(bytes), mBuffer(&mBytes), mZip(&mBuffer) {}

    bool open(QString *reason)
    {
        if (!mZip.open(QuaZip::mdUnzip)) {
            *reason = QStringLiteral("xlsx (ZIP 形式) のファイルとして開けません。"
                                     "ファイルが壊れているか、別の形式です。");
            return false;
        }
        const QList<QuaZipFileInfo64> entries = mZip.getFileInfoList64();
        for (const QuaZipFileInfo64 &e : entries)
            mSizes.insert(e.name, e.uncompressedSize);
        return true;
    }

    bool has(const QString &part) const { return mSizes.contains(part); }

    // Unpacks part while parse reads it from px; false with the reason, naming the part,
    // when the part is missing, cannot be unpacked, breaks a bound or parse fails. parse
    // may stop early (returning true); only what was unpacked counts against the allowance.
    template <typename Parse> bool parse(const QString &part, Parse parse, QString *reason)
    {
        const auto it = mSizes.constFind(part);
        if (it == mSizes.cend()) {
            *reason = partFailure(part, QStringLiteral("ありません。"));
            return false;
        }
        const qint64 declared = qint64(qMin<quint64>(*it, quint64(MaxXlsxUnpackedBytes) + 1));
        if (declared > mAllowance) {
            *reason = bombText();
            return false;
        }
        if (!mZip.setCurrentFile(part)) {
            *reason = partFailure(part, QStringLiteral("ZIP の目次が壊れています。"));
            return false;
        }
        QuaZipFile file(&mZip);
        if (!file.open(QIODevice::ReadOnly)) {
            *reason = partFailure(
                part, QStringLiteral("展開できません (ZIP エラー %1)。").arg(file.getZipError()));
            return false;
        }
        PartDevice device(&file, declared);
        device.open(QIODevice::ReadOnly);
        PartXml px(&mElements);
        px.xml.setDevice(&device);
        QString why;
        const bool parsed = parse(px, &why);
        mAllowance -= device.consumed();
        if (device.overLimit()) {
            // The directory may lie about the size: what it declared was within the
            // allowance, so more than that is a broken or crafted file.
            *reason = partFailure(part, QStringLiteral("ZIP の目次と中身の大きさが違います。"));
            return false;
        }
        if (device.longRun()) {
            *reason = partFailure(part, QStringLiteral("タグのない部分が %1 MiB を超えています。")
                                            .arg(kMaxTextRun / (1024 * 1024)));
            return false;
        }
        if (device.zipFailed() || (parsed && !px.xml.hasError() && file.getZipError() != 0)) {
            *reason = partFailure(
                part, QStringLiteral("展開できません (ZIP エラー %1)。").arg(file.getZipError()));
            return false;
        }
        if (!px.refusal().isEmpty()) {
            *reason = partFailure(part, px.refusal());
            return false;
        }
        if (px.xml.error() == QXmlStreamReader::PrematureEndOfDocumentError &&
            device.consumed() == declared) {
            *reason = partFailure(part, QStringLiteral("ZIP の目次と中身の大きさが違います。"));
            return false;
        }
        // The reader reports an entity that no DTD declares as a plain error, "Entity 'x' not
        // declared."; said in words here, since the text would otherwise lose it.
        const QString error = px.xml.errorString();
        if (px.xml.hasError() && error.startsWith(QLatin1String("Entity '")) &&
            error.endsWith(QLatin1String("' not declared."))) {
            *reason = partFailure(part, QStringLiteral("定義されていない実体参照 &%1; があります。")
                                            .arg(visibleText(error.mid(8, error.size() - 23))));
            return false;
        }
        if (px.xml.hasError()) {
            *reason = partFailure(part, QStringLiteral("XML が壊れています (%1 行目: %2)")
                                            .arg(px.xml.lineNumber())
                                            .arg(px.xml.errorString()));
            return false;
        }
        if (!parsed) {
            *reason = why.isEmpty() ? partFailure(part, QStringLiteral("読み込めません。")) : why;
            return false;
        }
        return true;
    }

private:
    QByteArray mBytes;
    QBuffer mBuffer;
    QuaZip mZip;
    QHash<QString, quint64> mSizes;
    qint64 mAllowance = MaxXlsxUnpackedBytes;
    qint64 mElements = 0;
};

// Part name of a relationship target, seen from the folder of the part that holds it.
QString resolvePart(const QString &folder, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(folder.isEmpty() ? target : folder + QLatin1Char('/') + target);
}

QString folderOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

QString relsOf(const QString &part)
{
    const QString folder = folderOf(part);
    const QString name = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/") +
           name + QStringLiteral(".rels");
}

QString tooManyText()
{
    return QStringLiteral("項目が %1 個を超えています。").arg(kMaxEntries);
}

// Relationship targets of a .rels part by id, the type of each (the last path segment of its
// type, such as "worksheet"), and the first target of each type.
struct Relationships
{
    QHash<QString, QString> targetById;
    QHash<QString, QString> typeById;
    QHash<QString, QString> firstTargetOfType;
};

bool parseRelationships(PartXml &px, Relationships *out)
{
    while (px.next()) {
        if (!px.isStart("Relationship"))
            continue;
        const auto attrs = px.xml.attributes();
        if (attrs.value(QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        if (out->targetById.size() >= kMaxEntries)
            return px.refuse(tooManyText());
        const QString id = attrs.value(QLatin1String("Id")).toString();
        const QString target = attrs.value(QLatin1String("Target")).toString();
        const QString typeUri = attrs.value(QLatin1String("Type")).toString();
        const QString type = typeUri.mid(typeUri.lastIndexOf(QLatin1Char('/')) + 1);
        out->targetById.insert(id, target);
        out->typeById.insert(id, type);
        if (!out->firstTargetOfType.contains(type))
            out->firstTargetOfType.insert(type, target);
    }
    return !px.xml.hasError();
}

struct SheetEntry
{
    QString name;
    QString relationshipId;
    bool hidden = false;
};

struct Workbook
{
    QList<SheetEntry> sheets;
    int activeTab = -1; // -1: the workbook names none
    bool date1904 = false;
};

bool parseWorkbook(PartXml &px, Workbook *out)
{
    while (px.next()) {
        if (px.xml.tokenType() != QXmlStreamReader::StartElement)
            continue;
        const auto attrs = px.xml.attributes();
        if (px.isStart("workbookPr")) {
            out->date1904 = isTrue(attrs.value(QLatin1String("date1904")));
        } else if (px.isStart("workbookView") && out->activeTab < 0) {
            bool ok = false;
            const int tab = attrs.value(QLatin1String("activeTab")).toInt(&ok);
            out->activeTab = ok && tab >= 0 ? tab : 0;
        } else if (px.isStart("sheet")) {
            if (out->sheets.size() >= kMaxEntries)
                return px.refuse(tooManyText());
            SheetEntry sheet;
            sheet.name = attrs.value(QLatin1String("name")).toString();
            const auto state = attrs.value(QLatin1String("state"));
            sheet.hidden = state == QLatin1String("hidden") || state == QLatin1String("veryHidden");
            // r:id, whatever prefix the relationship namespace was given.
            for (const QXmlStreamAttribute &a : attrs) {
                if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                    sheet.relationshipId = a.value().toString();
            }
            out->sheets.append(sheet);
        }
    }
    return !px.xml.hasError();
}

// Number format of each cell format (the s attribute of a cell), in order.
bool parseStyles(PartXml &px, QList<NumberFormat> *out)
{
    QHash<int, QString> customFormats;
    QList<int> formatOfStyle;
    bool inCellXfs = false;
    while (px.next()) {
        const auto token = px.xml.tokenType();
        if (token == QXmlStreamReader::StartElement) {
            const auto attrs = px.xml.attributes();
            if (px.isStart("numFmt")) {
                if (customFormats.size() >= kMaxEntries)
                    return px.refuse(tooManyText());
                customFormats.insert(attrs.value(QLatin1String("numFmtId")).toInt(),
                                     attrs.value(QLatin1String("formatCode")).toString());
            } else if (px.isStart("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && px.isStart("xf")) {
                if (formatOfStyle.size() >= kMaxEntries)
                    return px.refuse(tooManyText());
                formatOfStyle.append(attrs.value(QLatin1String("numFmtId")).toInt());
            }
        } else if (token == QXmlStreamReader::EndElement &&
                   px.xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    for (int id : formatOfStyle)
        out->append(numberFormatOf(id, customFormats.value(id)));
    return !px.xml.hasError();
}

// A kept cell whose text is a shared string, read after the sheet.
struct PendingString
{
    qsizetype cell; // index into ListTable::cells
    int index;
};

struct SheetRead
{
    ListTable *table;
    const QList<NumberFormat> *styles;
    bool date1904;
    QList<PendingString> pending;
};

struct RawCell
{
    int row;
    int column;
    QString type; // kept columns only
    bool inlineString = false;
    int style = -1;
    bool hasValue = false;
    bool hasFormula = false;
    QString value;
    QString inlineText;
    bool kept = false;     // its text is built: a kept column of a shown row
    bool nonEmpty = false; // it holds a value or inline text
};

// The text a kept cell shows; false with *reason when the cell is refused.
bool keptCellText(const SheetRead &sheet, const RawCell &c, QString *text, QString *reason)
{
    const auto &type = c.type;
    if (type == QLatin1String("inlineStr")) {
        *text = decodeEscapes(c.inlineText);
        return true;
    }
    if (type == QLatin1String("e")) {
        *reason = errorCellText(c.column, c.row, visibleText(c.value.trimmed()));
        return false;
    }
    if (!c.hasValue || c.value.isEmpty()) {
        if (c.hasFormula) {
            *reason = uncachedFormulaText(c.column, c.row);
            return false;
        }
        text->clear();
        return true;
    }
    if (type == QLatin1String("b")) {
        const QString v = c.value.trimmed();
        if (isTrue(v) || v == QLatin1String("0") || v == QLatin1String("false")) {
            *text = isTrue(v) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            return true;
        }
        *reason = QStringLiteral("セル %1 の真偽値 \"%2\" を読めません。")
                      .arg(listCellName(c.column, c.row), visibleText(v));
        return false;
    }
    if (type == QLatin1String("str")) {
        *text = decodeEscapes(c.value);
        return true;
    }
    if (type == QLatin1String("d")) {
        *text = isoDateText(c.value.trimmed());
        return true;
    }
    if (!type.isEmpty() && type != QLatin1String("n")) {
        *reason = QStringLiteral("セル %1 の種類 \"%2\" を読めません。")
                      .arg(listCellName(c.column, c.row), visibleText(type));
        return false;
    }
    bool ok = false;
    const double number = c.value.trimmed().toDouble(&ok);
    const NumberFormat format =
        c.style >= 0 && c.style < sheet.styles->size() ? sheet.styles->at(c.style) : NumberFormat{};
    *text = ok ? formattedNumberText(number, format, sheet.date1904) : QString();
    if (text->isEmpty()) {
        *reason = unshowableNumberText(c.column, c.row, visibleText(c.value.trimmed()));
        return false;
    }
    return true;
}

// Where the sheet's reading is: the row and column last read (-1 before the first), and
// whether the row is hidden and holds text.
struct SheetCursor
{
    int row = -1;
    int column = -1;
    bool hiddenRow = false;
    bool hiddenRowHasText = false;
};

// What the sheet's reading does after a cell: go on, stop with what it has, or fail.
enum class Step { Go, Stop, Fail };

// Takes the row just started from its attributes into at; false with *reason when it is out
// of order or beyond the sheet.
bool startRow(PartXml &px, ListTable &table, SheetCursor &at, QString *reason)
{
    const auto attrs = px.xml.attributes();
    bool ok = false;
    const int r = attrs.value(QLatin1String("r")).toInt(&ok);
    const int next = ok && r >= 1 ? r - 1 : at.row + 1;
    // Rows come in order and cells in order within them, as the spreadsheets write them: a
    // file that names the same cell twice has no one value to print, and refusing it bounds
    // the work one row can ask for.
    if (next <= at.row || next >= kMaxSheetRows) {
        *reason = QStringLiteral("行 %1 が順に並んでいないか、シートの範囲を超えています。")
                      .arg(qint64(next) + 1);
        return false;
    }
    at.row = next;
    at.column = -1;
    at.hiddenRow = isTrue(attrs.value(QLatin1String("hidden")));
    if (at.hiddenRow && at.row < ListRowCap)
        table.hiddenRowSet.insert(at.row);
    at.hiddenRowHasText = false;
    return true;
}

// A hidden row that held text is counted once it ends.
void endRow(ListTable &table, SheetCursor &at)
{
    if (at.hiddenRow && at.hiddenRowHasText)
        ++table.hiddenRows;
    at.hiddenRow = false;
}

// Takes the cell just started from its attributes into *c and moves at to its column; false
// with *reason when its reference is wrong, out of order or beyond the sheet.
bool startCell(PartXml &px, SheetCursor &at, RawCell *c, QString *reason)
{
    c->row = qMax(at.row, 0);
    const auto attrs = px.xml.attributes();
    const auto ref = attrs.value(QLatin1String("r"));
    c->column = ref.isEmpty() ? at.column + 1 : columnOfReference(ref.toString());
    if (c->column < 0) {
        *reason =
            QStringLiteral("セル参照 \"%1\" が正しくありません。").arg(visibleText(ref.toString()));
        return false;
    }
    if (c->column <= at.column || c->column >= kMaxSheetColumns) {
        *reason = QStringLiteral("セル %1 が順に並んでいないか、シートの範囲を超えています。")
                      .arg(listCellName(c->column, qMax(at.row, 0)));
        return false;
    }
    at.column = c->column;
    const auto type = attrs.value(QLatin1String("t"));
    c->inlineString = type == QLatin1String("inlineStr");
    if (isKeptColumn(c->column))
        c->type = type.toString();
    bool styled = false;
    const int style = attrs.value(QLatin1String("s")).toInt(&styled);
    c->style = styled ? style : -1;
    // Far and hidden cells are only looked at: their text is never built.
    c->kept = isKeptColumn(c->column) && !at.hiddenRow;
    return true;
}

// Reads the cell's value, inline text and formula up to the cell's end.
Step readCellContent(PartXml &px, RawCell &c)
{
    bool nonEmpty = false;
    while (px.next()) {
        const auto t = px.xml.tokenType();
        if (t == QXmlStreamReader::EndElement) {
            break;
        } else if (t != QXmlStreamReader::StartElement) {
            continue;
        } else if (px.isStart("v")) {
            c.hasValue = true;
            if (!px.simpleText(&c.value, c.kept))
                return Step::Fail;
        } else if (px.isStart("is")) {
            bool any = false;
            if (!px.elementText(&c.inlineText, c.kept, &any))
                return Step::Fail;
            nonEmpty = nonEmpty || any;
        } else {
            c.hasFormula = c.hasFormula || px.xml.name() == QLatin1String("f");
            if (!px.skip())
                return Step::Fail;
        }
    }
    if (px.xml.tokenType() != QXmlStreamReader::EndElement)
        return !px.xml.hasError() && px.refusal().isEmpty() ? Step::Stop : Step::Fail;
    if (c.inlineString)
        c.hasValue = nonEmpty;
    else
        nonEmpty = !c.value.isEmpty();
    c.nonEmpty = nonEmpty;
    return Step::Go;
}

// Puts a read cell of a shown row into the table, or leaves its shared string pending.
Step storeCell(SheetRead &sheet, const RawCell &c, QString *reason)
{
    ListTable &table = *sheet.table;
    if (!c.kept) {
        // A far cell is noted as holding text when it holds anything; its string, even an
        // empty shared one, is not looked up.
        if (c.nonEmpty && !keepCell(table, c.row, c.column, QStringLiteral(" ")))
            return Step::Stop;
        return Step::Go;
    }
    if (c.type == QLatin1String("s")) {
        bool ok = false;
        const int index = c.value.trimmed().toInt(&ok);
        if (!ok || index < 0) {
            *reason = QStringLiteral("セル %1: 共有文字列 %2 がありません。")
                          .arg(listCellName(c.column, c.row), visibleText(c.value));
            return Step::Fail;
        }
        sheet.pending.append(PendingString{table.cells.size(), index});
        table.cells.append(ListCell{c.row, c.column, QString()});
        return c.row >= ListRowCap ? Step::Stop : Step::Go;
    }
    QString text;
    if (!keptCellText(sheet, c, &text, reason))
        return Step::Fail;
    return keepCell(table, c.row, c.column, text) ? Step::Go : Step::Stop;
}

// Reads the cells of the sheet into sheet.table until ListRowCap; shared strings of kept
// cells are left pending. Rows marked hidden are skipped and counted when they hold text.
bool parseSheet(PartXml &px, SheetRead &sheet, QString *reason)
{
    SheetCursor at;
    while (px.next()) {
        if (px.xml.tokenType() == QXmlStreamReader::EndElement &&
            px.xml.name() == QLatin1String("row")) {
            endRow(*sheet.table, at);
            continue;
        }
        if (px.isStart("row")) {
            if (!startRow(px, *sheet.table, at, reason))
                return false;
            continue;
        }
        if (!px.isStart("c"))
            continue;
        RawCell c;
        if (!startCell(px, at, &c, reason))
            return false;
        Step step = readCellContent(px, c);
        if (step == Step::Go && at.hiddenRow)
            at.hiddenRowHasText = at.hiddenRowHasText || c.nonEmpty;
        else if (step == Step::Go)
            step = storeCell(sheet, c, reason);
        if (step != Step::Go)
            return step == Step::Stop;
    }
    return !px.xml.hasError();
}

// The shared strings the pending cells name, and how many strings the part holds.
bool parseSharedStrings(PartXml &px, QHash<int, QString> *wanted, int *count)
{
    int index = 0;
    while (px.next()) {
        if (!px.isStart("si"))
            continue;
        const auto it = wanted->find(index);
        QString text;
        if (!px.elementText(&text, it != wanted->end()))
            return false;
        if (it != wanted->end())
            *it = decodeEscapes(text);
        ++index;
    }
    *count = index;
    return !px.xml.hasError();
}

// Index of the sheet to read: the active tab, else the first visible sheet; -1 for none.
int chosenSheet(const Workbook &workbook)
{
    if (workbook.activeTab >= 0 && workbook.activeTab < workbook.sheets.size())
        return workbook.activeTab;
    for (int i = 0; i < workbook.sheets.size(); ++i) {
        if (!workbook.sheets.at(i).hidden)
            return i;
    }
    return -1;
}

// The workbook part, its relationships and its list of sheets.
struct WorkbookParts
{
    QString part;
    Relationships rels;
    Workbook workbook;
};

// Finds the workbook part through the package's relationships and reads it with its own.
bool readWorkbookParts(Package &package, WorkbookParts *out, QString *reason)
{
    const auto relationships = [](Relationships *into) {
        return [into](PartXml &px, QString *) { return parseRelationships(px, into); };
    };
    Relationships root;
    const QString rootRels = QStringLiteral("_rels/.rels");
    if (package.has(rootRels) && !package.parse(rootRels, relationships(&root), reason))
        return false;
    out->part =
        resolvePart(QString(), root.firstTargetOfType.value(QStringLiteral("officeDocument"),
                                                            QStringLiteral("xl/workbook.xml")));
    const QString workbookRels = relsOf(out->part);
    if (package.has(workbookRels) &&
        !package.parse(workbookRels, relationships(&out->rels), reason))
        return false;
    return package.parse(
        out->part, [&](PartXml &px, QString *) { return parseWorkbook(px, &out->workbook); },
        reason);
}

// The sheet the list is read from; null with *reason when there is none or it is no table.
const SheetEntry *listSheet(const WorkbookParts &book, QString *reason)
{
    const int chosen = chosenSheet(book.workbook);
    if (chosen < 0 ||
        !book.rels.targetById.contains(book.workbook.sheets.at(chosen).relationshipId)) {
        *reason = partFailure(book.part, QStringLiteral("読み込めるシートがありません。"));
        return nullptr;
    }
    const SheetEntry &entry = book.workbook.sheets.at(chosen);
    if (book.rels.typeById.value(entry.relationshipId) != QLatin1String("worksheet")) {
        *reason = QStringLiteral("保存したときに開いていたシート「%1」は表のシートではありません"
                                 " (グラフシートなど)。リストのシートを開いて保存し直して"
                                 "ください。")
                      .arg(visibleText(entry.name));
        return nullptr;
    }
    return &entry;
}

// The part the workbook relates to with type, when the package holds it; empty otherwise.
QString optionalPart(const Package &package, const WorkbookParts &book, const char *type)
{
    const QString target = book.rels.firstTargetOfType.value(QLatin1String(type));
    const QString part = target.isEmpty() ? QString() : resolvePart(folderOf(book.part), target);
    return package.has(part) ? part : QString();
}

// Reads the cells of sheet entry into sheet, naming the sheet in a refusal.
bool readSheet(Package &package, const WorkbookParts &book, const SheetEntry &entry,
               SheetRead &sheet, QString *reason)
{
    const QString sheetPart =
        resolvePart(folderOf(book.part), book.rels.targetById.value(entry.relationshipId));
    const auto sheetParse = [&](PartXml &px, QString *why) {
        const bool ok = parseSheet(px, sheet, why);
        if (!ok && !why->isEmpty())
            *why = QStringLiteral("シート「%1」の%2").arg(visibleText(entry.name), *why);
        return ok;
    };
    return package.parse(sheetPart, sheetParse, reason);
}

// Gives the pending cells of sheet their shared strings from stringsPart (none when empty);
// false with *reason when the part fails or lacks a string a cell names.
bool fillSharedStrings(Package &package, const QString &stringsPart, const SheetRead &sheet,
                       const QString &sheetName, QString *reason)
{
    QHash<int, QString> wanted;
    for (const PendingString &p : std::as_const(sheet.pending))
        wanted.insert(p.index, QString());
    int count = 0;
    if (!stringsPart.isEmpty() &&
        !package.parse(
            stringsPart,
            [&](PartXml &px, QString *) { return parseSharedStrings(px, &wanted, &count); },
            reason))
        return false;
    ListTable &table = *sheet.table;
    for (const PendingString &p : std::as_const(sheet.pending)) {
        const ListCell &cell = table.cells.at(p.cell);
        if (p.index >= count) {
            *reason = QStringLiteral("シート「%1」のセル %2: 共有文字列 %3 がありません。")
                          .arg(visibleText(sheetName), listCellName(cell.column, cell.row))
                          .arg(p.index);
            return false;
        }
        table.cells[p.cell].text = wanted.value(p.index);
    }
    return true;
}

} // namespace

ListTableRead readXlsxList(const QByteArray &bytes, const QString &fileName)
{
    ListTableRead read;
    read.table.fileName = fileName;
    Package package(bytes);
    WorkbookParts book;
    if (!package.open(&read.reason) || !readWorkbookParts(package, &book, &read.reason))
        return read;
    const SheetEntry *entry = listSheet(book, &read.reason);
    if (!entry)
        return read;
    QList<NumberFormat> styles;
    const QString stylesPart = optionalPart(package, book, "styles");
    if (!stylesPart.isEmpty() &&
        !package.parse(
            stylesPart, [&](PartXml &px, QString *) { return parseStyles(px, &styles); },
            &read.reason))
        return read;

    // The sheet comes before the shared strings, so that only the strings of kept cells are
    // ever built, however many the workbook holds.
    SheetRead sheet{&read.table, &styles, book.workbook.date1904, {}};
    if (!readSheet(package, book, *entry, sheet, &read.reason) || sheet.pending.isEmpty() ||
        !fillSharedStrings(package, optionalPart(package, book, "sharedStrings"), sheet,
                           entry->name, &read.reason))
        return read;
    // An empty shared string is an empty cell.
    read.table.cells.removeIf([](const ListCell &cell) { return cell.text.isEmpty(); });
    return read;
}

} // namespace corvial
