// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/LabelJob.h"

#include "job/SheetTypes.h"

namespace corvial {

int jobLabelCount(const LabelJob &job)
{
    return job.sampleCount * job.repeatCount;
}

const QString &printedProofText(const LabelJob &job)
{
    return proofKindOf(job.sheetType) == ProofKind::Memo ? job.memoText : job.labelText;
}

QString circleExportText(const QString &circleText)
{
    return circleText.isEmpty() ? QStringLiteral(" ") : circleText;
}

} // namespace corvial
