// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BatchOptions.h"
#include "sequence/PrintSequence.h"

#include <QString>

class QTextStream;

namespace corvial {

// Carries out a checked request as the window's Print (and Excel) would: with a settings
// file, locks it against a running window, takes the sheet's start position and offsets from
// it and saves the advanced start position after a successful print; writes the workbook
// before printing. The job is recorded in the request's history (--history-db, else the one
// beside the start.txt of --settings or, when it exists, the program's own) before it is sent
// and completed after it ended; opening a history first marks the jobs CUPS ended unprinted
// since they were left waiting, and tells err. One summary line goes to out, warnings and the
// reason of a failure to err. A History request writes the history to out instead; a Reprint prints
// a recorded job again. Returns BatchSucceeded, BatchFailed, or BatchRefused for a reprint the
// history cannot serve. Needs a QGuiApplication.
int runBatch(const BatchRequest &request, QTextStream &out, QTextStream &err);

class SettingsLock;

// How one printed (or refused) job of the batch printer ended, for a front end that reports
// it on its own, the watched folder.
struct BatchJobEnd
{
    int status = BatchFailed; // as runBatch returns it
    bool ran = false;         // the print sequence ran: outcome holds how it ended
    PrintOutcome outcome;
    // For a job that did not print: a short English word for programs ("settings",
    // "output", "printer", "history", "font", "scale", "print", "aborted", "cancelled").
    QString failWord;
};

// The job of a Print or Reprint request, carried out and reported as runBatch does. held,
// when given, is the lock on request.settingsPath the caller already holds (a watched
// folder keeps it for as long as it runs); start.txt is read afresh all the same.
BatchJobEnd runBatchJob(const BatchRequest &request, SettingsLock *held, QTextStream &out,
                        QTextStream &err);

// The start.txt whose history a run uses when --history-db names none: settingsPath (of
// --settings), else the program's own when it exists. Empty when there is none (a build
// tree, a copied binary): such a run is not recorded rather than making a history nobody
// looks at.
QString historySettingsOf(const QString &settingsPath);

// The short English word for how a job that did not print ended.
QString stepWord(const PrintOutcome &outcome);

} // namespace corvial
