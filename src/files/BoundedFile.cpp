// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/BoundedFile.h"

#include "files/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvial {

namespace {

bool failWith(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

} // namespace

BoundedFile::~BoundedFile()
{
    if (mFd >= 0)
        ::close(mFd);
}

bool BoundedFile::open(const QString &path, QString *reason)
{
    if (mFd >= 0) {
        ::close(mFd);
        mFd = -1;
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return failWith(reason, qt_error_string(errno));
    if (!S_ISREG(st.st_mode))
        return failWith(reason, notRegularReason(st.st_mode));
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return failWith(reason, qt_error_string(errno));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const QString why =
            S_ISREG(st.st_mode) ? qt_error_string(errno) : notRegularReason(st.st_mode);
        ::close(fd);
        return failWith(reason, why);
    }
    mFd = fd;
    mSize = st.st_size;
    return true;
}

bool BoundedFile::readAll(qint64 maxBytes, QByteArray *out, QString *reason, bool *tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    if (mFd < 0)
        return failWith(reason, qt_error_string(EBADF));
    const auto overLimit = [&] {
        if (tooLarge)
            *tooLarge = true;
        return failWith(
            reason,
            QStringLiteral("ファイルが大きすぎます (%1 バイトまで読み込めます)。").arg(maxBytes));
    };
    if (mSize > maxBytes)
        return overLimit();
    QByteArray content(qsizetype(qMin(mSize, maxBytes) + 1), Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == content.size()) {
            if (got > maxBytes)
                return overLimit();
            // The file grew since it was checked: go on reading up to the limit.
            content.resize(qsizetype(qMin<qint64>(maxBytes + 1, qint64(got) * 2)));
        }
        const ssize_t n = ::pread(mFd, content.data() + got, size_t(content.size() - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failWith(reason, qt_error_string(errno));
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes)
        return overLimit();
    content.truncate(got);
    *out = content;
    return true;
}

bool readBoundedFile(const QString &path, qint64 maxBytes, QByteArray *out, QString *reason,
                     bool *tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    BoundedFile file;
    return file.open(path, reason) && file.readAll(maxBytes, out, reason, tooLarge);
}

} // namespace corvial
