// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryTableModel.h"

#include "history/HistoryNumbers.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QRegularExpression>
#include <QStyle>
#include <QTextDocument>

namespace corvial {

namespace {

const char *const kHeadings[HistoryTableModel::ColumnCount] = {
    "履歴番号", "日時",   "利用者", "ラベルの種類", "番号",
    "ラベル数", "出力先", "結果",   "再印刷",       "最初の文字",
};

// Stands for a line break in a one-line cell; the tooltip shows the lines themselves.
const QString kLineMark = QStringLiteral(" ↵ ");

// The lines of text (any of CR LF, CR or LF ends one), each as visibleText writes it.
QStringList visibleLines(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    for (QString &line : lines)
        line = visibleText(line);
    return lines;
}

// A tooltip of text in its own lines. Anything else that cannot be seen stays written out,
// and a text Qt would take for markup (a reason comes from the print server, a sample text
// from a list file) is shown as the characters it holds.
QString tipText(const QString &text)
{
    const QString plain = visibleLines(text).join(QLatin1Char('\n'));
    return Qt::mightBeRichText(plain) ? Qt::convertFromPlainText(plain) : plain;
}

// The jobs whose labels did not come out are marked by shape as well as by colour.
bool isUnprinted(JobOutcome outcome)
{
    return outcome == JobOutcome::Failed || outcome == JobOutcome::Aborted ||
           outcome == JobOutcome::Cancelled;
}

QIcon outcomeIcon(JobOutcome outcome)
{
    const QStyle::StandardPixmap pixmap =
        outcome == JobOutcome::Failed    ? QStyle::SP_MessageBoxCritical
        : outcome == JobOutcome::Aborted ? QStyle::SP_MessageBoxWarning
                                         : QStyle::SP_DialogCancelButton;
    return QApplication::style()->standardIcon(pixmap);
}

} // namespace

HistoryTableModel::HistoryTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void HistoryTableModel::setEntries(const QList<HistoryEntry> &entries)
{
    beginResetModel();
    mEntries = entries;
    endResetModel();
}

void HistoryTableModel::appendEntries(const QList<HistoryEntry> &entries)
{
    if (entries.isEmpty())
        return;
    const int first = int(mEntries.size());
    beginInsertRows(QModelIndex(), first, first + int(entries.size()) - 1);
    mEntries += entries;
    endInsertRows();
}

void HistoryTableModel::updateEntries(const QList<HistoryEntry> &entries)
{
    for (const HistoryEntry &entry : entries) {
        for (qsizetype row = 0; row < mEntries.size(); ++row) {
            if (mEntries.at(row).id != entry.id)
                continue;
            mEntries[row] = entry;
            emit dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
        }
    }
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
    case Id:
        return QString::number(entry.id);
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
    case Reprint:
        return r.reprintOf > 0 ? QStringLiteral("再印刷 (#%1)").arg(r.reprintOf) : QString();
    case FirstText:
        return r.sampleTexts.isEmpty() ? QString()
                                       : visibleLines(r.sampleTexts.first()).join(kLineMark);
    }
    return QString();
}

QVariant HistoryTableModel::sortKey(const HistoryEntry &entry, int column) const
{
    const HistoryRecord &r = entry.record;
    switch (column) {
    case Id:
        return entry.id;
    case Time:
        return r.startedUtc.toMSecsSinceEpoch();
    case SheetType:
        return r.sheetType;
    case Numbers:
        // A job of a type without numbers printed none: before every numbered one.
        return recordNumbersText(r).isEmpty() ? -1 : r.firstNumber;
    case Labels:
        return r.labels;
    case Reprint:
        return r.reprintOf;
    }
    return cellText(entry, column);
}

QVariant HistoryTableModel::toolTip(const HistoryEntry &entry, int column) const
{
    if (column == Outcome && !entry.reason.isEmpty())
        return tipText(entry.reason);
    if (column == FirstText && !entry.record.sampleTexts.isEmpty())
        return tipText(entry.record.sampleTexts.first());
    return QVariant();
}

QVariant HistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= mEntries.size())
        return QVariant();
    const HistoryEntry &entry = mEntries.at(index.row());
    const int column = index.column();
    const bool marked = column == Outcome && isUnprinted(entry.outcome);
    switch (role) {
    case Qt::DisplayRole:
        return cellText(entry, column);
    case SortRole:
        return sortKey(entry, column);
    case Qt::ToolTipRole:
        return toolTip(entry, column);
    case Qt::DecorationRole:
        return marked ? QVariant(outcomeIcon(entry.outcome)) : QVariant();
    case Qt::BackgroundRole:
        return marked ? QVariant(QColor::fromRgb(
                            QRgb(entry.outcome == JobOutcome::Failed ? 0xffd6d6 : 0xffe9c2)))
                      : QVariant();
    case Qt::TextAlignmentRole:
        if (column == Id || column == Labels)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
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
