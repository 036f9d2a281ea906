// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/SampleList.h"

#include "files/BoundedFile.h"
#include "files/SafeFile.h"
#include "job/JobRules.h"
#include "job/LabelLayout.h"
#include "job/SheetTypes.h"
#include "job/ShiftJis.h"
#include "job/TextCharacters.h"
#include "lists/CellText.h"
#include "lists/DelimitedText.h"
#include "lists/XlsList.h"
#include "lists/XlsxList.h"

#include <QBitArray>
#include <QFileInfo>
#include <QSet>

namespace corvial {

namespace {

constexpr int kListedMisfits = 10;

// Longer than any line of any sheet type by far: such a cell is refused for its length.
constexpr qsizetype kLongCell = 1024;

// Why a cell does not fit line `column` (0-based) of sheet type t's text, by the rule typed
// text follows: the cell stands on its own line of the text, the lines before it empty. A
// cell of megabytes would cost the text rules several copies of itself, so only its start
// is checked and the rest only adds its bytes to the count the refusal gives.
TextProblem cellProblem(SheetType t, int column, const QString &cell)
{
    const QString before(column, QLatin1Char('\n'));
    if (cell.size() <= kLongCell)
        return checkLabelText(before + cell, t);
    qsizetype head = kLongCell;
    if (cell.at(head - 1).isHighSurrogate())
        --head;
    TextProblem p = checkLabelText(before + cell.left(head), t);
    if (p.kind != TextProblem::LineTooLong && p.kind != TextProblem::TextTooLong)
        return p;
    // Counted a slice at a time: the count works on a copy of what it is given.
    for (qsizetype from = head; from < cell.size();) {
        qsizetype n = qMin(kLongCell, cell.size() - from);
        if (from + n < cell.size() && cell.at(from + n - 1).isHighSurrogate())
            --n;
        p.bytes += sjisLength(QString::fromRawData(cell.constData() + from, n));
        from += n;
    }
    return p;
}

QString misfitText(const QString &cellName, const TextProblem &p, SheetType t)
{
    switch (p.kind) {
    case TextProblem::Unprintable:
        return QStringLiteral("%1: %2があります (ラベルに印刷できない文字です)")
            .arg(cellName, forbiddenCharacterWords(p.forbidden));
    case TextProblem::NotShiftJis:
        return QStringLiteral("%1: 「%2」は Shift-JIS にない文字です").arg(cellName, p.character);
    case TextProblem::LineTooLong:
        return QStringLiteral("%1: %2 バイト (上限 %3 バイト)")
            .arg(cellName)
            .arg(p.bytes)
            .arg(p.limit);
    default:
        return QStringLiteral("%1: %2").arg(cellName, textProblemText(p, t));
    }
}

SampleListRead refused(const QString &path, const QString &reason)
{
    SampleListRead read;
    read.error = sampleListFailureText(path, reason);
    return read;
}

} // namespace

QString SampleList::sampleText(int index) const
{
    if (index < 0 || index >= rows.size())
        return QString();
    QStringList lines = rows.at(index);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

ListFormat listFormatOfPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return ListFormat::Csv;
    if (suffix == QLatin1String("tsv"))
        return ListFormat::Tsv;
    if (suffix == QLatin1String("txt"))
        return ListFormat::Txt;
    if (suffix == QLatin1String("xls"))
        return ListFormat::Xls;
    if (suffix == QLatin1String("xlsx"))
        return ListFormat::Xlsx;
    return ListFormat::Unknown;
}

int listColumnsOfType(SheetType sheetType)
{
    switch (sheetType.info().textBox.kind) {
    case TextBoxKind::Marker:
        return 0;
    case TextBoxKind::OneLine:
        return 1;
    case TextBoxKind::Lines:
    case TextBoxKind::Memo:
        break;
    }
    return labelLayout(sheetType).fixedLines;
}

ListTableRead readListTableData(const QByteArray &bytes, ListFormat format, const QString &fileName)
{
    switch (format) {
    case ListFormat::Csv:
        return readDelimitedList(bytes, Separator::Comma, fileName);
    case ListFormat::Tsv:
        return readDelimitedList(bytes, Separator::Tab, fileName);
    case ListFormat::Txt:
        return readDelimitedList(bytes, Separator::TabIfAnyTab, fileName);
    case ListFormat::Xlsx:
        return readXlsxList(bytes, fileName);
    case ListFormat::Xls:
    case ListFormat::Unknown:
        break;
    }
    ListTableRead read;
    read.table.fileName = fileName;
    read.reason = QStringLiteral("この形式のファイルは読めません。"
                                 ".csv、.tsv、.txt、.xls、.xlsx のファイルを選んでください。");
    return read;
}

ListTableRead readListTable(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    const ListFormat format = listFormatOfPath(path);
    ListTableRead read;
    read.table.fileName = fileName;
    if (format == ListFormat::Unknown)
        return readListTableData(QByteArray(), format, fileName);
    BoundedFile file;
    if (!file.open(path, &read.reason))
        return read;
    if (format == ListFormat::Xls) {
        if (file.size() > MaxListFileBytes) {
            read.reason = QStringLiteral("ファイルが大きすぎます (%1 バイトまで読み込めます)。")
                              .arg(MaxListFileBytes);
            return read;
        }
        return readXlsList(file, fileName);
    }
    QByteArray bytes;
    if (!file.readAll(MaxListFileBytes, &bytes, &read.reason))
        return read;
    return readListTableData(bytes, format, fileName);
}

ListTableRead readCsvFromStandardInput()
{
    const QString name = QStringLiteral("標準入力");
    ListTableRead read;
    read.table.fileName = name;
    QByteArray bytes;
    if (!readStandardInput(MaxListFileBytes, StandardInputSeconds, &bytes, &read.reason))
        return read;
    return readListTableData(bytes, ListFormat::Csv, name);
}

QStringList firstRowOf(const ListTable &table)
{
    QStringList row;
    for (const ListCell &cell : table.cells) {
        if (cell.row != 0)
            continue;
        while (row.size() <= cell.column)
            row.append(QString());
        row[cell.column] = cell.text;
    }
    return row;
}

namespace {

// Why the rows of table (samples from row first on, printed in columns 0..columns-1) do not
// make a list; empty when they do, with *lastRow the last sample's row.
QString rowsProblem(const ListTable &table, int first, int columns, int *lastRow)
{
    *lastRow = -1;
    QSet<int> filledRows;
    for (auto far = table.farColumns.cbegin(); far != table.farColumns.cend(); ++far) {
        if (far.key() >= ListRowCap)
            return QStringLiteral(
                       "%1 行目より下にも文字があります。サンプルは %2 件まで読み込めます。")
                .arg(ListRowCap)
                .arg(MaxListSamples);
    }
    for (const ListCell &cell : table.cells) {
        if (cell.row >= ListRowCap)
            return QStringLiteral(
                       "%1 行目より下にも文字があります。サンプルは %2 件まで読み込めます。")
                .arg(ListRowCap)
                .arg(MaxListSamples);
        if (cell.row < first || cell.column >= columns)
            continue;
        filledRows.insert(cell.row);
        *lastRow = qMax(*lastRow, cell.row);
    }
    if (*lastRow < first)
        return QStringLiteral("印刷するサンプルがありません (%1 列が空です)。")
            .arg(columns == 1 ? QStringLiteral("A")
                              : QStringLiteral("A～%1").arg(listColumnName(columns - 1)));
    int hiddenBetween = 0;
    for (int r : table.hiddenRowSet)
        hiddenBetween += r >= first && r <= *lastRow;
    const int count = *lastRow - first + 1 - hiddenBetween;
    if (count > MaxListSamples)
        return QStringLiteral("サンプルが %1 件あります。サンプルは %2 件まで読み込めます。")
            .arg(count)
            .arg(MaxListSamples);
    for (int r = first; r <= *lastRow; ++r) {
        // A row the workbook hides is no gap the user sees: it is left out, not numbered.
        if (!filledRows.contains(r) && !table.hiddenRowSet.contains(r))
            return QStringLiteral("%1 行目が空です。サンプルの間の空の行は、後のサンプルの番号を"
                                  "ずらすため読み込みません。空の行を削除してください。")
                .arg(r + 1);
    }
    return QString();
}

} // namespace

SampleListRead buildSampleList(const ListTable &table, const SampleListOptions &options,
                               const QString &path)
{
    const SheetType t = options.sheetType;
    const int columns = listColumnsOfType(t);
    if (columns == 0)
        return refused(path,
                       QStringLiteral("%1にはサンプルリストを使えません。").arg(sheetTypeWord(t)));
    const int first = options.firstRowIsHeading ? 1 : 0;
    int lastRow = -1;
    const QString rowProblem = rowsProblem(table, first, columns, &lastRow);
    if (!rowProblem.isEmpty())
        return refused(path, rowProblem);
    // Sample index of each row from first to lastRow; hidden rows have none.
    QList<int> sampleOfRow(lastRow - first + 1, -1);
    int count = 0;
    for (int r = first; r <= lastRow; ++r) {
        if (!table.hiddenRowSet.contains(r))
            sampleOfRow[r - first] = count++;
    }

    SampleListRead read;
    SampleList &list = read.list;
    list.fileName = table.fileName;
    list.headingDropped = options.firstRowIsHeading;
    list.table = table;
    list.rows = QList<QStringList>(count, QStringList(columns, QString()));
    QSet<int> ignored;
    QStringList misfits;
    int misfitCount = 0;
    for (const ListCell &cell : table.cells) {
        if (cell.row < first || cell.row > lastRow)
            continue;
        if (cell.column >= columns) {
            ignored.insert(cell.column);
            continue;
        }
        const QString name = listCellName(cell.column, cell.row);
        if (cell.text.contains(QLatin1Char('\n')) || cell.text.contains(QLatin1Char('\r')))
            return refused(path,
                           QStringLiteral("セル %1 に改行があります。ラベルの 1 行は 1 つのセルに"
                                          "書き、次の行は右のセルに書いてください。")
                               .arg(name));
        const TextProblem problem = cellProblem(t, cell.column, cell.text);
        if (problem.kind != TextProblem::None && ++misfitCount <= kListedMisfits)
            misfits << misfitText(name, problem, t);
        const int sample = sampleOfRow.at(cell.row - first);
        if (sample >= 0)
            list.rows[sample][cell.column] = cell.text;
    }
    if (misfitCount > 0) {
        if (misfitCount > kListedMisfits)
            misfits << QStringLiteral("ほか %1 件").arg(misfitCount - kListedMisfits);
        return refused(path, QStringLiteral("次のセルは%1のラベルに収まりません"
                                            " (全角文字は 2 バイト)。\n%2")
                                 .arg(sheetTypeWord(t), misfits.join(QLatin1Char('\n'))));
    }
    QBitArray far;
    for (auto row = table.farColumns.cbegin(); row != table.farColumns.cend(); ++row) {
        if (row.key() < first || row.key() > lastRow)
            continue;
        QBitArray bits = row.value();
        const qsizetype n = qMax(far.size(), bits.size());
        far.resize(n);
        bits.resize(n);
        far |= bits;
    }
    list.ignoredColumns = int(ignored.size()) + int(far.count(true));
    return read;
}

SampleListRead readSampleList(const QString &path, const SampleListOptions &options)
{
    const ListTableRead table = readListTable(path);
    if (!table.ok())
        return refused(path, table.reason);
    return buildSampleList(table.table, options, path);
}

QString sampleListFailureText(const QString &path, const QString &reason)
{
    const QString shown =
        path == QLatin1String("-") ? QStringLiteral("標準入力") : displayPath(path);
    return QStringLiteral("サンプルリストを読み込めませんでした: %1\n%2").arg(shown, reason);
}

QString sampleListStatusLine(const SampleList &list)
{
    return QStringLiteral("リスト: %1 (%2 件)").arg(visibleText(list.fileName)).arg(list.count());
}

QString sampleListNotice(const SampleList &list, SheetType sheetType)
{
    QStringList notices;
    if (list.table.hiddenRows > 0)
        notices << QStringLiteral("%1: 非表示の行 %2 行は読み込んでいません。")
                       .arg(visibleText(list.fileName))
                       .arg(list.table.hiddenRows);
    if (list.ignoredColumns > 0) {
        const int columns = listColumnsOfType(sheetType);
        notices << QStringLiteral("このシートタイプが印刷するのは %1 列までです。"
                                  "%2 列より右の %3 列は読み込みませんでした。")
                       .arg(listColumnName(columns - 1), listColumnName(columns - 1))
                       .arg(list.ignoredColumns);
    }
    return notices.join(QLatin1Char('\n'));
}

} // namespace corvial
