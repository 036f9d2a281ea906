// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvial {

// The files the program keeps beside a start.txt. A PDF, workbook or list given the name of
// one of them would replace the settings or the print history with a job's output, so every
// front end asks ownFileProblem before it writes (or reads a list from) a file the user named.

// One of the program's own files.
struct OwnFile
{
    QString path; // where it is, or would be once made
    QString what; // what it is, in Japanese ("印刷履歴のデータベース")
};

// The own files of the start.txt at settingsPath: start.txt itself, its lock, corvial.ini and
// the history it names when that is an SQLite file, with the database's -wal, -shm and
// -journal files. historyValue, when not empty, is a --history-db value whose SQLite file
// (and its companions) is added. A corvial.ini that cannot be read still leaves the default
// history.sqlite beside start.txt on the list.
QList<OwnFile> ownFilesOf(const QString &settingsPath, const QString &historyValue = QString());

// True when path names file: the same device and inode where both exist, otherwise the same
// name once every link (a dangling one too) and the folder's links are resolved. A name that
// does not exist yet matches regardless of case, since its folder may not tell case apart.
bool namesOwnFile(const QString &path, const OwnFile &file);

// Empty when path is none of the own files of the start.txt files settingsPaths (and of
// historyValue); otherwise the Japanese reason naming path and what it is.
QString ownFileProblem(const QString &path, const QStringList &settingsPaths,
                       const QString &historyValue = QString());

// For the window's Print to File: the reason a PDF at outputPath must not be written, beside
// the start.txt at settingsPath; empty when it may.
QString ownOutputProblem(const QString &outputPath, const QString &settingsPath);

} // namespace corvial
