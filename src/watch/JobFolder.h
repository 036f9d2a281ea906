// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace corvial {

// The folders a watched folder's jobs move into with their results.
inline QString doneFolderName()
{
    return QStringLiteral("done");
}
inline QString failedFolderName()
{
    return QStringLiteral("failed");
}

// True for a job file's name: ends in ".json" and does not begin with "." (a writer's
// half-written file, or our own staging). "NAME.json.tmp", "NAME.JSON" and other extensions
// are a writer's business and left alone: "a.JSON" beside "a.json" would share its outputs.
bool isJobFileName(const QString &name);
// Longest job file name, in bytes: its result is staged under a name 40 bytes longer, and
// file systems take 255.
constexpr int MaxJobNameBytes = 200;
// True when name is too long for its result to be written beside it.
bool jobNameTooLong(const QString &name);
// The name without its ".json": what the PDF, the workbook and the result are named after.
QString jobBaseName(const QString &name);
// "NAME.result.json".
QString resultFileName(const QString &name);

// Whether a file owned by owner may hand the watcher a job: the watcher's own user, or a user
// of its group (primary or listed member); root's files only when the watcher is root.
bool ownerMayHandJobs(uid_t owner, uid_t self, gid_t group);

// A job file as read, or why it was not.
struct JobFileRead
{
    enum Problem {
        None,
        NotRegular, // a link, a FIFO, a device, a folder...: not read, not even opened
        TooLarge,   // over the bound: not read
        Owner,      // owned by a user outside the watcher's user and group: not read
        Unreadable, // gone, or the system refused to read it
    };
    Problem problem = None;
    QString reason;   // Japanese, without the file's name
    QByteArray bytes; // the whole file when problem is None
    dev_t device = 0; // which file was read, so that one put in its place is not taken for it
    ino_t inode = 0;
};

// True when path still names the file read (not one renamed over it meanwhile).
bool stillTheFileRead(const QString &path, const JobFileRead &read);
// Removes a link (or anything but a regular file) standing at a result's name, so that the
// result is written in its place, never through it. False with the system's reason.
bool clearResultName(const QString &path, QString *error);

// Reads the job file at path without trusting it: its name is looked at without following
// a link, it is opened without following one and without blocking, the opened file is
// checked again (a name swapped in between is caught), and at most maxBytes are read.
JobFileRead readJobFile(const QString &path, qint64 maxBytes);

// The short English word a result gives for a problem ("not-regular", "too-large", "owner").
QString problemWord(JobFileRead::Problem problem);

} // namespace corvial
