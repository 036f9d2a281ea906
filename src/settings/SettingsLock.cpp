// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>

#include <cerrno>

namespace corvial {

namespace {

QString displayPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

QString settingsLockPath(const QString &settingsPath)
{
    // Every name of one start.txt shares one lock: a link is locked beside the file it
    // resolves to. That also lets a start.txt link in a read-only program folder point into
    // a folder the users may write to, where the lock can be made.
    const QString target = QFileInfo(settingsPath).canonicalFilePath();
    return (target.isEmpty() ? settingsPath : target) + QStringLiteral(".lock");
}

SettingsLock::SettingsLock(const QString &settingsPath)
    : mSettingsPath(settingsPath),
      mLock(std::make_unique<QLockFile>(settingsLockPath(settingsPath)))
{
    // The program runs for hours: a lock must never count as stale for its age, only
    // because the copy that holds it is gone.
    mLock->setStaleLockTime(0);
}

SettingsLock::~SettingsLock() = default;

bool SettingsLock::tryLock(QString *error)
{
    if (mLock->isLocked())
        return true;
    errno = 0;
    if (mLock->tryLock(0))
        return true;
    if (mLock->error() == QLockFile::LockFailedError && holdsNoProcess()) {
        // A lock file without a readable process number (empty or garbage, as a crash or a
        // power cut during its creation leaves it) can name no copy that is still running.
        mLock->removeStaleLockFile();
        errno = 0;
        if (mLock->tryLock(0))
            return true;
    }
    const int systemError = errno;
    if (!error)
        return false;

    if (mLock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host;
        QString application;
        QString holder;
        if (mLock->getLockInfo(&pid, &host, &application)) {
            holder = QStringLiteral("（プロセス番号 %1").arg(pid);
            if (!host.isEmpty() && host != QSysInfo::machineHostName())
                holder += QStringLiteral("、コンピューター %1").arg(host);
            holder += QStringLiteral("）");
        }
        *error = QStringLiteral("設定ファイルは別の Corvial Manager が使用中です: %1\n"
                                "Corvial Manager は既に起動しています%2。"
                                "先に起動した方をお使いください。")
                     .arg(displayPath(mSettingsPath), holder);
        return false;
    }
    QString reason;
    if (systemError != 0)
        reason = qt_error_string(systemError);
    else if (mLock->error() == QLockFile::PermissionError)
        reason = QStringLiteral("フォルダーに書き込む権限がありません。");
    else
        reason = QStringLiteral("原因は分かりません。");
    *error = QStringLiteral("設定ファイルのロックファイルを作れませんでした: %1\n%2\n"
                            "同じ設定ファイルを使う Corvial Manager が"
                            "ほかに起動していないことを確かめられません。")
                 .arg(displayPath(settingsLockPath(mSettingsPath)), reason);
    return false;
}

bool SettingsLock::holdsNoProcess() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (mLock->getLockInfo(&pid, &host, &application) && pid > 0)
        return false;
    // A copy that has just made the file writes its number right after; give it that moment
    // before taking the file for a leftover.
    QThread::msleep(200);
    return !(mLock->getLockInfo(&pid, &host, &application) && pid > 0);
}

bool SettingsLock::isLocked() const
{
    return mLock->isLocked();
}

bool SettingsLock::isHeldElsewhere() const
{
    return !mLock->isLocked() && mLock->error() == QLockFile::LockFailedError;
}

} // namespace corvial
