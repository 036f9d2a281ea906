// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFonts.h"

#include <QFontInfo>
#include <QHash>

namespace corvial {

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
        it = installed.insert(requested, QFontInfo(font).family());
    QFont f = font;
    f.setFamilies({*it});
    return f;
}

} // namespace corvial
