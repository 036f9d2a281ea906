// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/SafeFile.h"

#include "job/TextCharacters.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvial {

namespace {

struct FdCloser
{
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// As many links as the kernel follows in one name; a chain longer than this is a loop.
constexpr int kMaxLinkDepth = 40;

// The file a path stands for once every link is followed; for a file that does not exist
// yet, its name in the resolved folder. Dangling links are followed one by one, without
// recursion and at most kMaxLinkDepth deep; empty for a chain longer than that.
QString resolved(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
        const QString canonical = info.canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical;
        // A dangling link is written through, as QSaveFile does: its target is created.
        if (!info.isSymLink()) {
            const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
            return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
        }
        const QString next = info.symLinkTarget();
        info.setFile(next);
    }
    return QString();
}

constexpr char kStagedInfix[] = ".corvial-";
constexpr int kStagedLetters = 6;
// A job writes its files within seconds; a version this old belongs to a run that was
// killed, not to one still writing.
constexpr qint64 kAbandonedSeconds = 10 * 60;

bool isStagedName(const QString &entry, const QString &prefix)
{
    if (!entry.startsWith(prefix) || entry.size() != prefix.size() + kStagedLetters)
        return false;
    for (qsizetype i = prefix.size(); i < entry.size(); ++i) {
        const char16_t c = entry.at(i).unicode();
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Earlier versions of the program saved start.txt through QSaveFile, whose temporary files
// have this pattern too, so that leftovers from before are recognised as well. A word a
// person would give a copy (backup, BACKUP, Backup) has one case or a capital only in front.
bool isBesideSuffix(const QString &suffix)
{
    if (suffix.size() != kStagedLetters)
        return false;
    int upper = 0;
    for (QChar c : suffix) {
        const char16_t u = c.unicode();
        if (u >= 'A' && u <= 'Z')
            ++upper;
        else if (u < 'a' || u > 'z')
            return false;
    }
    const bool capitalisedWord = upper == 1 && suffix.at(0).isUpper();
    return upper > 0 && upper < kStagedLetters && !capitalisedWord;
}

QString randomLetters(bool digits)
{
    static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const int count = digits ? int(sizeof chars - 1) : 52;
    QString letters;
    for (int i = 0; i < kStagedLetters; ++i)
        letters += QLatin1Char(chars[QRandomGenerator::global()->bounded(count)]);
    return letters;
}

// Tries a fresh name this often before giving up; with 6 random characters a clash is rare.
constexpr int kNameAttempts = 100;

// Removes the versions of the file that a killed run left beside it: regular files with
// exactly the staged name's pattern, and old enough that no running job still writes them.
void removeAbandonedVersions(const QFileInfo &target)
{
    const QDir dir = target.absoluteDir();
    const QString prefix = QLatin1Char('.') + target.fileName() + QLatin1String(kStagedInfix);
    const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-kAbandonedSeconds);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (!isStagedName(entry, prefix))
            continue;
        struct stat st;
        const QByteArray name = QFile::encodeName(dir.filePath(entry));
        if (::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            QDateTime::fromSecsSinceEpoch(st.st_mtime, Qt::UTC) < old)
            ::unlink(name.constData());
    }
}

} // namespace

QString notRegularReason(mode_t mode)
{
    QString kind;
    if (S_ISDIR(mode))
        kind = QStringLiteral("フォルダー");
    else if (S_ISFIFO(mode))
        kind = QStringLiteral("名前付きパイプ");
    else if (S_ISCHR(mode) || S_ISBLK(mode))
        kind = QStringLiteral("デバイス");
    else if (S_ISSOCK(mode))
        kind = QStringLiteral("ソケット");
    else
        kind = QStringLiteral("特殊なファイル");
    return QStringLiteral("通常のファイルではなく%1です。").arg(kind);
}

int writeAll(int fd, const QByteArray &data)
{
    if (fd < 0)
        return EBADF;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += n;
    }
    return 0;
}

int syncToDisk(int fd)
{
    if (fd < 0)
        return EBADF;
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EINVAL || errno == EROFS)
            return 0;
        return errno;
    }
    return 0;
}

