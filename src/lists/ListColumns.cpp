// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/ListColumns.h"

#include "job/JobRules.h"
#include "lists/CellText.h"

#include <QSet>

#include <algorithm>

namespace corvial {

namespace {

// The columns holding text in rows first.. of table, far columns included.
QList<int> filledColumns(const ListTable &table, int first)
{
    QSet<int> found;
    for (const ListCell &cell : table.cells) {
        if (cell.row >= first)
            found.insert(cell.column);
    }
    for (auto row = table.farColumns.cbegin(); row != table.farColumns.cend(); ++row) {
        if (row.key() < first)
            continue;
        for (qsizetype bit = 0; bit < row.value().size(); ++bit) {
            if (row.value().testBit(bit))
                found.insert(ListKeptColumns + int(bit));
        }
    }
    QList<int> columns(found.cbegin(), found.cend());
    std::sort(columns.begin(), columns.end());
    return columns;
}

// "C", "C・E〜G": runs of neighbouring columns as their ends.
QString columnNames(const QList<int> &columns)
{
    QStringList parts;
    for (qsizetype i = 0; i < columns.size();) {
        qsizetype j = i;
        while (j + 1 < columns.size() && columns.at(j + 1) == columns.at(j) + 1)
            ++j;
        parts << (j == i ? listColumnName(columns.at(i))
                         : QStringLiteral("%1〜%2").arg(listColumnName(columns.at(i)),
                                                        listColumnName(columns.at(j))));
        i = j + 1;
    }
    return parts.join(QStringLiteral("・"));
}

} // namespace

ListColumns listColumnsFor(const SampleList &list, SheetType sheetType)
{
    ListColumns c;
    c.read = buildSampleList(list.table, {sheetType, list.headingDropped}, list.fileName);
    const int printedCount = listColumnsOfType(sheetType);
    for (int column : filledColumns(list.table, list.headingDropped ? 1 : 0))
        (column < printedCount ? c.printed : c.setAside) << column;
    return c;
}

QString setAsideNotice(const ListColumns &columns, SheetType sheetType)
{
    if (columns.setAside.isEmpty())
        return QString();
    const QString names = columnNames(columns.setAside);
    if (listColumnsOfType(sheetType) == 0)
        return QStringLiteral("%1はリストを印刷しません。列 %2 は印刷されません。")
            .arg(sheetTypeWord(sheetType), names);
    return QStringLiteral("列 %1 は印刷されません。").arg(names);
}

} // namespace corvial
