// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QCoreApplication;

namespace corvial {

// Qt's own Japanese catalogue for its standard dialogs and buttons: the base name of the
// file inside Qt's translations folder.
constexpr const char *QtJapaneseCatalogue = "qtbase_ja";

// Installs Qt's Japanese catalogue from `folder` on app whatever the locale; the translator
// is owned by app. True when installed; false with a Japanese message naming the file in
// *error (may be null) when the file is missing or unreadable, and nothing is installed.
bool installQtTranslations(QCoreApplication &app, const QString &folder, QString *error);
// The same from Qt's own translations folder (QLibraryInfo::TranslationsPath).
bool installQtTranslations(QCoreApplication &app, QString *error = nullptr);

} // namespace corvial
