// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

namespace corvial {

// font naming, instead of its family, the installed family Qt draws that family with (asked
// once per family name in the process); the same font when its family is installed. Size,
// weight and style stay font's. Needs a QGuiApplication.
QFont withInstalledFamily(const QFont &font);

} // namespace corvial
