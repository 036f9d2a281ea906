// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace corvial {

// How a print attempt ended, as far as the history knows. A job's outcome is the latest
// event written for it; a job with no event yet was started and never completed (the
// program was killed or the machine went down while it was being sent).
enum class JobOutcome {
    Unfinished,
    Printed,
    Waiting, // handed to the print queue, not printed yet: to be checked again later
    Failed,
    Aborted,
    Cancelled,
    Unknown, // a word this program does not know (a newer version's, or a hand edit)
};

// The English word of outcome ("printed", "unfinished"...), used in CSV and JSON; empty for
// Unknown, whose word only the entry holds (outcomeWordOf).
QString outcomeWord(JobOutcome outcome);
// The Japanese word of outcome, as the window shows it ("不明" for Unknown).
QString outcomeJapanese(JobOutcome outcome);
// The outcome whose English word is word; false when no outcome has that word.
bool outcomeFromWord(const QString &word, JobOutcome *outcome);

// One print attempt as it was started: who printed what, how, and where it went. The
// history's own value, filled from a job by the front ends.
struct HistoryRecord
{
    QDateTime startedUtc; // when the attempt began (UTC); shown in local time
    QString user;
    QString host;
    QString program;         // "corvial-manager" or "corvial-batch"
    int sheetType = 1;       // 1..10
    int samples = 0;         // samples of the job
    int repeat = 1;          // labels per sample
    int firstNumber = 0;     // number of the first sample, 0..9999
    QString numberStyle;     // the number style's word ("padded", "plain")
    int startPosition = 1;   // first label position used on the first sheet
    int labels = 0;          // labels printed
    int sheets = 0;          // sheets used
    int nextPosition = 1;    // start position after the job
    int nextNumber = 0;      // number after the job
    QString queue;           // CUPS queue, empty when the job went to a PDF file
    QString cupsServer;      // print server the queue is on (as cupsServerName() names it);
                             // empty for a PDF and in records written before it was kept
    QString pdfPath;         // the PDF written, empty when the job went to a queue
    QStringList sampleTexts; // every sample's text in order ("\n" between a text's lines)
    QString listFile;        // name of the sample list file, empty without a list
    QString listSha256;      // SHA-256 of the list file's content, lower-case hex
    QString jobFile;         // absolute path of the job file the job was read from, "-" for
                             // standard input; empty for a job read from no job file
    QString jobSha256;       // SHA-256 of the job file's bytes, lower-case hex
    QString marker;
    int textColour = 0; // text colour index
    int backColour = 0; // background colour index
    bool frame = false;
    QString alignment; // the alignment's word ("left", "centre", "right")
    QString fontFamily;
    double fontPoints = 0; // font size in points
    QString fontStyle;     // "bold", "italic", "bold italic" or empty
    bool code = false;     // 2-D code on the numbered labels
    QString codePrefix;
    qint64 reprintOf = 0; // id of the record this one prints again, 0 when none

    bool operator==(const HistoryRecord &other) const;
    bool operator!=(const HistoryRecord &other) const { return !(*this == other); }
};

// A record as the store gives it back, with its id and its latest outcome. A job whose CUPS
// id was written as it was sent but whose completion never was (the program ended between
// the two) reads back as Unfinished with that id and the time it was sent as outcomeUtc.
struct HistoryEntry
{
    qint64 id = 0;
    HistoryRecord record;
    JobOutcome outcome = JobOutcome::Unfinished;
    QString reason;         // why it failed, was aborted or cancelled; empty otherwise
    int cupsJobId = 0;      // the print queue's job id, 0 when none is known
    QDateTime outcomeUtc;   // when the latest outcome was written; invalid when unfinished
    QString unknownOutcome; // the word as stored when outcome is Unknown; empty otherwise
};

// The word of e's outcome as the history holds it: outcomeWord, or the unknown word as is.
QString outcomeWordOf(const HistoryEntry &e);

// How many sample numbers there are: after 9999 the numbering starts again at 0.
constexpr int HistoryNumberWrap = 10000;

} // namespace corvial
