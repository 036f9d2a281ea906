// SPDX-License-Identifier: GPL-3.0-or-later
// Runs one settings operation in a process of its own, for what a test cannot do to itself:
// write under a file size limit, hold the lock as another copy would, or read something
// that might never return.
//   settings_helper read PATH          prints "ok", the twelve values and the tail in hex,
//                                      or "error" and the message; exit 0 or 1
//   settings_helper write PATH TEXT    writes the settings parsed from TEXT; exit 0 or 1
//   settings_helper lock PATH          takes the lock of PATH, prints "locked" (or "refused"
//                                      and the message) and holds it until stdin closes
//   settings_helper scale PATH X Y     saves the printer scale X, Y (tenths of a percent) for
//                                      the start.txt at PATH; exit 0 or 1
//   settings_helper stage PATH         stages a new version of PATH, writes into it through
//                                      its path, prints "staged" and waits to be killed
#include "files/SafeFile.h"
#include "settings/PrinterScaleFile.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLock.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

using namespace corvial;

namespace {

void say(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

int reportError(const QString &error)
{
    say(QStringLiteral("error"));
    say(error);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    const QString &command = args.at(1);
    const QString &path = args.at(2);
    QString error;

    if (command == QLatin1String("read")) {
        SettingsLoad load;
        if (!readSettingsFile(path, &load, &error))
            return reportError(error);
        QStringList values;
        for (int f = 1; f <= SettingsRecordLines; ++f) {
            const FamilySettings &r = load.settings.family[f];
            values << QString::number(r.offsetX) << QString::number(r.offsetY)
                   << QString::number(r.startPos);
        }
        say(QStringLiteral("ok"));
        say(values.join(QLatin1Char(',')));
        say(QString::fromLatin1(load.settings.tail.toHex()));
        return 0;
    }
    if (command == QLatin1String("write") && args.size() == 4) {
        const Settings settings = parseSettings(args.at(3).toUtf8()).settings;
        if (!writeSettingsFile(path, settings, &error))
            return reportError(error);
        say(QStringLiteral("ok"));
        return 0;
    }
    if (command == QLatin1String("scale") && args.size() == 5) {
        if (!writePrinterScale(path, {args.at(3).toInt(), args.at(4).toInt()}, &error))
            return reportError(error);
        say(QStringLiteral("ok"));
        return 0;
    }
    if (command == QLatin1String("lock")) {
        SettingsLock lock(path);
        if (!lock.tryLock(&error)) {
            say(QStringLiteral("refused"));
            say(error);
            return 1;
        }
        say(QStringLiteral("locked"));
        char buffer[64];
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR))
                return 0;
        }
    }
    if (command == QLatin1String("stage")) {
        StagedFile staged(path);
        if (!staged.create(&error))
            return reportError(error);
        QFile file(staged.tempPath());
        if (!file.open(QIODevice::WriteOnly) || file.write("half a new version") < 0 ||
            !file.flush())
            return reportError(file.errorString());
        say(QStringLiteral("staged"));
        char buffer[64];
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR))
                return 0;
        }
    }
    return 2;
}
