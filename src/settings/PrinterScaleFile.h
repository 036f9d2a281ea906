// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/PrinterScale.h"
#include "settings/CompanionSettings.h"

#include <QByteArray>
#include <QString>

namespace corvial {

// The printer's scale is kept in corvial.ini beside start.txt (see CompanionSettings.h), as
//     [printer]
//     scaleX=101.0
//     scaleY=99.0
// in percent, one pair per start.txt. A missing file, section or key means 100.0 %.

// The scale corvial.ini content (any bytes) sets, starting from 100.0 % both ways. False
// with a Japanese reason naming the line and key in *reason when the file cannot be read as
// a whole or its [printer] section is refused (see parseCompanionSettings); *out then stays.
bool parsePrinterScale(const QByteArray &content, PrinterScale *out, QString *reason);
// content with scaleX and scaleY of the first [printer] set to scale: lines already there
// are replaced, missing ones added to the section (a section is added at the end when there
// is none) with the line end the file's first line has; every other byte, a byte order mark
// and CR line ends included, stays as it was.
QByteArray withPrinterScale(const QByteArray &content, PrinterScale scale);

// The scale saved for the start.txt at settingsPath; 100.0 % when there is no corvial.ini.
// False with a Japanese message naming corvial.ini (and line and key) in *error when it
// cannot be read, is larger than MaxCompanionSettingsBytes or holds a bad scale.
bool readPrinterScale(const QString &settingsPath, PrinterScale *out, QString *error);
// Saves the scale into the corvial.ini of settingsPath, keeping everything else in it,
// all or nothing as start.txt is saved: refused for a link to anything but a regular file,
// for a file with more than one hard link and for one that cannot be read whole; on a full
// disk the old file stays as it was. False with a Japanese message naming the file in *error.
bool writePrinterScale(const QString &settingsPath, PrinterScale scale, QString *error);

} // namespace corvial
