// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryRecord.h"
#include "job/JobRules.h"
#include "job/LabelJob.h"

#include <QString>

namespace corvial {

// Where a job went and what it came from, beyond the job itself.
struct RecordSource
{
    QString program;    // "corvial-manager" or "corvial-batch"
    QString queue;      // CUPS queue, empty for a PDF
    QString pdfPath;    // PDF file, empty for a queue
    QString cupsServer; // print server of the queue (cupsServerName()), empty for a PDF
    QString listFile;   // sample list file name, empty without a list
    QString listSha256; // hex SHA-256 of the list file's bytes, empty when unknown
    QString jobFile;    // job file the job was read from (absolute, or "-"), empty without
    QString jobSha256;  // hex SHA-256 of the job file's bytes
    qint64 reprintOf = 0;
};

// This PC's name as records carry it; the re-check of waiting jobs looks only at records
// with this name, so it comes from here alone.
QString recordHostName();

// The record of job as it is about to be sent (advance: advanceAfterPrint(job)), stamped
// now (UTC) with this user and host.
HistoryRecord recordOf(const LabelJob &job, const JobAdvance &advance, const RecordSource &source);

// Index (0-based) of sample number within entry's job, -1 when the job did not print it.
int sampleIndexOf(const HistoryRecord &record, int number);
// The job that prints sample numbers first..last of entry again (first at or before last in
// the job's order, across 9999 -> 0), with the same texts, numbering, look and codes; its
// start position and offsets are left for the caller. False with a Japanese reason naming
// the record in *error when the record's sheet type is unknown, its job breaks a job rule
// (jobRuleProblem, jobCodeProblem) or the numbers are not the job's. The code's room at the
// output's resolution is the caller's to check (codeResolutionProblem).
bool reprintJob(const HistoryEntry &entry, int first, int last, LabelJob *out, QString *error);

} // namespace corvial
