// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Writing the files the tests read back: raw bytes, or a text in a given encoding.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringEncoder>

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// text in the encoding Qt knows by that name, with a byte order mark where it has one.
inline QByteArray encoded(const char *encoding, const QString &text)
{
    QStringEncoder enc(encoding, QStringConverter::Flag::WriteBom);
    return enc.encode(text);
}
