// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/JobSummary.h"

#include "job/JobRules.h"
#include "job/LabelJob.h"
#include "lists/CellText.h"

namespace corvial {

JobSummary summarizeJob(SheetType sheetType, int sampleCount, int repeatCount, int startPos,
                        std::optional<ListExtent> list)
{
    LabelJob job;
    job.sheetType = sheetType;
    job.sampleCount = qMax(0, sampleCount);
    // A type that hides the choice prints one label per sample whatever the list last held.
    job.repeatCount = sheetType.info().repeatShown ? qMax(1, repeatCount) : 1;
    job.startPos = startPos;
    JobSummary s;
    s.labels = jobLabelCount(job);
    s.sheets = int(splitJob(s.labels, startPos, sheetType.family().labels).size());
    s.tooMany = exceedsJobSize(job);
    s.text = QStringLiteral("%1 ラベル・%2 枚").arg(s.labels).arg(s.sheets);
    if (list && list->columns > 0) {
        const QString columns =
            list->columns == 1
                ? listColumnName(0)
                : QStringLiteral("%1–%2").arg(listColumnName(0), listColumnName(list->columns - 1));
        s.text += QStringLiteral("（リスト %1 行・列 %2）").arg(list->rows).arg(columns);
    }
    if (s.tooMany)
        s.text += QStringLiteral("　1 回に印刷できるのは %1 ラベルまでです").arg(MaxJobLabels);
    return s;
}

} // namespace corvial
