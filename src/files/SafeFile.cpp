// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// The file a path stands for once every link is followed; for a file that does not exist
// yet, its name in the resolved folder.
QString resolved(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // A dangling link is written through, as QSaveFile does: its target is created.
    if (info.isSymLink())
        return resolved(info.symLinkTarget());
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
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
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        // A new file, or a dangling link that will be written through.
        if (errno == ENOENT)
            return QString();
        return qt_error_string(errno);
    }
    return S_ISREG(st.st_mode) ? QString() : notRegularReason(st.st_mode);
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa;
    struct stat sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
        ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return resolved(a) == resolved(b);
}

bool nameSurvivesDecoding(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

StagedFile::StagedFile(const QString &target) : mTarget(target) {}

StagedFile::~StagedFile()
{
    discard();
}

bool StagedFile::create(QString *error)
{
    discard();
    const QString problem = outputProblem(mTarget);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    mResolved = resolved(mTarget);
    const QFileInfo info(mResolved);
    // Hidden and named after the file, so that a person who sees one knows what it was.
    QByteArray name = QFile::encodeName(
        QDir(info.absolutePath())
            .filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".corvial-XXXXXX")));
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = qt_error_string(errno);
        return false;
    }
    ::close(fd);
    mTemp = QFile::decodeName(name);
    return true;
}

QString StagedFile::tempPath() const
{
    return mTemp;
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
    const QByteArray temp = QFile::encodeName(mTemp);
    int fd;
    do {
        fd = ::open(temp.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(errno);
    {
        const FdCloser closer{fd};
        // mkstemp makes the file private; the new version gets the rights of the file it
        // replaces, or those of any new file.
        struct stat old;
        const QByteArray target = QFile::encodeName(mResolved);
        const mode_t mode = ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode)
                                ? old.st_mode & 07777
                                : 0666 & ~currentUmask();
        if (::fchmod(fd, mode) != 0)
            return fail(errno);
        const int syncError = syncToDisk(fd);
        if (syncError != 0)
            return fail(syncError);
        if (::rename(temp.constData(), target.constData()) != 0)
            return fail(errno);
    }
    mTemp.clear();
    const int folderError = syncFolderOf(mResolved);
    if (folderError != 0)
        return fail(folderError);
    return true;
}

void StagedFile::discard()
{
    if (mTemp.isEmpty())
        return;
    ::unlink(QFile::encodeName(mTemp).constData());
    mTemp.clear();
}

} // namespace corvial
