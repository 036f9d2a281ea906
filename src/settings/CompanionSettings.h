// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/PrinterScale.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace corvial {

// corvial.ini beside start.txt holds what belongs to one start.txt but not in its records:
//     [history]
//     database=postgresql://corvial@historyserver:5432/labels
//     connectTimeout=5
//     lockTimeout=5
//     statementTimeout=5
//     [printer]
//     scaleX=101.0
//     scaleY=99.0
// It is read here alone, once per use, so that the history and the printer scale never see
// two different files. Lines end in LF, CR LF or CR; a UTF-8 byte order mark is skipped;
// blank lines and lines starting with "#" or ";" are comments. Names are case-sensitive.

// Path of corvial.ini beside the file that settingsPath (a start.txt, links followed)
// resolves to.
QString companionSettingsPath(const QString &settingsPath);
// Largest corvial.ini that is read or rewritten, in bytes.
constexpr qint64 MaxCompanionSettingsBytes = 64 * 1024;
// Range of the history's timeouts, in whole seconds (0: no bound), and their default.
constexpr int HistoryTimeoutMaxSeconds = 600;
constexpr int HistoryTimeoutDefaultSeconds = 5;
// Most warnings one read gives; the last one then says how many more there were.
constexpr int MaxCompanionSettingsWarnings = 20;

// One setting: its value, and the line of the file it came from (0: not in the file, the
// value is the default).
template <typename T> struct CompanionSetting
{
    T value{};
    int line = 0;
};

// [history]: where the print history is, and how long its server may take.
struct HistorySettings
{
    CompanionSetting<QString> database; // as written, blanks around it removed; checked by
                                        // the history, which knows what a database URL is
    CompanionSetting<int> connectTimeoutSeconds{HistoryTimeoutDefaultSeconds};
    CompanionSetting<int> lockTimeoutSeconds{HistoryTimeoutDefaultSeconds};
    CompanionSetting<int> statementTimeoutSeconds{HistoryTimeoutDefaultSeconds};
};

// [printer]: the printer's scale, in tenths of a percent.
struct PrinterSettings
{
    CompanionSetting<int> scaleXPermille{ScalePermilleNominal};
    CompanionSetting<int> scaleYPermille{ScalePermilleNominal};

    PrinterScale scale() const { return {scaleXPermille.value, scaleYPermille.value}; }
};

// Everything one read of corvial.ini found. A section whose error is set must not be used
// (its values may be partly read); the other one may. Every text is Japanese; errors do not
// name the file (the caller says what could not be done with which file), warnings do.
struct CompanionSettings
{
    QString path;       // the corvial.ini read
    bool found = false; // false: there is none, every value is its default
    // Why nothing in the file can be used: it cannot be read, is over the size limit, is saved
    // as UTF-16, or holds a section header without its "]". Empty when it was read.
    QString fileError;
    HistorySettings history;
    QString historyError; // "3 行目の [history] database が正しくありません。…", or empty
    PrinterSettings printer;
    QString printerError;
    // Lines that are read past without effect: a section or key the program does not know
    // (a near miss or a difference of case names the known one), a setting outside any
    // section. Each names the file, the line and the word.
    QStringList warnings;

    bool historyUsable() const { return fileError.isEmpty() && historyError.isEmpty(); }
    bool printerUsable() const { return fileError.isEmpty() && printerError.isEmpty(); }
};

// The settings content (any bytes) holds; path only names the file in warnings. Inside
// [history] and [printer] a key the section does not know, a key given twice (also in a
// second header of the same section), a line that is not "key=value" and a value out of its
// range set that section's error; a misspelt section only warns, since other programs'
// sections may share the file.
CompanionSettings parseCompanionSettings(const QByteArray &content, const QString &path);
// The corvial.ini beside the start.txt at settingsPath, read through BoundedFile (at most
// MaxCompanionSettingsBytes; a FIFO, a device, a folder or a link to one is refused without
// being opened). No file gives the defaults, found false and no error.
CompanionSettings readCompanionSettings(const QString &settingsPath);
// The warnings readCompanionSettings(settingsPath) gives, for a front end to show once when
// it starts; errors are left to the print or history that needs the values.
QStringList companionSettingsWarnings(const QString &settingsPath);

} // namespace corvial
