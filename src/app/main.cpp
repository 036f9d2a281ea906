// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogs.h"
#include "ProgramSetup.h"
#include "TfrmMain.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLock.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The bench that times the window's start sets it up the same way.
    corvial::setUpWindowProgram(app);

    // One copy per start.txt, decided before anything reads it: two copies would silently
    // undo each other's saves. A second copy leaves the file alone and ends.
    const QString settings = corvial::settingsFilePath(QCoreApplication::applicationDirPath());
    corvial::SettingsLock lock(settings);
    QString lockError;
    if (!lock.tryLock(&lockError) && lock.isHeldElsewhere()) {
        corvial::QtDialogs().error(nullptr, lockError);
        return 1;
    }
    // A folder where not even the lock file can be made cannot take a save either; the
    // program still prints, and every save there reports its own failure.
    // With the lock held no save is under way, so such files are leftovers of a crash.
    corvial::removeStaleSettingsTemporaries(settings);

    // Creating the main window reads start.txt; without it the window says so and closes
    // itself at the first tick of its timer, never showing a usable screen.
    corvial::TfrmMain frmMain;
    QObject::connect(&frmMain, &corvial::TfrmMain::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!frmMain.closesAtFirstTick())
        frmMain.show();
    QTimer::singleShot(0, &frmMain, &corvial::TfrmMain::showStartupWarnings);
    // After the first paint: jobs a print queue ended since the last run are told about.
    if (!frmMain.closesAtFirstTick())
        QTimer::singleShot(0, &frmMain, &corvial::TfrmMain::startWaitingJobsRecheck);
    return app.exec();
}
