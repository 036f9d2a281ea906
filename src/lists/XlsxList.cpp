// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/XlsxList.h"

#include "lists/CellText.h"

#include <QBuffer>
#include <QDir>
#include <QXmlStreamReader>

#include <functional>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipfileinfo.h>

namespace corvial {

namespace {

// Relationship targets of a .rels part by id, the type of each (the last path segment of its
// type, such as "worksheet"), and the first target of each type.
struct XlsxRelationships
{
    QHash<QString, QString> targetById;
    QHash<QString, QString> typeById;
    QHash<QString, QString> firstTargetOfType;
};

bool isDateNumberFormat(int numFmtId, const QString &formatCode);

constexpr qint64 kChunk = 64 * 1024;

QString partFailure(const QString &part, const QString &why)
{
    return QStringLiteral("xlsx の中の %1 を読めません: %2").arg(part, why);
}

QString xmlFailure(const QString &part, const QXmlStreamReader &xml)
{
    return partFailure(part, QStringLiteral("XML が壊れています (%1 行目: %2)")
                                 .arg(xml.lineNumber())
                                 .arg(xml.errorString()));
}

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

    bool read(const QString &part, QByteArray *out, QString *reason)
    {
        const auto bomb = [&] {
            *reason =
                QStringLiteral("xlsx の中身が展開すると %1 MiB を超えるため読み込みません。"
                               "壊れたファイルか、展開すると巨大になるように作られたファイルです。")
                    .arg(MaxXlsxUnpackedBytes / (1024 * 1024));
            return false;
        };
        const auto it = mSizes.constFind(part);
        if (it == mSizes.cend()) {
            *reason = partFailure(part, QStringLiteral("ありません。"));
            return false;
        }
        const qint64 declared = qint64(qMin<quint64>(*it, quint64(MaxXlsxUnpackedBytes) + 1));
        if (declared > mAllowance)
            return bomb();
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
        // The directory may lie about the size: stop at what it declared (and at what is
        // left of the allowance) instead of trusting it.
        QByteArray data;
        for (;;) {
            const qint64 room = qMin(declared, mAllowance) - data.size();
            const QByteArray chunk = file.read(qMin(kChunk, room + 1));
            if (chunk.isEmpty())
                break;
            data += chunk;
            if (data.size() > mAllowance)
                return bomb();
            if (data.size() > declared) {
                *reason = partFailure(part, QStringLiteral("ZIP の目次と中身の大きさが違います。"));
                return false;
            }
        }
        if (file.getZipError() != 0) {
            *reason = partFailure(
                part, QStringLiteral("展開できません (ZIP エラー %1)。").arg(file.getZipError()));
            return false;
        }
        mAllowance -= data.size();
        *out = data;
        return true;
    }

private:
    QByteArray mBytes;
    QBuffer mBuffer;
    QuaZip mZip;
    QHash<QString, quint64> mSizes;
    qint64 mAllowance = MaxXlsxUnpackedBytes;
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

// The text of the element the reader stands on (an <si> or an <is>): its <t> texts and those
// of its rich runs, joined; phonetic guides (<rPh>) are not part of the cell's text.
QString richText(QXmlStreamReader &xml)
{
    QString text;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("t"))
            text += xml.readElementText();
        else if (xml.name() == QLatin1String("r"))
            text += richText(xml);
        else
            xml.skipCurrentElement();
    }
    return text;
}

bool parseSharedStrings(const QByteArray &data, QStringList *out, QXmlStreamReader &xml)
{
    xml.addData(data);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si"))
            out->append(richText(xml));
    }
    return !xml.hasError();
}

// Per cell format (the s attribute of a cell): does it show a date?
bool parseDateStyles(const QByteArray &data, QList<bool> *out, QXmlStreamReader &xml)
{
    QHash<int, QString> customFormats;
    QList<int> formatOfStyle;
    bool inCellXfs = false;
    xml.addData(data);
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const auto attrs = xml.attributes();
            if (xml.name() == QLatin1String("numFmt"))
                customFormats.insert(attrs.value(QLatin1String("numFmtId")).toInt(),
                                     attrs.value(QLatin1String("formatCode")).toString());
            else if (xml.name() == QLatin1String("cellXfs"))
                inCellXfs = true;
            else if (inCellXfs && xml.name() == QLatin1String("xf"))
                formatOfStyle.append(attrs.value(QLatin1String("numFmtId")).toInt());
        } else if (token == QXmlStreamReader::EndElement &&
                   xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    for (int id : formatOfStyle)
        out->append(isDateNumberFormat(id, customFormats.value(id)));
    return !xml.hasError();
}

struct Workbook
{
    QString firstSheetId;
    bool date1904 = false;
};

