// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryNumbers.h"

#include "job/NumberText.h"
#include "job/SheetTypes.h"

namespace corvial {

namespace {

// The history keeps the style as a word so that it outlives a renumbering of the enum.
NumberStyle styleOf(const HistoryRecord &record)
{
    return record.numberStyle == QLatin1String("plain") ? NumberStyle::Plain : NumberStyle::Padded;
}

// How far number lies after the record's first number, counting on from 0 after 9999.
int offsetOf(const HistoryRecord &record, int number)
{
    return ((number - record.firstNumber) % HistoryNumberWrap + HistoryNumberWrap) %
           HistoryNumberWrap;
}

} // namespace

bool recordIsNumbered(const HistoryRecord &record)
{
    return isNumberedType(record.sheetType);
}

int recordSampleNumber(const HistoryRecord &record, int index)
{
    return ((record.firstNumber + index) % HistoryNumberWrap + HistoryNumberWrap) %
           HistoryNumberWrap;
}

QString recordNumberText(const HistoryRecord &record, int number)
{
    return numberText(number, styleOf(record));
}

QString recordNumbersText(const HistoryRecord &record)
{
    if (!recordIsNumbered(record) || record.samples <= 0)
        return QString();
    const QString first = recordNumberText(record, recordSampleNumber(record, 0));
    if (record.samples == 1)
        return first;
    return first + QStringLiteral("〜") +
           recordNumberText(record, recordSampleNumber(record, record.samples - 1));
}

bool sampleRange(const HistoryRecord &record, int first, int last, int *firstIndex, int *lastIndex,
                 QString *error)
{
    const auto printed = [&](int number) {
        return number >= 0 && number < HistoryNumberWrap &&
               offsetOf(record, number) < record.samples;
    };
    for (int number : {first, last}) {
        if (!printed(number)) {
            *error =
                QStringLiteral("番号 %1 はこのジョブで印刷されていません（印刷した番号: %2）。")
                    .arg(number >= 0 && number < HistoryNumberWrap
                             ? recordNumberText(record, number)
                             : QString::number(number),
                         recordNumbersText(record));
            return false;
        }
    }
    const int a = offsetOf(record, first);
    const int b = offsetOf(record, last);
    if (b < a) {
        *error = QStringLiteral("終わりの番号 %1 がこのジョブで始めの番号 %2 より前に"
                                "印刷されています。")
                     .arg(recordNumberText(record, last), recordNumberText(record, first));
        return false;
    }
    *firstIndex = a;
    *lastIndex = b;
    return true;
}

} // namespace corvial
