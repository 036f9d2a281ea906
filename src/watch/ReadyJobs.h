// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace corvial {

// What a look at the folder saw of one job file.
struct FileStamp
{
    qint64 size = 0;
    qint64 modifiedMs = 0; // last change of its content, wall clock (ms since the epoch)
    bool operator==(const FileStamp &o) const
    {
        return size == o.size && modifiedMs == o.modifiedMs;
    }
};

// How long a file must stay unchanged before it counts as written whole.
constexpr qint64 SettleMs = 1000;

// Decides when a job file in the folder is complete: at once when it was renamed into the
// folder (the way a writer should deliver it), otherwise once it has not changed for a
// second: its last change lies a second back, or this watcher saw it stay the same for a
// second (a clock that differs from the file server's cannot hold a job back for ever).
// Pure: the caller stats the folder and gives the clocks.
class ReadyJobs
{
public:
    // The folder's event: name was renamed into it (complete), or written to.
    void movedIn(const QString &name);
    void changed(const QString &name);
    // One look at the folder's job files (name -> stamp) at wallMs (wall clock) and monoMs
    // (a monotonic clock): the complete ones, in name order. *retryMs is how long until the
    // next look could find another complete (-1: none is pending).
    QStringList look(const QMap<QString, FileStamp> &present, qint64 wallMs, qint64 monoMs,
                     qint64 *retryMs);
    // The file was taken (moved away): forget it.
    void taken(const QString &name);

private:
    struct Seen
    {
        FileStamp stamp;
        qint64 sinceMono = 0; // when it was first seen with this stamp
    };
    QSet<QString> mMovedIn;
    QHash<QString, Seen> mSeen;
};

} // namespace corvial
