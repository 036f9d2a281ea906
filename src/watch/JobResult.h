// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace corvial {

// What a watched folder writes back for one job: NAME.result.json beside the job in done/ or
// failed/, for the lab system that dropped it.
struct JobResult
{
    enum class Status { Printed, Failed, Refused, Interrupted };
    Status status = Status::Failed;
    QString job;    // the job file's name
    QString sha256; // of its bytes; empty when it was not read
    qint64 historyId = 0;
    // A printed job.
    int labels = 0;
    int sheets = 0;
    bool numbered = false; // the type prints numbers: the numbers below mean something
    QString firstNumber;   // as printed
    QString lastNumber;
    int nextPosition = 1;
    int nextNumber = 0;
    int cupsJobId = 0; // 0: none (a PDF)
    QString pdfPath;
    QString xlsPath;
    bool recovered = false; // rebuilt from the history after a restart, not printed again
    QStringList warnings;   // what did not follow the print (the start position not saved...)
    QString startNotSaved;  // why start.txt could not be saved after the print; empty: saved
    // A job that did not print.
    QString reason;  // a short English word for programs
    QString message; // Japanese, for a person
};

// "printed", "failed", "refused", "interrupted".
QString statusWord(JobResult::Status status);

// The result as a JSON object, UTF-8, ending in a line break.
QByteArray resultJson(const JobResult &result);

// What an earlier attempt at the same job file (same name, same bytes) means for it now.
struct EarlierAttempt
{
    enum Kind {
        None,        // never begun: print it
        Printed,     // it went out (or waits in the queue): do not print it again
        Interrupted, // begun, never finished: the sheet may hold some of it
        NotPrinted,  // it ended without printing: its result is that failure
    };
    Kind kind = None;
    HistoryEntry entry;
};

// The meaning of the history's attempts at one job file, newest first.
EarlierAttempt earlierAttempt(const QList<HistoryEntry> &attempts);

// The result of a job the history says printed, rebuilt from its record.
JobResult printedResultOf(const HistoryEntry &entry, const QString &job, const QString &sha256);
// The result of an attempt that never finished.
JobResult interruptedResultOf(const HistoryEntry &entry, const QString &job, const QString &sha256);
// The result of an attempt that ended without printing.
JobResult notPrintedResultOf(const HistoryEntry &entry, const QString &job, const QString &sha256);

// Writes the result whole at path: staged beside it and renamed, so a reader never sees
// half of one. False with a Japanese reason in *error.
bool writeResultFile(const QString &path, const JobResult &result, QString *error);

} // namespace corvial
