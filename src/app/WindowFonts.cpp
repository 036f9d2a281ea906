// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QStringList>

namespace corvial {

namespace {

QString installedFamily(const QString &family)
{
    // Qt draws a family with the first of it and its substitutes that is installed; only
    // when none is does fontconfig choose. The installed families' names are looked at
    // first: asking Qt whether a name is installed has fontconfig resolve it as an alias,
    // which costs more than the look-ups it saves. A locale whose fonts are listed by their
    // own names ("IPA Pゴシック") is asked by alias.
    const QStringList candidates = QStringList{family} + QFont::substitutes(family);
    const QStringList installed = QFontDatabase::families();
    for (const QString &candidate : candidates) {
        for (const QString &name : installed) {
            if (name.compare(candidate, Qt::CaseInsensitive) == 0)
                return name;
        }
    }
    for (const QString &candidate : candidates) {
        if (QFontDatabase::hasFamily(candidate))
            return candidate;
    }
    return QFontInfo(QFont(family)).family();
}

} // namespace

QFont withInstalledFamily(const QFont &font)
{
    // The window's faces are the Windows ones, which are not installed here. Qt draws them
    // with the face that stands in for them, but looks for that face anew for every size,
    // style and script it meets, each time by having fontconfig sort all installed fonts:
    // for the window's Japanese captions that was most of the time its fonts took to make.
    // Asked once here, the controls name the stand-in itself, which Qt finds at once.
    static QHash<QString, QString> installed;
    const QString requested = font.family();
    auto it = installed.constFind(requested);
    if (it == installed.constEnd())
        it = installed.insert(requested, installedFamily(requested));
    QFont f = font;
    f.setFamilies({*it});
    return f;
}

} // namespace corvial