bool parseWorkbook(const QByteArray &data, Workbook *out, QXmlStreamReader &xml)
{
    xml.addData(data);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attrs = xml.attributes();
        if (xml.name() == QLatin1String("workbookPr")) {
            const auto v = attrs.value(QLatin1String("date1904"));
            out->date1904 = v == QLatin1String("1") || v == QLatin1String("true");
        } else if (xml.name() == QLatin1String("sheet") && out->firstSheetId.isEmpty()) {
            // r:id, whatever prefix the relationship namespace was given.
            for (const QXmlStreamAttribute &a : attrs) {
                if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                    out->firstSheetId = a.value().toString();
            }
        }
    }
    return !xml.hasError();
}

struct SheetContext
{
    const QStringList *sharedStrings;
    const QList<bool> *dateStyles;
    bool date1904;
};

// The text a cell shows, or false with *reason when it names a shared string that is not
// there.
bool cellText(const SheetContext &ctx, const QString &type, int style, const QString &value,
              const QString &inlineText, QString *text, QString *reason)
{
    if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = value.toInt(&ok);
        if (!ok || index < 0 || index >= ctx.sharedStrings->size()) {
            *reason = QStringLiteral("共有文字列 %1 がありません。").arg(value);
            return false;
        }
        *text = ctx.sharedStrings->at(index);
    } else if (type == QLatin1String("inlineStr")) {
        *text = inlineText;
    } else if (type == QLatin1String("b")) {
        *text = value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE")
                                                      : QStringLiteral("FALSE");
    } else if (type == QLatin1String("d")) {
        *text = isoDateText(value);
    } else if (type == QLatin1String("str") || type == QLatin1String("e")) {
        *text = value;
    } else if (value.isEmpty()) {
        text->clear();
    } else {
        bool ok = false;
        const double number = value.toDouble(&ok);
        const bool isDate =
            style >= 0 && style < ctx.dateStyles->size() && ctx.dateStyles->at(style);
        QString date = ok && isDate ? serialDateText(number, ctx.date1904) : QString();
        *text = !date.isEmpty() ? date : ok ? generalNumberText(number) : value;
    }
    return true;
}

bool parseSheet(const QByteArray &data, const SheetContext &ctx, ListTable *table,
                QXmlStreamReader &xml, QString *reason)
{
    xml.addData(data);
    int row = -1;
    int column = -1;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("row")) {
            bool ok = false;
            const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
            row = ok && r >= 1 ? r - 1 : row + 1;
            column = -1;
            continue;
        }
        if (xml.name() != QLatin1String("c"))
            continue;
        const auto attrs = xml.attributes();
        const QString ref = attrs.value(QLatin1String("r")).toString();
        const int c = ref.isEmpty() ? column + 1 : columnOfReference(ref);
        if (c < 0) {
            *reason = QStringLiteral("セル参照 \"%1\" が正しくありません。").arg(ref);
            return false;
        }
        column = c;
        const QString type = attrs.value(QLatin1String("t")).toString();
        bool styled = false;
        const int style = attrs.value(QLatin1String("s")).toInt(&styled);
        QString value;
        QString inlineText;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("v"))
                value = xml.readElementText();
            else if (xml.name() == QLatin1String("is"))
                inlineText = richText(xml);
            else
                xml.skipCurrentElement();
        }
        QString text;
        if (!cellText(ctx, type, styled ? style : -1, value, inlineText, &text, reason)) {
            *reason =
                QStringLiteral("セル %1: %2").arg(listCellName(column, qMax(row, 0)), *reason);
            return false;
        }
        if (!keepCell(*table, qMax(row, 0), column, text))
            return true;
    }
    return !xml.hasError();
}

bool parseRelationships(const QByteArray &data, XlsxRelationships *out, QXmlStreamReader &xml)
{
    xml.addData(data);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("Relationship"))
            continue;
        const auto attrs = xml.attributes();
        if (attrs.value(QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        const QString id = attrs.value(QLatin1String("Id")).toString();
        const QString target = attrs.value(QLatin1String("Target")).toString();
        const QString typeUri = attrs.value(QLatin1String("Type")).toString();
        const QString type = typeUri.mid(typeUri.lastIndexOf(QLatin1Char('/')) + 1);
        out->targetById.insert(id, target);
        out->typeById.insert(id, type);
        if (!out->firstTargetOfType.contains(type))
            out->firstTargetOfType.insert(type, target);
    }
    return !xml.hasError();
}

using PartParser = std::function<bool(const QByteArray &, QXmlStreamReader &)>;

// Unpacks part and hands it to parse; false with the reason, naming the part, when either
// fails. A part the package lacks is read as nothing when it is optional.
bool readXmlPart(Package &package, const QString &part, const PartParser &parse, QString *reason,
                 bool optional = false)
{
    if (optional && !package.has(part))
        return true;
    QByteArray data;
    if (!package.read(part, &data, reason))
        return false;
    QXmlStreamReader xml;
    if (parse(data, xml))
        return true;
    *reason = xmlFailure(part, xml);
    return false;
}

} // namespace

