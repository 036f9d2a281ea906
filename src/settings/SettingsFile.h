// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/SheetTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace corvial {

// Record lines of start.txt, one per sheet family; the fifth line is the free tail.
constexpr int SettingsRecordLines = 4;

// One record of start.txt: the printer offsets and the start position of one family.
struct FamilySettings
{
    int offsetX = 0;  // horizontal offset index 0..20
    int offsetY = 0;  // vertical offset index 0..20
    int startPos = 1; // first label to print, 1..labels of the family
};

struct Settings
{
    FamilySettings family[5]; // family[1..4] used; [0] unused
    QByteArray tail;          // fifth line, kept byte for byte, without its line ending
};

struct SettingsLoad
{
    Settings settings;         // values to use
    QList<int> malformedLines; // 1-based numbers of record lines (1..4) that were malformed
};

// Reads start.txt content (any bytes): records of families 1..4 from lines 1..4, the
// fifth line as the tail; malformed records keep their defaults and are listed, out-of-range
// values are brought into range.
SettingsLoad parseSettings(const QByteArray &content);
// The five CR LF terminated lines that store the settings; the tail is written up to its
// first line break, so the file always has exactly five lines.
QByteArray formatSettings(const Settings &settings);
// Most bytes of start.txt that are ever read: its five lines are far shorter, and a larger
// file (or one that never ends) must neither stall the start nor fill the memory.
constexpr qint64 MaxSettingsBytes = 64 * 1024;

// Path of start.txt in folder (a folder path, with or without a trailing separator).
QString settingsFilePath(const QString &folder);
// Reads and parses the regular file at path (a link to one is followed), reading at most
// MaxSettingsBytes; beyond those only lines after the fifth may lie. False with a Japanese
// message naming the file and giving the reason in *error when it is missing, unreadable,
// not a regular file (FIFO, device, folder: never opened in a way that could block) or its
// five lines do not fit; *out is then left alone. out and error may be null.
bool readSettingsFile(const QString &path, SettingsLoad *out, QString *error);
// Replaces the file at path (or the regular file a link there points to, keeping the link)
// with formatSettings(settings), all or nothing: the new content is written, flushed and
// synced before it takes the old file's place. Refuses to replace anything that is not a
// regular file, and a file with more than one hard link (the save would split them). False with a
// Japanese message naming the file, the reason and that the old file is unchanged in *error; the
// old file is then byte for byte as it was. error may be null.
bool writeSettingsFile(const QString &path, const Settings &settings, QString *error);
// Whether a save may replace what stands at path by renaming a new file over it: nothing, or
// a regular file (a link to one followed) with one name that this user may write. *exists
// tells whether something stands there. False with the Japanese reason in *reason.
bool checkReplaceable(const QString &path, bool *exists, QString *reason);
// How many hard links the file at path (a link to it followed) has; 0 when it cannot be
// looked at or does not exist.
int settingsLinkCount(const QString &path);
// Why a start.txt with `links` (> 1) hard links is neither locked nor saved, in Japanese.
QString hardLinkedSettingsReason(int links);
// Removes the temporary files an interrupted write of settingsPath left beside it (and beside
// the regular file it links to): regular files named after it plus "." and six letters of
// mixed case, the names such a write uses; any other name is kept. Only call while holding
// the SettingsLock of settingsPath. Returns how many files were removed.
int removeStaleSettingsTemporaries(const QString &settingsPath);
// Japanese warning naming the malformed record lines (in the given order); empty if none.
QString settingsWarningText(const QList<int> &malformedLines);
// Why a save is refused for a start.txt at path that exists but could not be read whole at
// start: writing the values in use would overwrite records that were never read. Japanese,
// naming the file.
QString unreadSettingsSaveError(const QString &path);

} // namespace corvial
