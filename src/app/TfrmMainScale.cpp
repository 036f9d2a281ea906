// SPDX-License-Identifier: GPL-3.0-or-later
// The printer's scale: the dialog that sets it, and reading it for every job that prints.
#include "Dialogs.h"
#include "PrinterScaleDialog.h"
#include "TfrmMain.h"

#include "settings/PrinterScaleFile.h"
#include "settings/SettingsFile.h"

namespace corvial {

void TfrmMain::mnuPrinterScaleClick()
{
    PrinterScale current;
    QString error;
    // A damaged value is shown and the dialog starts from 100 %, so that saving mends it.
    if (!readPrinterScale(settingsFilePath(appDir), &current, &error)) {
        mEnv.dialogs->error(this, error + QStringLiteral("\n100 % から設定し直してください。"));
        current = PrinterScale();
    }
    auto *dialog = new PrinterScaleDialog(settingsFilePath(appDir), current, *mEnv.dialogs, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

bool TfrmMain::savedPrinterScale(PrinterScale *out, QWidget *owner, const QString &failure)
{
    // Read for every job, so that a factor saved by another window or by hand is the one
    // used, and a damaged one stops the job instead of printing it at 100 %.
    QString error;
    if (readPrinterScale(settingsFilePath(appDir), out, &error))
        return true;
    mEnv.dialogs->error(owner ? owner : this, failure + error);
    return false;
}

} // namespace corvial
