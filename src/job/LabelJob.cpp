// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/LabelJob.h"

namespace corvial {

int jobLabelCount(const LabelJob &job)
{
    return job.sampleCount * job.repeatCount;
}

LabelJob sampleJob(const LabelJob &job, int sampleIndex)
{
    if (sampleIndex < 0 || sampleIndex >= job.sampleTexts.size())
        return job;
    LabelJob sample = job;
    const QString &text = job.sampleTexts.at(sampleIndex);
    if (job.sheetType.info().textBox.kind == TextBoxKind::OneLine)
        sample.enteredText = text;
    sample.proofText = text;
    return sample;
}

QString circleExportText(const QString &circleText)
{
    return circleText.isEmpty() ? QStringLiteral(" ") : circleText;
}

} // namespace corvial
