// SPDX-License-Identifier: GPL-3.0-or-later
// corvial-batch: prints one label job from a script, without a window.
#include "BatchOptions.h"
#include "BatchRun.h"
#include "BatchWatch.h"
#include "files/BoundedFile.h"
#include "files/SafeFile.h"
#include "job/Fonts.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include <cstring>

namespace {

bool platformChosen(int argc, char **argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // Before Qt opens its first file, which would otherwise become a closed standard input.
    corvial::guardStandardInput();
    // Scripts and lab systems run this without a desktop; the window system would refuse
    // to start there, and a printer page needs none.
    if (!platformChosen(argc, argv) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("corvial-batch"));
    QGuiApplication::setApplicationVersion(QStringLiteral(CORVIAL_VERSION));
    corvial::installJapaneseFontSubstitutions();

    // Standard output as a device, so that a listing already in UTF-8 can be written as it is.
    QFile standardOutput;
    standardOutput.open(stdout, QIODevice::WriteOnly);
    QTextStream out(&standardOutput);
    QTextStream err(stderr);
    // Qt decodes the arguments as UTF-8 and puts U+FFFD for bytes that are not; a file opened
    // under such a name would be another file.
    QStringList undecodable;
    for (int i = 1; i < argc; ++i) {
        if (!corvial::nameSurvivesDecoding(QByteArray(argv[i])))
            undecodable << QString::fromLocal8Bit(argv[i]);
    }
    if (corvial::asksForWatch(QGuiApplication::arguments())) {
        corvial::WatchRequest watch;
        QString error;
        if (!corvial::parseWatchCommand(QGuiApplication::arguments(), undecodable, &watch,
                                        &error)) {
            err << "corvial-batch: " << error << '\n';
            return corvial::BatchRefused;
        }
        return corvial::runWatch(watch, err);
    }
    const corvial::BatchCommand command =
        corvial::parseBatchCommand(QGuiApplication::arguments(), undecodable);
    switch (command.action) {
    case corvial::BatchCommand::ShowText:
        out << command.text;
        return corvial::BatchSucceeded;
    case corvial::BatchCommand::Refuse:
        err << "corvial-batch: " << command.error << '\n'
            << "corvial-batch --help でオプションの一覧を表示します。\n";
        return corvial::BatchRefused;
    case corvial::BatchCommand::Run:
        break;
    }
    return corvial::runBatch(command.request, out, err);
}
