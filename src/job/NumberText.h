// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"

#include <QString>

namespace corvial {

// Padded: zero-padded to at least four digits ("0000": 7 -> "0007"); Plain: "###0" (7 -> "7",
// 0 -> "0"). Negative values keep their sign.
QString numberText(int value, NumberStyle style);

// The number as printed on a label: numberText, and when that is five characters long
// its first character is dropped (10389 -> "0389") so it fits the label's number field.
QString labelNumberText(int value, NumberStyle style);

} // namespace corvial
