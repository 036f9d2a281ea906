// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

namespace corvial {

// The picture of resource (":/icons/…", a PNG built into the program) as an icon, read once
// per process and shared by every caller; a null icon when the resource cannot be read.
QIcon builtInIcon(const QString &resource);

} // namespace corvial
