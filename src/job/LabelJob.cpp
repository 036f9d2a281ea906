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
        sample.memoText = text;
        break;
    case ProofKind::Number:
    case ProofKind::TextOnly:
        sample.labelText = text;
        break;
    }
    return sample;
}

QString circleExportText(const QString &circleText)
{
    return circleText.isEmpty() ? QStringLiteral(" ") : circleText;
}

} // namespace corvial
