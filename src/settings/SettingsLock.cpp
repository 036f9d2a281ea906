// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsLock.h"

#include "files/SafeFile.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <sys/stat.h>

namespace corvial {

namespace {

// Why what stands at the lock's name is no lock file that QLockFile could have made or can
// take over; empty for a regular file or nothing at all.
QString notALockFile(const QString &lockPath)
{
    struct stat st;
    if (::lstat(QFile::encodeName(lockPath).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return QString();
    // QLockFile never makes a link, and one there would let the lock be taken through it.
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("通常のファイルではなくシンボリックリンクです。");
    return notRegularReason(st.st_mode);
}

// QLockFile makes its file with the umask (022 for most users), and it takes over the lock
// of a copy that crashed only by opening that file for writing. Where the users of a group
// share one start.txt (the packaged program keeps it group-writable in a setgid folder), a
// lock left by one of them would keep all the others out until someone deletes it by hand.
// The lock file gets the permissions of start.txt itself, as QSaveFile gives them to the
// file that replaces it. Should that fail, the lock still holds; only another user's
// takeover after a crash would be refused, as it was before.
void shareLikeSettings(const QString &lockPath, const QString &settingsPath)
{
    const QFileInfo settings(settingsPath); // a link's target
    if (settings.exists())
        QFile::setPermissions(lockPath, settings.permissions());
}

// The message for a lock another copy holds, naming that copy where its lock file says.
QString heldElsewhereText(const QLockFile &lock, const QString &settingsPath)
{
    qint64 pid = 0;
    QString host;
    QString application;
    QString holder;
    if (lock.getLockInfo(&pid, &host, &application)) {
        holder = QStringLiteral("（プロセス番号 %1").arg(pid);
        if (!host.isEmpty() && host != QSysInfo::machineHostName())
            holder += QStringLiteral("、コンピューター %1").arg(host);
        holder += QStringLiteral("）");
    }
    // A watched folder holds its start.txt for as long as it runs; the user looking for a
    // second window would never find it.
    if (application == QLatin1String("corvial-batch"))
        return QStringLiteral("設定ファイルは corvial-batch が使用中です: %1\n"
                              "corvial-batch%2 が印刷しているか、監視フォルダー（--watch、サービス "
                              "corvial-watch@…）がこのファイルを使っています。監視フォルダーは"
                              "動いている間ずっと使います。止めてからもう一度お試しください。")
            .arg(displayPath(settingsPath), holder);
    return QStringLiteral("設定ファイルは別の Corvial Manager が使用中です: %1\n"
                          "Corvial Manager は既に起動しています%2。"
                          "先に起動した方をお使いください。")
        .arg(displayPath(settingsPath), holder);
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
    mFailure = Failure::Other;
    // A save renames a new file over one name of start.txt: every other hard link keeps the
    // old file, and whoever uses it would lose the positions saved through this name. A
    // lock by name cannot guard that, so such a start.txt is not taken at all.
    const int links = settingsLinkCount(mSettingsPath);
    if (links > 1) {
        if (error)
            *error = QStringLiteral("設定ファイルをロックできません: %1\n%2")
                         .arg(displayPath(mSettingsPath), hardLinkedSettingsReason(links));
        return false;
    }
    const QString lockPath = settingsLockPath(mSettingsPath);
    // A folder where the lock file belongs cannot be told from a held lock by QLockFile, and
    // a FIFO would stall it; neither is a copy of the program, and no takeover may remove
    // them.
    const QString foreign = notALockFile(lockPath);
    if (!foreign.isEmpty()) {
        mFailure = Failure::NotALockFile;
        if (error)
            *error = QStringLiteral("設定ファイルのロックファイルの場所に、ロックファイルでは"
                                    "ないものがあります: %1\n%2\n"
                                    "それを取り除くか名前を変えてから、もう一度起動してください。")
                         .arg(displayPath(lockPath), foreign);
        return false;
    }
    errno = 0;
    if (mLock->tryLock(0)) {
        mFailure = Failure::None;
        shareLikeSettings(lockPath, mSettingsPath);
        return true;
    }
    if (mLock->error() == QLockFile::LockFailedError && holdsNoProcess()) {
        // A lock file without a readable process number (empty or garbage, as a crash or a
        // power cut during its creation leaves it) can name no copy that is still running.
        mLock->removeStaleLockFile();
        errno = 0;
        if (mLock->tryLock(0)) {
            mFailure = Failure::None;
            shareLikeSettings(lockPath, mSettingsPath);
            return true;
        }
    }
    const int systemError = errno;
    if (mLock->error() == QLockFile::LockFailedError)
        mFailure = Failure::HeldElsewhere;
    if (!error)
        return false;

    if (mLock->error() == QLockFile::LockFailedError) {
        *error = heldElsewhereText(*mLock, mSettingsPath);
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
    return !mLock->isLocked() &&
           (mFailure == Failure::HeldElsewhere || mFailure == Failure::NotALockFile);
}

} // namespace corvial
