// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/OwnFiles.h"

#include "files/SafeFile.h"
#include "history/HistoryLocation.h"
#include "settings/PrinterScaleFile.h"
#include "settings/SettingsLock.h"

#include <QDir>
#include <QFileInfo>

namespace corvial {

namespace {

// SQLite keeps a database's unfinished writes in these files beside it; replacing one loses
// or corrupts the records as surely as replacing the database.
const char *const kSqliteCompanions[] = {"-wal", "-shm", "-journal"};

void addSqlite(QList<OwnFile> &files, const QString &database)
{
    files << OwnFile{database, QStringLiteral("印刷履歴のデータベース")};
    for (const char *suffix : kSqliteCompanions)
        files << OwnFile{database + QLatin1String(suffix),
                         QStringLiteral("印刷履歴のデータベースの作業ファイル")};
}

// The name a file not made yet would get: its folder with links resolved, and its own name.
QString folderResolved(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
}

} // namespace

QList<OwnFile> ownFilesOf(const QString &settingsPath, const QString &historyValue)
{
    QList<OwnFile> files;
    if (!settingsPath.isEmpty()) {
        files << OwnFile{settingsPath, QStringLiteral("スタートファイル")}
              << OwnFile{settingsLockPath(settingsPath), QStringLiteral("スタートファイルのロック")}
              << OwnFile{companionSettingsPath(settingsPath),
                         QStringLiteral("設定ファイル（corvial.ini）")};
        HistoryLocation location;
        QString error;
        if (historyLocationForSettings(settingsPath, &location, &error)) {
            if (location.kind == HistoryLocation::Kind::SqliteFile)
                addSqlite(files, location.filePath);
        } else {
            // The history cannot be told; the default one may well be there all the same.
            addSqlite(files, QFileInfo(companionSettingsPath(settingsPath))
                                 .absoluteDir()
                                 .filePath(QStringLiteral("history.sqlite")));
        }
    }
    HistoryLocation named;
    QString error;
    if (!historyValue.isEmpty() && historyLocationFromValue(historyValue, &named, &error) &&
        named.kind == HistoryLocation::Kind::SqliteFile)
        addSqlite(files, named.filePath);
    return files;
}

bool namesOwnFile(const QString &path, const OwnFile &file)
{
    if (sameFile(path, file.path))
        return true;
    const QFileInfo given(path);
    if (given.exists() || given.isSymLink())
        return false;
    // On a FAT stick or a Samba share "HISTORY.SQLITE-WAL" would be the journal SQLite opens
    // next; on ext4 it is another file, and refusing that name costs the user little.
    const QFileInfo own(file.path);
    const QString ownName =
        own.exists() ? own.canonicalFilePath() : folderResolved(own.absoluteFilePath());
    return folderResolved(path).compare(ownName, Qt::CaseInsensitive) == 0;
}

QString ownFileProblem(const QString &path, const QStringList &settingsPaths,
                       const QString &historyValue)
{
    QList<OwnFile> files;
    for (const QString &settings : settingsPaths)
        files << ownFilesOf(settings);
    files << ownFilesOf(QString(), historyValue);
    for (const OwnFile &file : files) {
        if (!namesOwnFile(path, file))
            continue;
        const QString given = displayPath(path);
        const QString own = displayPath(file.path);
        // A link or another spelling is named with the file it reaches.
        const QString which =
            given == own
                ? QStringLiteral("%1 は%2です。").arg(given, file.what)
                : QStringLiteral("%1 は%2（%3）と同じファイルです。").arg(given, file.what, own);
        return which + QStringLiteral("このプログラムが使うファイルなので、出力にもリストにも"
                                      "使いません。別のファイルを指定してください。");
    }
    return QString();
}

QString ownOutputProblem(const QString &outputPath, const QString &settingsPath)
{
    return ownFileProblem(outputPath, {settingsPath});
}

} // namespace corvial
