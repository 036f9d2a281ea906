// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryRecord.h"

namespace corvial {

namespace {

struct OutcomeWords
{
    JobOutcome outcome;
    const char *english;
    const char *japanese;
};

const OutcomeWords kOutcomes[] = {
    {JobOutcome::Unfinished, "unfinished", "未完了"},
    {JobOutcome::Printed, "printed", "印刷済み"},
    {JobOutcome::Waiting, "waiting", "待機中"},
    {JobOutcome::Failed, "failed", "失敗"},
    {JobOutcome::Aborted, "aborted", "中止"},
    {JobOutcome::Cancelled, "cancelled", "取り消し"},
};

const OutcomeWords &wordsOf(JobOutcome outcome)
{
    for (const OutcomeWords &row : kOutcomes) {
        if (row.outcome == outcome)
            return row;
    }
    return kOutcomes[0];
}

} // namespace

QString outcomeWord(JobOutcome outcome)
{
    if (outcome == JobOutcome::Unknown)
        return QString();
    return QString::fromLatin1(wordsOf(outcome).english);
}

QString outcomeJapanese(JobOutcome outcome)
{
    if (outcome == JobOutcome::Unknown)
        return QStringLiteral("不明");
    return QString::fromUtf8(wordsOf(outcome).japanese);
}

QString outcomeWordOf(const HistoryEntry &e)
{
    return e.outcome == JobOutcome::Unknown ? e.unknownOutcome : outcomeWord(e.outcome);
}

bool outcomeFromWord(const QString &word, JobOutcome *outcome)
{
    for (const OutcomeWords &row : kOutcomes) {
        if (word == QLatin1String(row.english)) {
            *outcome = row.outcome;
            return true;
        }
    }
    return false;
}

bool HistoryRecord::operator==(const HistoryRecord &o) const
{
    return startedUtc == o.startedUtc && user == o.user && host == o.host && program == o.program &&
           sheetType == o.sheetType && samples == o.samples && repeat == o.repeat &&
           firstNumber == o.firstNumber && numberStyle == o.numberStyle &&
           startPosition == o.startPosition && labels == o.labels && sheets == o.sheets &&
           nextPosition == o.nextPosition && nextNumber == o.nextNumber && queue == o.queue &&
           cupsServer == o.cupsServer && pdfPath == o.pdfPath && sampleTexts == o.sampleTexts &&
           listFile == o.listFile && listSha256 == o.listSha256 && jobFile == o.jobFile &&
           jobSha256 == o.jobSha256 && marker == o.marker && textColour == o.textColour &&
           backColour == o.backColour && frame == o.frame && alignment == o.alignment &&
           fontFamily == o.fontFamily && fontPoints == o.fontPoints && fontStyle == o.fontStyle &&
           code == o.code && codePrefix == o.codePrefix && reprintOf == o.reprintOf;
}

} // namespace corvial
