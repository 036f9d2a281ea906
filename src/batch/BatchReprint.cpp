// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchReprint.h"

#include "barcode/CodeRules.h"
#include "history/PrintRecorder.h"
#include "job/JobRules.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"

namespace corvial {

QString reprintRefusal(const BatchRequest &request, PrintRecorder &history, LabelJob *job)
{
    QString error;
    // The whole record first: what it holds is the record's fault, whatever --only asked for.
    if (!history.reprint(request.reprintId, -1, -1, job, &error))
        return error;
    if (request.onlyFirst >= 0 &&
        !history.reprint(request.reprintId, request.onlyFirst, request.onlyLast, job, &error))
        return QStringLiteral("--only: 「%1」: ").arg(visibleText(request.onlyGiven)) + error;
    job->startPos = request.job.startPos;
    job->offsetX = request.job.offsetX;
    job->offsetY = request.job.offsetY;
    const int labels = job->sheetType.family().labels;
    if (request.startGiven && job->startPos > labels)
        return QStringLiteral("--start: %1の開始位置は 1～%2 です（「%3」）。")
            .arg(sheetTypeWord(job->sheetType))
            .arg(labels)
            .arg(job->startPos);
    if (!job->code || request.pdfPath.isEmpty())
        return QString();
    const QString coarse = codeResolutionProblem(job->sheetType, request.pdfDpi, request.pdfDpi);
    if (coarse.isEmpty())
        return QString();
    if (request.resolutionGiven)
        return QStringLiteral("--resolution: 履歴 %1 の2次元コード: ").arg(request.reprintId) +
               coarse;
    return QStringLiteral("履歴 %1 の2次元コードは既定の解像度（%2 dpi）の PDF に収まりません: ")
               .arg(request.reprintId)
               .arg(request.pdfDpi) +
           coarse + QStringLiteral("\n--resolution で解像度を上げてください。");
}

} // namespace corvial