int syncFolderOf(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    int fd;
    do {
        fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    const FdCloser closer{fd};
    return syncToDisk(fd);
}

QString outputProblem(const QString &path)
{
    // A new file, a dangling link that will be written through, or a name that cannot be
    // looked at: the write itself then fails and says why.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return S_ISREG(st.st_mode) ? QString() : notRegularReason(st.st_mode);
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa;
    struct stat sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
        ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    const QString ra = resolved(a);
    return !ra.isEmpty() && ra == resolved(b);
}

bool isBesideVersionName(const QString &entry, const QString &fileName)
{
    return entry.size() == fileName.size() + 1 + kStagedLetters && entry.startsWith(fileName) &&
           entry.at(fileName.size()) == QLatin1Char('.') &&
           isBesideSuffix(entry.mid(fileName.size() + 1));
}

bool nameSurvivesDecoding(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

QString displayPath(const QString &path)
{
    return visibleText(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

StagedFile::StagedFile(const QString &target, StagedNames names) : mTarget(target), mNames(names) {}

StagedFile::~StagedFile()
{
    discard();
}

bool StagedFile::create(QString *error)
{
    discard();
    mReplaced = false;
    QString problem = outputProblem(mTarget);
    mResolved = resolved(mTarget);
    if (problem.isEmpty() && mResolved.isEmpty())
        problem = qt_error_string(ELOOP);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    const QFileInfo info(mResolved);
    if (mNames == StagedNames::Hidden)
        removeAbandonedVersions(info);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    int fd;
    do {
        fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // Kernels and file systems without unnamed files say so in one of these ways; any
        // other failure (no such folder, no right to write there) is the answer itself.
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            return createNamed(error);
        if (error)
            *error = qt_error_string(errno);
        return false;
    }
    // The writer opens the file by its /proc name; without /proc (a bare chroot) it could
    // not, so the named version is used there as well.
    const QString self = QStringLiteral("/proc/self/fd/%1").arg(fd);
    if (::access(QFile::encodeName(self).constData(), W_OK) != 0) {
        ::close(fd);
        return createNamed(error);
    }
    // The umask must not leave the owner unable to open it for writing by that name.
    ::fchmod(fd, 0600);
    mFd = fd;
    mTemp = self;
    return true;
}

// A name beside the file for the new version, not yet tried.
QString StagedFile::freshName() const
{
    const QFileInfo info(mResolved);
    // Hidden and named after the file, so that a person who sees one knows what it was.
    if (mNames == StagedNames::Hidden)
        return info.dir().filePath(QLatin1Char('.') + info.fileName() +
                                   QLatin1String(kStagedInfix) + randomLetters(true));
    QString letters;
    do {
        letters = randomLetters(false);
    } while (!isBesideSuffix(letters));
    return info.dir().filePath(info.fileName() + QLatin1Char('.') + letters);
}

bool StagedFile::createNamed(QString *error)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QByteArray name = QFile::encodeName(freshName());
        int fd;
        do {
            fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            ::close(fd);
            mTemp = QFile::decodeName(name);
            return true;
        }
        if (errno != EEXIST) {
            if (error)
                *error = qt_error_string(errno);
            return false;
        }
    }
    if (error)
        *error = qt_error_string(EEXIST);
    return false;
}

QString StagedFile::tempPath() const
{
    return mTemp;
}

bool StagedFile::isUnnamed() const
{
    return mFd >= 0;
}

bool StagedFile::write(const QByteArray &data, QString *error)
{
    const auto fail = [error](int err) {
        if (error)
            *error = qt_error_string(err);
        return false;
    };
    if (mTemp.isEmpty())
        return fail(ENOENT);
    int fd = mFd;
    if (fd < 0) {
        const QByteArray temp = QFile::encodeName(mTemp);
        do {
            fd = ::open(temp.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return fail(errno);
    } else if (::lseek(fd, 0, SEEK_SET) < 0) {
        return fail(errno);
    }
    const FdCloser closer{fd == mFd ? -1 : fd};
    if (::ftruncate(fd, 0) != 0)
        return fail(errno);
    const int writeError = writeAll(fd, data);
    return writeError == 0 || fail(writeError);
}

bool StagedFile::commit(QString *error)
{
    const auto fail = [error](int err) {
        if (error)
            *error = qt_error_string(err);
        return false;
    };
    if (mTemp.isEmpty())
        return fail(ENOENT);
    const QByteArray target = QFile::encodeName(mResolved);
    int fd = mFd;
    if (fd < 0) {
        const QByteArray temp = QFile::encodeName(mTemp);
        do {
            fd = ::open(temp.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return fail(errno);
    }
    // Closes what commit opened itself; the unnamed file stays open (and so alive) until
    // it has a name or the commit is given up.
    const FdCloser closer{fd == mFd ? -1 : fd};
    // The new version is private until now; it gets the rights of the file it replaces, or
    // those of any new file.
    struct stat old;
    const mode_t mode = ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode)
                            ? old.st_mode & 07777
                            : 0666 & ~currentUmask();
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    const int syncError = syncToDisk(fd);
    if (syncError != 0)
        return fail(syncError);

    if (mFd >= 0) {
        // A hard link cannot replace an existing name, so the file is linked under a fresh
        // name and renamed from there. Should the run be killed in between, the name has
        // the pattern that is cleared away later.
        const QByteArray self = QFile::encodeName(mTemp);
        QByteArray named;
        for (int attempt = 0; named.isEmpty() && attempt < kNameAttempts; ++attempt) {
            const QByteArray candidate = QFile::encodeName(freshName());
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, candidate.constData(),
                         AT_SYMLINK_FOLLOW) == 0)
                named = candidate;
            else if (errno != EEXIST)
                return fail(errno);
        }
        if (named.isEmpty())
            return fail(EEXIST);
        if (::rename(named.constData(), target.constData()) != 0) {
            const int err = errno;
            ::unlink(named.constData());
            return fail(err);
        }
        ::close(mFd);
        mFd = -1;
    } else if (::rename(QFile::encodeName(mTemp).constData(), target.constData()) != 0) {
        return fail(errno);
    }
    mTemp.clear();
    mReplaced = true;
    const int folderError = syncFolderOf(mResolved);
    if (folderError != 0)
        return fail(folderError);
    return true;
}

void StagedFile::discard()
{
    if (mFd >= 0) {
        // Unnamed: closing the last descriptor is all it takes.
        ::close(mFd);
        mFd = -1;
    } else if (!mTemp.isEmpty()) {
        ::unlink(QFile::encodeName(mTemp).constData());
    }
    mTemp.clear();
}

} // namespace corvial
