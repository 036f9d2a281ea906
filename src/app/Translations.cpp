// SPDX-License-Identifier: GPL-3.0-or-later
#include "Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace corvial {

bool installQtTranslations(QCoreApplication &app, const QString &folder, QString *error)
{
    // Every text of the program is Japanese whatever the locale, so the buttons and labels
    // Qt draws itself (print, file and font dialogs, message box buttons) are made Japanese
    // too; following LANG would give a window that mixes the two languages under LANG=C.
    auto *translator = new QTranslator(&app);
    const QString name = QString::fromLatin1(QtJapaneseCatalogue);
    if (!translator->load(name, folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        if (error)
            *error =
                QStringLiteral("Qt の日本語の翻訳ファイルを読み込めませんでした: %1\n"
                               "印刷・ファイル・フォントのダイアログとボタンは英語で表示されます。")
                    .arg(QDir::toNativeSeparators(
                        QDir(folder).filePath(name + QStringLiteral(".qm"))));
        return false;
    }
    return true;
}

bool installQtTranslations(QCoreApplication &app, QString *error)
{
    return installQtTranslations(app, QLibraryInfo::path(QLibraryInfo::TranslationsPath), error);
}

} // namespace corvial
