// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppIcons.h"

#include <QHash>
#include <QImageReader>
#include <QPixmap>

namespace corvial {

QIcon builtInIcon(const QString &resource)
{
    // A QIcon made from a file name decodes the file again for every icon made from it, and
    // its reader, not told the format, asks every image plugin whether it reads the file
    // before it uses its own PNG reader. Read once here, with the format given, every caller
    // (the application, the window and its buttons) shares one decoded picture.
    static QHash<QString, QIcon> read;
    auto it = read.constFind(resource);
    if (it != read.constEnd())
        return *it;
    QImageReader reader(resource, "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    const QIcon icon = image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
    read.insert(resource, icon);
    return icon;
}

} // namespace corvial
