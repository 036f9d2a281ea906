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
    return proofKindOf(job.sheetType) == ProofKind::Memo ? job.memo7 : job.memo3;
}

LabelJob sampleJob(const LabelJob &job, int sampleIndex)
{
    if (sampleIndex < 0 || sampleIndex >= job.sampleTexts.size())
        return job;
    LabelJob sample = job;
    const QString &text = job.sampleTexts.at(sampleIndex);
    switch (proofKindOf(job.sheetType)) {
    case ProofKind::Circle:
        sample.entryText = text;
        sample.circleText = text;
        break;
    case ProofKind::Memo:
        sample.memo7 = text;
        break;
    case ProofKind::Number:
    case ProofKind::TextOnly:
        sample.memo3 = text;
        break;
    }
    return sample;
}

QString circleExportText(const QString &circleText)
{
    return circleText.isEmpty() ? QStringLiteral(" ") : circleText;
}

} // namespace corvial
