// SPDX-License-Identifier: GPL-3.0-or-later
#include "Colours.h"

namespace corvial {

namespace {

struct NamedColour
{
    const char *name;
    ColourValue value;
};

const NamedColour kText[TextColourCount] = {
    {"Black", 0x000000}, {"Red", 0x0000FF},    {"Blue", 0xFF0000},
    {"Green", 0x008000}, {"Yellow", 0x00FFFF}, {"Magenta", 0xFF00FF},
    {"Aqua", 0xFFFF00},  {"Lime", 0x00FF00},   {"White", 0xFFFFFF},
};

const NamedColour kBack[BackColourCount] = {
    {"White", 0xFFFFFF},  {"Yellow", 0x00FFFF}, {"SkyBlue", 0xF0CAA6}, {"Green", 0x008000},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},    {"Aqua", 0xFFFF00},    {"Lime", 0x00FF00},
};

template <int N> QStringList namesOf(const NamedColour (&table)[N])
{
    QStringList names;
    names.reserve(N);
    for (const NamedColour &c : table)
        names << QLatin1String(c.name);
    return names;
}

} // namespace

QStringList textColourNames()
{
    return namesOf(kText);
}

QStringList backColourNames()
{
    return namesOf(kBack);
}

ColourValue TextColorOf(int index)
{
    return index >= 0 && index < TextColourCount ? kText[index].value : kText[0].value;
}

ColourValue BackColorOf(int index)
{
    return index >= 0 && index < BackColourCount ? kBack[index].value : kBack[0].value;
}

QColor toQColor(ColourValue v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

ColourValue fromQColor(const QColor &c)
{
    return ColourValue(c.red()) | (ColourValue(c.green()) << 8) | (ColourValue(c.blue()) << 16);
}

} // namespace corvial
