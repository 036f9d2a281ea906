// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/PrinterScaleFile.h"

#include "files/BoundedFile.h"
#include "files/SafeFile.h"
#include "job/TextCharacters.h"
#include "settings/IniLines.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace corvial {

namespace {

const QByteArray kSection = QByteArrayLiteral("printer");
const QByteArray kKeyX = QByteArrayLiteral("scaleX");
const QByteArray kKeyY = QByteArrayLiteral("scaleY");

QByteArray keyOf(const QByteArray &line)
{
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? QByteArray() : line.left(eq).trimmed();
}

QByteArray scaleLine(const QByteArray &key, int permille)
{
    return key + '=' + formatScalePercent(permille).toLatin1();
}

} // namespace

bool parsePrinterScale(const QByteArray &content, PrinterScale *out, QString *reason)
{
    const CompanionSettings read = parseCompanionSettings(content, QString());
    if (!read.printerUsable()) {
        if (reason)
            *reason = read.fileError.isEmpty() ? read.printerError : read.fileError;
        return false;
    }
    *out = read.printer.scale();
    return true;
}

QByteArray withPrinterScale(const QByteArray &content, PrinterScale scale)
{
    IniText text = splitIni(content);
    QList<IniLine> &lines = text.lines;
    const QByteArray ending =
        !lines.isEmpty() && !lines.first().ending.isEmpty() ? lines.first().ending : "\n";
    bool inPrinter = false;
    bool inFirstPrinter = false;
    bool wroteX = false;
    bool wroteY = false;
    int insertAt = -1; // after the last setting (or the header) of the first [printer]
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray section;
        if (isIniSection(lines.at(i).text.trimmed(), &section)) {
            inPrinter = section == kSection;
            inFirstPrinter = inPrinter && insertAt < 0;
            if (inFirstPrinter)
                insertAt = i + 1;
            continue;
        }
        if (!inPrinter || isIniComment(lines.at(i).text.trimmed()))
            continue;
        if (inFirstPrinter)
            insertAt = i + 1;
        const QByteArray key = keyOf(lines.at(i).text);
        if (key == kKeyX) {
            lines[i].text = scaleLine(kKeyX, scale.permilleX);
            wroteX = true;
        } else if (key == kKeyY) {
            lines[i].text = scaleLine(kKeyY, scale.permilleY);
            wroteY = true;
        }
    }
    QList<IniLine> added;
    if (insertAt < 0) {
        // A blank line keeps the new section apart from whatever the file ends with.
        if (!lines.isEmpty())
            added << IniLine{QByteArray(), ending};
        added << IniLine{'[' + kSection + ']', ending};
        insertAt = int(lines.size());
    }
    if (!wroteX)
        added << IniLine{scaleLine(kKeyX, scale.permilleX), ending};
    if (!wroteY)
        added << IniLine{scaleLine(kKeyY, scale.permilleY), ending};
    if (!added.isEmpty() && insertAt == lines.size() && !lines.isEmpty() &&
        lines.last().ending.isEmpty())
        lines.last().ending = ending;
    for (int k = 0; k < added.size(); ++k)
        lines.insert(insertAt + k, added.at(k));
    return joinIni(text);
}

bool readPrinterScale(const QString &settingsPath, PrinterScale *out, QString *error)
{
    const CompanionSettings read = readCompanionSettings(settingsPath);
    if (!read.printerUsable()) {
        if (error)
            *error = QStringLiteral("プリンタの倍率を読み込めませんでした: %1\n%2")
                         .arg(displayPath(read.path),
                              read.fileError.isEmpty() ? read.printerError : read.fileError);
        return false;
    }
    *out = read.printer.scale();
    return true;
}

bool writePrinterScale(const QString &settingsPath, PrinterScale scale, QString *error)
{
    const QString iniPath = companionSettingsPath(settingsPath);
    bool exists = false;
    const auto fail = [&](const QString &reason) {
        if (error) {
            *error = QStringLiteral("プリンタの倍率を保存できませんでした: %1\n%2")
                         .arg(displayPath(iniPath), reason);
            if (exists)
                *error += QStringLiteral("\n元の設定ファイルは変更していません。");
        }
        return false;
    };
    // The same refusals as start.txt's save.
    QString reason;
    if (!checkReplaceable(iniPath, &exists, &reason))
        return fail(reason);
    // The lab's other settings in the file must survive: a file that cannot be read whole
    // is not rewritten from what little was read.
    QByteArray content;
    if (exists && !readBoundedFile(iniPath, MaxCompanionSettingsBytes, &content, &reason))
        return fail(reason);

    StagedFile staged(iniPath);
    if (staged.create(&reason) && staged.write(withPrinterScale(content, scale), &reason) &&
        staged.commit(&reason)) {
        // A new file is shared like the start.txt it belongs to: the group that may change
        // the offsets may change the scale (a file that existed keeps its own rights).
        struct stat settingsStat;
        if (!exists && ::stat(QFile::encodeName(settingsPath).constData(), &settingsStat) == 0)
            ::chmod(QFile::encodeName(iniPath).constData(), settingsStat.st_mode & 0666);
        return true;
    }
    if (!staged.replaced())
        return fail(reason);
    if (error)
        *error = QStringLiteral("プリンタの倍率を保存できませんでした: %1\n%2")
                     .arg(displayPath(iniPath), reason);
    return false;
}

} // namespace corvial
