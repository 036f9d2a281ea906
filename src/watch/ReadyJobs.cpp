// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/ReadyJobs.h"

#include <algorithm>

namespace corvial {

void ReadyJobs::movedIn(const QString &name)
{
    mMovedIn.insert(name);
}

void ReadyJobs::changed(const QString &name)
{
    // A file renamed in and then written again is being written after all.
    mMovedIn.remove(name);
}

void ReadyJobs::taken(const QString &name)
{
    mMovedIn.remove(name);
    mSeen.remove(name);
}

QStringList ReadyJobs::look(const QMap<QString, FileStamp> &present, qint64 wallMs, qint64 monoMs,
                            qint64 *retryMs)
{
    QStringList ready;
    qint64 retry = -1;
    const auto wait = [&retry](qint64 ms) {
        ms = std::clamp<qint64>(ms, 1, SettleMs);
        retry = retry < 0 ? ms : std::min(retry, ms);
    };
    // Gone files are forgotten; QMap keeps the names in order.
    for (auto it = mSeen.begin(); it != mSeen.end();)
        it = present.contains(it.key()) ? std::next(it) : mSeen.erase(it);
    for (auto it = mMovedIn.begin(); it != mMovedIn.end();)
        it = present.contains(*it) ? std::next(it) : mMovedIn.erase(it);
    for (auto it = present.cbegin(); it != present.cend(); ++it) {
        const QString &name = it.key();
        auto found = mSeen.find(name);
        if (found == mSeen.end() || !(found->stamp == it.value()))
            found = mSeen.insert(name, Seen{it.value(), monoMs});
        const Seen &seen = *found;
        const qint64 quietWall = wallMs - it.value().modifiedMs;
        const qint64 quietSeen = monoMs - seen.sinceMono;
        if (mMovedIn.contains(name) || quietWall >= SettleMs || quietSeen >= SettleMs)
            ready << name;
        else
            wait(SettleMs - std::max(quietWall, quietSeen));
    }
    *retryMs = retry;
    return ready;
}

} // namespace corvial
