// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace corvial {

// Keeps a second copy of the program (or anything else that takes it) away from one
// start.txt: two copies saving in turn would silently undo each other's changes. The lock
// is a file beside start.txt; a lock left by a copy that crashed is taken over. A start.txt
// with more than one hard link is not locked at all: each name would get a lock of its own,
// and a save, which puts a new file in place, would split the names.
class SettingsLock
{
public:
    // settingsPath: the start.txt to guard; nothing is locked until tryLock().
    explicit SettingsLock(const QString &settingsPath);
    // Releases the lock (and removes its file) if this object holds it.
    ~SettingsLock();
    SettingsLock(const SettingsLock &) = delete;
    SettingsLock &operator=(const SettingsLock &) = delete;

    // True when this process now holds the lock for that start.txt (also when it already
    // did); false with a Japanese message naming the file in *error (may be null) when
    // another running copy holds it, something that is no lock file stands at its name,
    // start.txt has several hard links, or the lock file cannot be made.
    bool tryLock(QString *error);
    // True while this object holds the lock.
    bool isLocked() const;
    // True when the last tryLock() failed because the lock is taken: by another running
    // copy, or by something at the lock's name that is not a lock file (a folder, say) and
    // that only a person can clear. False when it failed because start.txt has several hard
    // links or the lock file could not be made.
    bool isHeldElsewhere() const;

private:
    enum class Failure { None, HeldElsewhere, NotALockFile, Other };

    // True when the lock file names no process at all (empty or unreadable).
    bool holdsNoProcess() const;

    QString mSettingsPath;
    std::unique_ptr<QLockFile> mLock;
    Failure mFailure = Failure::None;
};

// The lock file that SettingsLock uses for settingsPath: the name of the file it resolves to
// (itself when it is no link or does not exist yet) plus ".lock".
QString settingsLockPath(const QString &settingsPath);

} // namespace corvial
