// SPDX-License-Identifier: GPL-3.0-or-later
// The print history menu: the history of this window's start.txt, shown over the window.
#include "Dialogs.h"
#include "HistoryWindow.h"
#include "TfrmMain.h"

#include "history/HistoryLocation.h"
#include "settings/SettingsFile.h"

namespace corvial {

void TfrmMain::mnuHistoryClick()
{
    HistoryLocation where;
    QString error;
    if (!historyLocationForSettings(settingsFilePath(appDir), &where, &error)) {
        mEnv.dialogs->error(this, error);
        return;
    }
    // Reprinting from the window is offered once the print screen can take a recorded job;
    // until then the batch printer's --reprint does it.
    showPrintHistory(this, where, *mEnv.dialogs, {});
}

} // namespace corvial
