// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/BoundedFile.h"

#include "files/SafeFile.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
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

// Set by guardStandardInput() when descriptor 0 was closed at start-up and now holds
// /dev/null only to keep its place.
bool standardInputWasClosed = false;

// Bytes asked of read() at a time: a pipe hands over at most this much at once anyway.
constexpr qsizetype kReadChunk = 64 * 1024;

QString tooLargeInput(qint64 maxBytes)
{
    return QStringLiteral("入力が大きすぎます (%1 バイトまで読み込めます)。").arg(maxBytes);
}

QString closedInput()
{
    return QStringLiteral("閉じられています。データはパイプ (|) かリダイレクト (<) で"
                          "渡してください。");
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

void guardStandardInput()
{
    if (::fcntl(STDIN_FILENO, F_GETFD) >= 0 || errno != EBADF)
        return;
    const int fd = ::open("/dev/null", O_RDONLY | O_NOCTTY);
    // open() takes the lowest free descriptor, which is 0; anything else is not a guard.
    if (fd > STDIN_FILENO)
        ::close(fd);
    standardInputWasClosed = true;
}

bool readStandardInput(qint64 maxBytes, int timeoutSeconds, QByteArray *out, QString *reason,
                       bool *tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    struct stat st;
    if (standardInputWasClosed || ::fstat(STDIN_FILENO, &st) != 0)
        return failWith(reason, errno == EBADF || standardInputWasClosed ? closedInput()
                                                                         : qt_error_string(errno));
    // A terminal would wait for someone to type a whole list and end it with Ctrl-D, which
    // nobody running a script expects; the other kinds are never a list.
    if (::isatty(STDIN_FILENO))
        return failWith(reason, QStringLiteral("端末です。データはパイプ (|) かリダイレクト (<) "
                                               "で渡してください。"));
    if (!S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode) && !S_ISREG(st.st_mode))
        return failWith(reason, notRegularReason(st.st_mode));
    const auto overLimit = [&] {
        if (tooLarge)
            *tooLarge = true;
        return failWith(reason, tooLargeInput(maxBytes));
    };
    if (S_ISREG(st.st_mode) && st.st_size > maxBytes)
        return overLimit();

    // The data arrives in as many pieces as the writer makes; only the end of the input
    // (read() giving 0) ends it. Each read waits in poll() first, so that a writer that never
    // closes its end cannot hold the program beyond the deadline, and an input left
    // non-blocking by whoever made the pipe is waited for instead of taken as ended.
    const QDeadlineTimer deadline(std::chrono::seconds{timeoutSeconds});
    QByteArray content;
    qsizetype got = 0;
    for (;;) {
        if (qint64(got) > maxBytes)
            return overLimit();
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(qMin<qint64>(deadline.remainingTime(), 1000)));
        if (ready < 0 && errno != EINTR)
            return failWith(reason, qt_error_string(errno));
        if (ready <= 0) {
            if (deadline.hasExpired())
                return failWith(reason,
                                QStringLiteral("%1 秒待っても終わりませんでした。データを書き込む"
                                               "プログラムが書き終えたら入力を閉じているか"
                                               "確かめてください。")
                                    .arg(timeoutSeconds));
            continue;
        }
        if (content.size() - got < kReadChunk) {
            // Doubling keeps the copies few; the limit plus one byte is the most ever held.
            const qint64 wanted = qMin<qint64>(maxBytes + 1, qint64(got) + qMax(got, kReadChunk));
            content.resize(qsizetype(qMax<qint64>(wanted, got + 1)));
        }
        const ssize_t n = ::read(STDIN_FILENO, content.data() + got, size_t(content.size() - got));
        if (n > 0) {
            got += n;
            continue;
        }
        if (n == 0)
            break;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            continue;
        return failWith(reason,
                        errno == EISDIR ? notRegularReason(S_IFDIR) : qt_error_string(errno));
    }
    content.truncate(got);
    *out = content;
    return true;
}

} // namespace corvial
