// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace corvial {

// Offset indexes run 0..20 (-5 mm .. +5 mm in 0.5 mm steps, 10 = no shift).
constexpr int MinOffsetIndex = 0;
constexpr int MaxOffsetIndex = 20;
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
// Reads and parses the file at path into *out; false with the system's error text in *error
// when it cannot be read (*out is then left alone). out and error may be null.
bool readSettingsFile(const QString &path, SettingsLoad *out, QString *error);
// Replaces the file at path atomically with formatSettings(settings); false with the
// system's error text in *error when it fails, the old file then being untouched.
bool writeSettingsFile(const QString &path, const Settings &settings, QString *error);
// Japanese warning naming the malformed record lines (in the given order); empty if none.
QString settingsWarningText(const QList<int> &malformedLines);

} // namespace corvial
