// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QStringList>
#include <cstdint>

namespace corvial {

// Colour values are $00BBGGRR: red in the lowest byte.
using ColourValue = std::uint32_t;

constexpr int TextColourCount = 9;
constexpr int BackColourCount = 8;

// Items of the text colour list, in list order.
QStringList textColourNames();
// Items of the background colour list, in list order.
QStringList backColourNames();

// Text colour of list position 0..8; black for any other index.
ColourValue TextColorOf(int index);
// Background colour of list position 0..7; white for any other index.
ColourValue BackColorOf(int index);

// $00BBGGRR to a QColor and back.
QColor toQColor(ColourValue value);
ColourValue fromQColor(const QColor &colour);

} // namespace corvial
