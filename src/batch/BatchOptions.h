// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace corvial {

// Exit statuses of corvial-batch.
constexpr int BatchSucceeded = 0; // printed (and exported, and saved)
constexpr int BatchFailed = 1;    // a printer, file or lock failure; the system's reason given
constexpr int BatchRefused = 2;   // the command line asks for something the window would not do

constexpr int DefaultPdfDpi = 600;
constexpr int MinPdfDpi = 72;
constexpr int MaxPdfDpi = 2400;

// One batch job as read from the command line.
struct BatchRequest
{
    // Print a job, write the print history to stdout, or print a recorded job again.
    enum class Mode { Print, History, Reprint };
    Mode mode = Mode::Print;
    // The job as the print screen would hold it once its proof is built: texts already turned into
    // the proof texts; start position and offsets as given (or the defaults) until a
    // settings file supplies them.
    LabelJob job;
    QString pdfPath; // PDF output, or empty
    int pdfDpi = DefaultPdfDpi;
    QString printerName;  // CUPS printer, or empty
    int waitSeconds = -1; // how long to follow the printer's job; -1: the canvas's default
    QString xlsPath;      // workbook export, or empty
    QDate exportDate;     // date of the workbook title; invalid = today
    QString settingsPath; // start.txt to take the start position from and advance, or empty
    // --scale-x / --scale-y in tenths of a percent, 0 when not given (job.scale then comes
    // from the corvial.ini beside settingsPath).
    int scaleXGiven = 0;
    int scaleYGiven = 0;
    QStringList warnings; // to show before the job runs

    QString historyDb;        // --history-db value; empty: the history beside settingsPath
    bool noHistory = false;   // print without writing a record
    QString listFile;         // the sample list read, for the record ("-": standard input)
    QString listSha256;       // SHA-256 of its bytes, empty when it came from standard input
    QString jobFile;          // the job file read (--job, a watched folder's), for the record
    QString jobSha256;        // SHA-256 of its bytes
    QDateTime historySince;   // History: entries started at or after this (UTC); invalid: all
    bool historyJson = false; // History: JSON instead of CSV
    qint64 reprintId = 0;     // Reprint: the record printed again
    int onlyFirst = -1;       // Reprint: the sample numbers printed again; -1: the whole job
    int onlyLast = -1;
    QString onlyGiven;            // Reprint: --only as the user wrote it, for the refusals
    bool resolutionGiven = false; // pdfDpi came from --resolution
    bool startGiven = false;      // Reprint: job.startPos came from --start
};

// What the command line asks for.
struct BatchCommand
{
    enum Action { Run, ShowText, Refuse };
    Action action = Refuse;
    BatchRequest request; // for Run
    QString text;         // for ShowText: help or version, for stdout
    QString error;        // for Refuse: a message naming the option, for stderr
    // For a job file's Refuse, a short English word for programs: "too-large", "json" (not a
    // JSON object within the bounds: syntax, UTF-8, depth, a key twice), "key" (a key no job
    // may give there), "value" (of the wrong JSON kind, or refused by its option's check).
    QString refusedWord;
};

// Reads the arguments (arguments[0] is the program) into a request, checking every value
// against the limits the window enforces; undecodable lists the arguments whose bytes were
// not UTF-8, as decoded, so that a file named by one is refused. Never prints and never exits.
BatchCommand parseBatchCommand(const QStringList &arguments,
                               const QStringList &undecodable = QStringList());

struct ListTable;
// The request a job file's arguments (arguments[0] the program) describe, each held to the
// rules of the command line; texts, when not null, is the sample list read in place of the
// file --list names. Throws BatchRefusal.
BatchRequest requestOfJobArguments(const QStringList &arguments, const ListTable *texts);

} // namespace corvial
