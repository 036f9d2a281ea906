// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a window's Designer form the way the window tests compare it with the window built.

#include <QFile>
#include <QHash>
#include <QList>
#include <QRect>
#include <QString>
#include <QXmlStreamReader>

namespace {

struct FormWidget
{
    QString className;
    QString name;
    QString parentName; // empty for the window itself
    QRect geometry;
    QHash<QString, QString> strings; // caption properties: text, windowTitle, plainText
};

// The widgets of a form in document order, the window first. Nesting is followed with an
// explicit stack, so the reader never recurses.
inline QList<FormWidget> readForm(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024) {
        *error = path + QStringLiteral(": cannot read");
        return {};
    }
    QList<FormWidget> widgets;
    QList<int> open;
    QString property;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        const QStringView tag = xml.name();
        if (xml.isEndElement() && tag == u"widget") {
            open.removeLast();
        } else if (xml.isEndElement() && tag == u"property") {
            property.clear();
        } else if (xml.isStartElement() && tag == u"widget") {
            FormWidget w;
            w.className = xml.attributes().value(QLatin1String("class")).toString();
            w.name = xml.attributes().value(QLatin1String("name")).toString();
            if (!open.isEmpty())
                w.parentName = widgets.at(open.last()).name;
            open << widgets.size();
            widgets << w;
        } else if (xml.isStartElement() && tag == u"property" && !open.isEmpty()) {
            property = xml.attributes().value(QLatin1String("name")).toString();
        } else if (xml.isStartElement() && tag == u"rect" && property == u"geometry") {
            int v[4] = {};
            for (int i = 0; i < 4 && xml.readNextStartElement(); ++i)
                v[i] = xml.readElementText().toInt();
            widgets[open.last()].geometry = QRect(v[0], v[1], v[2], v[3]);
        } else if (xml.isStartElement() && tag == u"string" && !property.isEmpty()) {
            widgets[open.last()].strings.insert(property, xml.readElementText());
        }
    }
    if (xml.hasError())
        *error = path + QStringLiteral(": ") + xml.errorString();
    return widgets;
}

} // namespace