namespace {

// Whether a number format (built-in id, or the code of a custom one) shows a date.
bool isDateNumberFormat(int numFmtId, const QString &formatCode)
{
    // Built-in date formats: the general ones and those of the Japanese locale (era and
    // 年月日 forms); 18..21 and 32, 33 are times of day.
    if ((numFmtId >= 14 && numFmtId <= 17) || numFmtId == 22 ||
        (numFmtId >= 27 && numFmtId <= 31) || (numFmtId >= 34 && numFmtId <= 36) ||
        (numFmtId >= 50 && numFmtId <= 58))
        return true;
    if (numFmtId < 164 || formatCode.isEmpty())
        return false;
    // Letters inside quotes, after a backslash or in brackets ([Red], [$-411]) are literal.
    QString letters;
    bool quoted = false;
    for (qsizetype i = 0; i < formatCode.size(); ++i) {
        const QChar c = formatCode.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = formatCode.indexOf(QLatin1Char(']'), i);
            i = close < 0 ? formatCode.size() : close;
        } else {
            letters += c.toLower();
        }
    }
    const auto has = [&](char c) { return letters.contains(QLatin1Char(c)); };
    // "m" alone is a month; beside hours or seconds it means minutes.
    return has('y') || has('d') || (has('m') && !has('h') && !has('s'));
}

} // namespace

ListTableRead readXlsxList(const QByteArray &bytes, const QString &fileName)
{
    ListTableRead read;
    read.table.fileName = fileName;
    Package package(bytes);
    if (!package.open(&read.reason))
        return read;
    const auto relationships = [&](XlsxRelationships *out) {
        return [out](const QByteArray &d, QXmlStreamReader &x) {
            return parseRelationships(d, out, x);
        };
    };

    XlsxRelationships root;
    if (!readXmlPart(package, QStringLiteral("_rels/.rels"), relationships(&root), &read.reason,
                     true))
        return read;
    const QString workbookPart =
        resolvePart(QString(), root.firstTargetOfType.value(QStringLiteral("officeDocument"),
                                                            QStringLiteral("xl/workbook.xml")));
    XlsxRelationships rels;
    Workbook workbook;
    if (!readXmlPart(package, relsOf(workbookPart), relationships(&rels), &read.reason, true) ||
        !readXmlPart(
            package, workbookPart,
            [&](const QByteArray &d, QXmlStreamReader &x) {
                return parseWorkbook(d, &workbook, x);
            },
            &read.reason))
        return read;
    if (workbook.firstSheetId.isEmpty() || !rels.targetById.contains(workbook.firstSheetId)) {
        read.reason = partFailure(workbookPart, QStringLiteral("シートがありません。"));
        return read;
    }
    if (rels.typeById.value(workbook.firstSheetId) != QLatin1String("worksheet")) {
        read.reason = QStringLiteral("最初のシートが表のシートではありません (グラフシートなど)。"
                                     "リストは最初のシートに置いてください。");
        return read;
    }

    // Shared strings and cell formats, when the workbook has them.
    const QString folder = folderOf(workbookPart);
    const auto optionalPart = [&](const char *type) {
        const QString target = rels.firstTargetOfType.value(QLatin1String(type));
        return target.isEmpty() ? QString() : resolvePart(folder, target);
    };
    QStringList sharedStrings;
    QList<bool> dateStyles;
    const QString stringsPart = optionalPart("sharedStrings");
    const QString stylesPart = optionalPart("styles");
    if ((!stringsPart.isEmpty() && !readXmlPart(
                                       package, stringsPart,
                                       [&](const QByteArray &d, QXmlStreamReader &x) {
                                           return parseSharedStrings(d, &sharedStrings, x);
                                       },
                                       &read.reason, true)) ||
        (!stylesPart.isEmpty() && !readXmlPart(
                                      package, stylesPart,
                                      [&](const QByteArray &d, QXmlStreamReader &x) {
                                          return parseDateStyles(d, &dateStyles, x);
                                      },
                                      &read.reason, true)))
        return read;

    const QString sheetPart = resolvePart(folder, rels.targetById.value(workbook.firstSheetId));
    const SheetContext ctx{&sharedStrings, &dateStyles, workbook.date1904};
    QString why;
    const auto sheet = [&](const QByteArray &d, QXmlStreamReader &x) {
        return parseSheet(d, ctx, &read.table, x, &why);
    };
    if (!readXmlPart(package, sheetPart, sheet, &read.reason) && !why.isEmpty())
        read.reason = partFailure(sheetPart, why);
    return read;
}

} // namespace corvial
