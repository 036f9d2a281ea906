// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryRecord.h"

#include <QAbstractTableModel>
#include <QList>

namespace corvial {

// The print history's entries as the history window's table shows them, one row per job in
// the order given (the store gives newest first).
class HistoryTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Id,
        Time,
        User,
        SheetType,
        Numbers,
        Labels,
        Where,
        Outcome,
        Reprint,
        FirstText,
        ColumnCount
    };
    // What a heading click sorts by: numbers and times as such, the rest as shown.
    static constexpr int SortRole = Qt::UserRole;

    explicit HistoryTableModel(QObject *parent = nullptr);

    // Replaces the rows with entries.
    void setEntries(const QList<HistoryEntry> &entries);
    // Adds entries after the rows shown.
    void appendEntries(const QList<HistoryEntry> &entries);
    // Puts each of entries in place of the row with its id, if one is shown.
    void updateEntries(const QList<HistoryEntry> &entries);
    // The entries shown, in row order.
    const QList<HistoryEntry> &entries() const { return mEntries; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // Display text of every cell; tooltips with the failure reason and the first text in
    // their own lines; a failed, aborted or cancelled job's outcome has an icon and a tint.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString cellText(const HistoryEntry &entry, int column) const;
    QVariant sortKey(const HistoryEntry &entry, int column) const;
    QVariant toolTip(const HistoryEntry &entry, int column) const;

    QList<HistoryEntry> mEntries;
};

} // namespace corvial
