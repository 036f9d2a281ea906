// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/PrinterScale.h"

#include <QDialog>
#include <memory>

namespace Ui {
class PrinterScaleDialog;
}

namespace corvial {

class Dialogs;

// The printer's scale of one start.txt: typed as the lengths measured on the calibration
// sheet's rulers or as the factors themselves, and saved into the corvial.ini beside it.
// Its controls come from PrinterScaleDialog.ui.
class PrinterScaleDialog : public QDialog
{
    Q_OBJECT

public:
    // settingsPath: the start.txt the scale belongs to; current: the scale it starts from.
    PrinterScaleDialog(const QString &settingsPath, PrinterScale current, Dialogs &dialogs,
                       QWidget *parent = nullptr);
    ~PrinterScaleDialog() override;

    // The factors the controls show.
    PrinterScale scale() const;
    // Saves scale() and closes; when a measured length gives a factor out of range, or the
    // file cannot be written, tells why through Dialogs::error and stays open.
    void accept() override;

private:
    void measuredChanged();
    void reset();

    std::unique_ptr<Ui::PrinterScaleDialog> mUi;
    QString mSettingsPath;
    Dialogs &mDialogs;
};

} // namespace corvial
