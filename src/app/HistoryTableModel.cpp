// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryTableModel.h"

#include "history/HistoryNumbers.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"

namespace corvial {

namespace {

const char *const kHeadings[HistoryTableModel::ColumnCount] = {
    "日時", "利用者", "ラベルの種類", "番号", "ラベル数", "出力先", "結果",
};

} // namespace

HistoryTableModel::HistoryTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void HistoryTableModel::setEntries(const QList<HistoryEntry> &entries)
{
    beginResetModel();
    mEntries = entries;
    endResetModel();
}

int HistoryTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(mEntries.size());
}

int HistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QString HistoryTableModel::cellText(const HistoryEntry &entry, int column) const
{
    const HistoryRecord &r = entry.record;
    switch (column) {
    case Time:
        return r.startedUtc.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    case User:
        return visibleText(r.user);
    case SheetType:
        // A record from a newer program may name a type this one does not know; its number
        // alone is still true.
        if (!isValidSheetType(r.sheetType))
            return QString::number(r.sheetType);
        return QStringLiteral("%1 %2")
            .arg(r.sheetType)
            .arg(QString::fromUtf8(sheetTypeInfo(r.sheetType).caption));
    case Numbers:
        return recordNumbersText(r);
    case Labels:
        return QString::number(r.labels);
    case Where:
        if (r.queue.isEmpty())
            return visibleText(r.pdfPath);
        if (entry.cupsJobId > 0)
            return QStringLiteral("%1（ジョブ %2）").arg(visibleText(r.queue)).arg(entry.cupsJobId);
        return visibleText(r.queue);
    case Outcome:
        // A word this version does not know is shown as it stands.
        if (entry.outcome == JobOutcome::Unknown)
            return visibleText(entry.unknownOutcome);
        return outcomeJapanese(entry.outcome);
    }
    return QString();
}

QVariant HistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= mEntries.size())
        return QVariant();
    const HistoryEntry &entry = mEntries.at(index.row());
    if (role == Qt::DisplayRole)
        return cellText(entry, index.column());
    if (role == Qt::ToolTipRole && index.column() == Outcome && !entry.reason.isEmpty())
        return visibleText(entry.reason);
    if (role == Qt::TextAlignmentRole && index.column() == Labels)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(kHeadings[section]);
}

} // namespace corvial
