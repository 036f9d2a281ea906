// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace corvial {

// Why a file of this mode is no regular file, as a Japanese sentence ("通常のファイルではなく
// 名前付きパイプです。"); meant for modes that are not S_ISREG.
QString notRegularReason(mode_t mode);
// Writes all of data to fd, again after EINTR and short writes. 0, or the failing errno.
int writeAll(int fd, const QByteArray &data);
// fsync of fd. 0, or the errno; a file system that cannot sync at all is not a failure.
int syncToDisk(int fd);
// Syncs the folder that holds path, so that a rename in it survives a power cut. 0 or errno.
int syncFolderOf(const QString &path);

// Why path cannot be written as an output file: the reason when it names a FIFO, device,
// socket or folder (or a link to one); empty for a regular file, a new file, or a name that
// cannot be looked at (writing it then fails with the system's reason).
QString outputProblem(const QString &path);
// True when a and b name the same file: by device and inode where both exist, otherwise by
// their absolute paths with every link resolved.
bool sameFile(const QString &a, const QString &b);
// True when a file name given as bytes comes back as the same bytes after decoding, so that
// a file opened under the decoded name is the file that was meant.
bool nameSurvivesDecoding(const QByteArray &name);
// path as a message shows it: absolute, with native separators, and every invisible or
// control character written as U+XXXX (visibleText).
QString displayPath(const QString &path);

// How a new version is named for the moments it has a name (see StagedFile).
enum class StagedNames {
    // "." + the file's name + ".corvial-" + 6 letters or digits; create() removes the ones a
    // killed run left behind once they are ten minutes old.
    Hidden,
    // The file's name + "." + 6 letters of both cases (isBesideVersionName); create() removes
    // nothing, the owner of the file clears them at a moment it knows to be safe.
    Beside,
};

// True when entry (a name in the folder of fileName) is a version of fileName named by
// StagedNames::Beside. Copies a person makes ("start.txt.backup", ".BACKUP", ".Backup")
// never are; digits and one case only are refused for the same reason.
bool isBesideVersionName(const QString &entry, const QString &fileName);

// A new version of a file, written beside it and put in its place only when it is complete:
// until commit() the file keeps its old contents, and an abandoned version is removed. A
// link is followed: the file it points to is replaced and the link stays. The new version
// is an unnamed file in the target's folder (O_TMPFILE), so a run killed while writing it
// leaves nothing behind; it gets a name (StagedNames) only for the moment of the rename.
// Where the file system cannot make unnamed files it has that name from the start.
class StagedFile
{
public:
    // target: the file to replace (it may not exist yet). Nothing is created yet.
    explicit StagedFile(const QString &target, StagedNames names = StagedNames::Hidden);
    // Removes the new version unless it was committed.
    ~StagedFile();
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    // Refuses a target that is no regular file, then makes the empty new version. False
    // with a Japanese reason in *error.
    bool create(QString *error);
    // The path a writer opens to fill the new version (empty before create()): the
    // /proc/self/fd name of the unnamed file, or the name of the fallback. It can be
    // opened and written, read back and truncated, but not renamed.
    QString tempPath() const;
    // True when the new version is unnamed, so that a killed run leaves nothing.
    bool isUnnamed() const;
    // Makes the new version hold exactly data, every write(2) checked. False with the
    // system's reason in *error.
    bool write(const QByteArray &data, QString *error);
    // Syncs the new version, gives it the rights of the file it replaces (or those of a new
    // file), renames it over the target and syncs the folder. False with the system's
    // reason in *error; the target then holds its old contents unless replaced() is true.
    bool commit(QString *error);
    // True once commit() has renamed the new version over the target, even if syncing the
    // folder afterwards failed.
    bool replaced() const { return mReplaced; }
    // Removes the new version now.
    void discard();

private:
    bool createNamed(QString *error);
    QString freshName() const;

    QString mTarget;
    StagedNames mNames;
    QString mResolved;
    QString mTemp;
    int mFd = -1; // the unnamed file, held open until it is named or given up
    bool mReplaced = false;
};

} // namespace corvial
