// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace corvial {

// What readJsonObject() found: the object and its keys in the order the file gives them, or a
// Japanese reason that names the line and column but not the file.
struct JsonObjectRead
{
    QJsonObject object;
    QStringList keys; // the object's own keys, decoded, in file order
    QString key;      // the key the reason is about (one given twice), else empty
    QString reason;   // empty when read

    bool ok() const { return reason.isEmpty(); }
};

// bytes (already bounded in size by the caller) read as one JSON object: UTF-8, a BOM allowed;
// at most maxDepth levels of objects and arrays, the object being the first, checked before
// the text is parsed so that no input drives the parser's recursion deeper; no key twice in
// one object, compared as decoded ("t\u0079pe" is "type"); otherwise JSON's own syntax.
JsonObjectRead readJsonObject(const QByteArray &bytes, int maxDepth);

} // namespace corvial
