// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace corvial {

// Where the print history lives: an SQLite file, or a PostgreSQL database that several PCs
// share. No password is ever part of it: libpq takes it from ~/.pgpass or PGPASSWORD.
struct HistoryLocation
{
    enum class Kind { SqliteFile, PostgreSql };
    Kind kind = Kind::SqliteFile;
    QString filePath; // SqliteFile: absolute path of the database file
    QString user;     // PostgreSql: role, server, port and database
    QString host;
    int port = 5432;
    QString database;
    // Mode bits a new SQLite file gets (those of start.txt, so that the group that shares
    // start.txt shares the history); -1 lets the store use 0664.
    int fileMode = -1;
    // PostgreSql: how long, in seconds, a connection may take to open, a statement may wait
    // for a lock another connection holds, and a statement may run; 0 is no bound.
    int connectTimeoutSeconds = 5;
    int lockTimeoutSeconds = 5;
    int statementTimeoutSeconds = 5;

    // The database as messages name it: the file path, or user@host:port/database.
    QString displayName() const;
};

// Name of the settings file beside start.txt that may name a shared database.
QString historySettingsFileName();

// Parses "postgresql://USER@HOST:PORT/DATABASE" (port may be left out; HOST may be an IPv6
// address in brackets; USER and DATABASE may be percent-encoded). False with a Japanese
// reason in *reason for anything else, including a URL that holds a password.
bool parsePostgresUrl(const QString &url, HistoryLocation *out, QString *reason);
// A --history-db value: a PostgreSQL URL as above, or the path of an SQLite file. False with
// a Japanese message naming the value in *error.
bool historyLocationFromValue(const QString &value, HistoryLocation *out, QString *error);
// The history that belongs to the start.txt at settingsPath (links followed to the file it
// resolves to): the database named by [history] database= in corvial.ini beside that file,
// or history.sqlite beside it when there is no corvial.ini or it names none, with the
// timeouts of [history] (readCompanionSettings reads the file). False with a Japanese
// message naming corvial.ini, the line and the key when it cannot be read, its [history]
// is refused or its database is no PostgreSQL URL. Warnings are not part of it: see
// companionSettingsWarnings().
bool historyLocationForSettings(const QString &settingsPath, HistoryLocation *out, QString *error);

} // namespace corvial
