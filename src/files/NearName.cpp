// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/NearName.h"

#include <algorithm>

namespace corvial {

namespace {

// Edits (a character put in, left out, changed, or two neighbours swapped) that turn a into b.
int editDistance(const QByteArray &a, const QByteArray &b)
{
    QList<QList<int>> d(a.size() + 1, QList<int>(b.size() + 1, 0));
    for (qsizetype i = 0; i <= a.size(); ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= b.size(); ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

QByteArray nearName(const QByteArray &word, const QList<QByteArray> &known)
{
    if (word.size() > NearNameMaxWord)
        return QByteArray();
    const QByteArray lower = word.toLower();
    QByteArray best;
    int bestDistance = lower.size() < 5 ? 2 : 3;
    for (const QByteArray &name : known) {
        const int distance = editDistance(lower, name.toLower());
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace corvial
