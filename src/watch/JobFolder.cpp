// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/JobFolder.h"

#include "files/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corvial {

namespace {

const QString JsonSuffix = QStringLiteral(".json");

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// True when user is listed as a member of group, or has it as primary group.
bool userInGroup(uid_t user, gid_t group)
{
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd *found = nullptr;
    if (getpwuid_r(user, &pw, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    if (pw.pw_gid == group)
        return true;
    const QByteArray name(pw.pw_name);
    std::vector<char> groupBuffer(65536);
    struct group gr
    {
    };
    struct group *groupFound = nullptr;
    if (getgrgid_r(group, &gr, groupBuffer.data(), groupBuffer.size(), &groupFound) != 0 ||
        !groupFound)
        return false;
    for (char **member = gr.gr_mem; member && *member; ++member) {
        if (name == *member)
            return true;
    }
    return false;
}

JobFileRead problem(JobFileRead::Problem kind, const QString &reason)
{
    JobFileRead read;
    read.problem = kind;
    read.reason = reason;
    return read;
}

// The checks made on the name and again on the opened descriptor.
JobFileRead statProblem(const struct stat &st, qint64 maxBytes)
{
    if (!S_ISREG(st.st_mode))
        return problem(JobFileRead::NotRegular, S_ISLNK(st.st_mode)
                                                    ? QStringLiteral("シンボリックリンクです。")
                                                    : notRegularReason(st.st_mode));
    if (st.st_size > maxBytes)
        return problem(JobFileRead::TooLarge,
                       QStringLiteral("%1 バイトあり、上限の %2 バイトを超えています。")
                           .arg(st.st_size)
                           .arg(maxBytes));
    if (!ownerMayHandJobs(st.st_uid, geteuid(), getegid()))
        return problem(JobFileRead::Owner,
                       QStringLiteral("所有者（uid %1）が監視するユーザーでもそのグループの"
                                      "ユーザーでもありません。")
                           .arg(st.st_uid));
    return {};
}

} // namespace

bool isJobFileName(const QString &name)
{
    return !name.startsWith(QLatin1Char('.')) && name.size() > JsonSuffix.size() &&
           name.endsWith(JsonSuffix);
}

bool jobNameTooLong(const QString &name)
{
    return QFile::encodeName(name).size() > MaxJobNameBytes;
}

bool stillTheFileRead(const QString &path, const JobFileRead &read)
{
    struct stat st
    {
    };
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_dev == read.device &&
           st.st_ino == read.inode;
}

bool clearResultName(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {
    };
    if (lstat(name.constData(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    if (::unlink(name.constData()) == 0)
        return true;
    *error = QStringLiteral("%1 が通常のファイルではなく、消せません: %2")
                 .arg(displayPath(path), systemReason(errno));
    return false;
}

QString jobBaseName(const QString &name)
{
    return name.endsWith(JsonSuffix, Qt::CaseInsensitive) ? name.chopped(JsonSuffix.size()) : name;
}

QString resultFileName(const QString &name)
{
    return jobBaseName(name) + QStringLiteral(".result.json");
}

bool ownerMayHandJobs(uid_t owner, uid_t self, gid_t group)
{
    return owner == self || (owner != 0 && userInGroup(owner, group));
}

JobFileRead readJobFile(const QString &path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {
    };
    if (lstat(name.constData(), &st) != 0)
        return problem(JobFileRead::Unreadable, systemReason(errno));
    JobFileRead checked = statProblem(st, maxBytes);
    if (checked.problem != JobFileRead::None)
        return checked;
    const int fd = open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP
                   ? problem(JobFileRead::NotRegular, QStringLiteral("シンボリックリンクです。"))
                   : problem(JobFileRead::Unreadable, systemReason(errno));
    JobFileRead read;
    if (fstat(fd, &st) != 0) {
        read = problem(JobFileRead::Unreadable, systemReason(errno));
    } else {
        read = statProblem(st, maxBytes);
        read.device = st.st_dev;
        read.inode = st.st_ino;
    }
    if (read.problem == JobFileRead::None) {
        // One byte more than allowed is asked for, so a file grown since fstat is noticed.
        read.bytes.resize(maxBytes + 1);
        qint64 total = 0;
        while (total < read.bytes.size()) {
            const ssize_t got = ::read(fd, read.bytes.data() + total, read.bytes.size() - total);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                read = problem(JobFileRead::Unreadable, systemReason(errno));
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        if (read.problem == JobFileRead::None && total > maxBytes)
            read = problem(JobFileRead::TooLarge,
                           QStringLiteral("上限の %1 バイトを超えています。").arg(maxBytes));
        else if (read.problem == JobFileRead::None)
            read.bytes.truncate(total);
    }
    ::close(fd);
    return read;
}

QString problemWord(JobFileRead::Problem kind)
{
    switch (kind) {
    case JobFileRead::None:
        return QString();
    case JobFileRead::NotRegular:
        return QStringLiteral("not-regular");
    case JobFileRead::TooLarge:
        return QStringLiteral("too-large");
    case JobFileRead::Owner:
        return QStringLiteral("owner");
    case JobFileRead::Unreadable:
        break;
    }
    return QStringLiteral("unreadable");
}

} // namespace corvial
