// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/PrinterScaleFile.h"

#include "files/BoundedFile.h"
#include "files/SafeFile.h"
#include "job/TextCharacters.h"
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

// One line of the file with its ending ("\n", "\r\n" or none at the end), so that a rewrite
// gives back every line it does not change byte for byte.
struct IniLine
{
    QByteArray text;
    QByteArray ending;
};

QList<IniLine> splitIni(const QByteArray &content)
{
    QList<IniLine> lines;
    qsizetype from = 0;
    while (from < content.size()) {
        qsizetype lf = content.indexOf('\n', from);
        IniLine line;
        if (lf < 0) {
            line.text = content.mid(from);
            lines << line;
            break;
        }
        qsizetype end = lf;
        if (end > from && content.at(end - 1) == '\r')
            --end;
        line.text = content.mid(from, end - from);
        line.ending = content.mid(end, lf + 1 - end);
        lines << line;
        from = lf + 1;
    }
    return lines;
}

// The section a header line opens, or a null array for any other line.
QByteArray sectionOf(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (t.startsWith('[') && t.endsWith(']'))
        return t.mid(1, t.size() - 2).trimmed();
    return QByteArray();
}

bool isComment(const QByteArray &t)
{
    return t.isEmpty() || t.startsWith('#') || t.startsWith(';');
}

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

QString companionSettingsPath(const QString &settingsPath)
{
    // Every name of one start.txt shares its settings, as it shares its history.
    const QString resolved = QFileInfo(settingsPath).canonicalFilePath();
    const QFileInfo settings(resolved.isEmpty() ? settingsPath : resolved);
    return settings.absoluteDir().filePath(QStringLiteral("corvial.ini"));
}

bool parsePrinterScale(const QByteArray &content, PrinterScale *out, QString *reason)
{
    PrinterScale scale;
    int lineX = 0;
    int lineY = 0;
    bool inPrinter = false;
    const QList<IniLine> lines = splitIni(content);
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray t = lines.at(i).text.trimmed();
        const int lineNo = i + 1;
        const auto refuse = [&](const QString &key, const QString &why) {
            if (reason)
                *reason = QStringLiteral("%1 行目の [printer] %2 が正しくありません。%3")
                              .arg(lineNo)
                              .arg(key, why);
            return false;
        };
        if (isComment(t))
            continue;
        const QByteArray section = sectionOf(t);
        if (!section.isNull()) {
            inPrinter = section == kSection;
            continue;
        }
        if (!inPrinter)
            continue;
        const qsizetype eq = t.indexOf('=');
        if (eq < 0)
            return refuse(QString(), QStringLiteral("「名前=値」の形ではありません。"));
        const QByteArray key = t.left(eq).trimmed();
        const QString shownKey = visibleText(QString::fromUtf8(key));
        // A misspelt key would leave the printer uncorrected without a word.
        if (key != kKeyX && key != kKeyY)
            return refuse(shownKey,
                          QStringLiteral("[printer] に使えるのは %1 と %2 だけです。")
                              .arg(QString::fromLatin1(kKeyX), QString::fromLatin1(kKeyY)));
        int &seenAt = key == kKeyX ? lineX : lineY;
        if (seenAt)
            return refuse(shownKey, QStringLiteral("%1 行目にも書かれています。").arg(seenAt));
        seenAt = lineNo;
        int permille = 0;
        QString why;
        if (!parseScalePercent(QString::fromUtf8(t.mid(eq + 1)), &permille, &why))
            return refuse(shownKey, why);
        (key == kKeyX ? scale.permilleX : scale.permilleY) = permille;
    }
    *out = scale;
    return true;
}

QByteArray withPrinterScale(const QByteArray &content, PrinterScale scale)
{
    QList<IniLine> lines = splitIni(content);
    const QByteArray ending =
        !lines.isEmpty() && !lines.first().ending.isEmpty() ? lines.first().ending : "\n";
    bool inPrinter = false;
    bool inFirstPrinter = false;
    bool wroteX = false;
    bool wroteY = false;
    int insertAt = -1; // after the last setting (or the header) of the first [printer]
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray section = sectionOf(lines.at(i).text);
        if (!section.isNull()) {
            inPrinter = section == kSection;
            inFirstPrinter = inPrinter && insertAt < 0;
            if (inFirstPrinter)
                insertAt = i + 1;
            continue;
        }
        if (!inPrinter || isComment(lines.at(i).text.trimmed()))
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
    QByteArray out;
    for (const IniLine &line : std::as_const(lines))
        out += line.text + line.ending;
    return out;
}

bool readPrinterScale(const QString &settingsPath, PrinterScale *out, QString *error)
{
    const QString iniPath = companionSettingsPath(settingsPath);
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("プリンタの倍率を読み込めませんでした: %1\n%2")
                         .arg(displayPath(iniPath), reason);
        return false;
    };
    struct stat st;
    if (::lstat(QFile::encodeName(iniPath).constData(), &st) != 0 && errno == ENOENT) {
        *out = PrinterScale();
        return true;
    }
    QByteArray content;
    QString reason;
    if (!readBoundedFile(iniPath, MaxCompanionSettingsBytes, &content, &reason))
        return fail(reason);
    if (!parsePrinterScale(content, out, &reason))
        return fail(reason);
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
