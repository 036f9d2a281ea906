// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramSetup.h"

#include "AppIcons.h"
#include "Translations.h"
#include "job/Fonts.h"

#include <QApplication>
#include <QDebug>

namespace corvial {

void setUpWindowProgram(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Corvial Manager"));
    QApplication::setApplicationVersion(QStringLiteral(CORVIAL_VERSION));
    QApplication::setWindowIcon(builtInIcon(QStringLiteral(":/icons/corvial-manager.png")));
    // Lets the desktop match the window to its menu entry and icon (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVIAL_APP_ID));
    // Before the first dialog, so that even the lock message has Japanese buttons. Without
    // the catalogue the program works the same, only Qt's own buttons stay English.
    QString translationError;
    if (!installQtTranslations(app, &translationError))
        qWarning().noquote() << translationError;
    installJapaneseFontSubstitutions();
}

} // namespace corvial
