// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/FolderEvents.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace corvial {

FolderEvents::FolderEvents(QObject *parent) : QObject(parent) {}

FolderEvents::~FolderEvents()
{
    if (mFd >= 0)
        ::close(mFd);
}

bool FolderEvents::watch(const QString &folder, QString *error)
{
    mFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (mFd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const uint32_t mask = IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE | IN_MODIFY | IN_ATTRIB |
                          IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    mWatch = inotify_add_watch(mFd, QFile::encodeName(folder).constData(), mask);
    if (mWatch < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    mNotifier = new QSocketNotifier(mFd, QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, &FolderEvents::readEvents);
    return true;
}

void FolderEvents::readEvents()
{
    // A fixed buffer read until the queue is empty: however many events wait, the memory
    // is this buffer's.
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(mFd, buffer, sizeof buffer);
        if (got <= 0)
            return; // EAGAIN: all read
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                emit overflowed();
                continue;
            }
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                emit folderGone();
                continue;
            }
            if (event->len == 0)
                continue;
            const QString name = QFile::decodeName(QByteArray(event->name));
            if (event->mask & IN_MOVED_TO)
                emit movedIn(name);
            else
                emit changed(name);
        }
    }
}

} // namespace corvial
