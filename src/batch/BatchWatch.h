// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace corvial {

// corvial-batch --watch: a folder whose job files are printed as they arrive.
struct WatchRequest
{
    QString folder;       // absolute, links resolved
    QString printerName;  // the queue every job goes to, or empty
    QString pdfDir;       // absolute: where NAME.pdf (and NAME.xls) go, or empty
    QString settingsPath; // start.txt the jobs take their place from and move on, or empty
    QString historyDb;    // empty: the history of settingsPath, else of the program's own
    QString resolution;   // --resolution as given, passed to each job; empty: not given
    QString wait;         // --wait as given, passed on likewise
};

// True when the arguments ask for a watched folder (--watch is among them).
bool asksForWatch(const QStringList &arguments);
// Reads the arguments of a watched folder into *request. False with the refusal (Japanese,
// naming the option) in *error. undecodable: the arguments whose bytes were not UTF-8.
bool parseWatchCommand(const QStringList &arguments, const QStringList &undecodable,
                       WatchRequest *request, QString *error);

// Watches request.folder until SIGTERM or SIGINT, printing each complete job file once, in
// name order, one at a time, and writing its result. Needs a QGuiApplication. Returns the
// exit status: 0 when stopped by a signal, 1 when the folder could not be watched or was
// lost, 2 when it is refused (another watcher holds the folder or start.txt).
int runWatch(const WatchRequest &request, QTextStream &err);

} // namespace corvial
