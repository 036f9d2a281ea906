// SPDX-License-Identifier: GPL-3.0-or-later
#include "TfrmMain.h"
#include "job/Fonts.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvial Manager"));
    QApplication::setApplicationVersion(QStringLiteral(CORVIAL_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/corvial-manager.png")));
    corvial::installJapaneseFontSubstitutions();

    // Creating the main window reads start.txt; without it the window says so and closes
    // itself at the first tick of its timer, never showing a usable screen.
    corvial::TfrmMain frmMain;
    QObject::connect(&frmMain, &corvial::TfrmMain::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!frmMain.closesAtFirstTick())
        frmMain.show();
    QTimer::singleShot(0, &frmMain, &corvial::TfrmMain::showStartupWarnings);
    return app.exec();
}
