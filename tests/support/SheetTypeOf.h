// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/SheetTypes.h"

// The sheet type a test names by its number, as users and files do; a number that is no
// sheet type stops the test at once rather than turning into another type.
inline corvial::SheetType typeOf(int code)
{
    return corvial::SheetType::fromCode(code).value();
}
