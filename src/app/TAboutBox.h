// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPushButton;

namespace corvial {

// The version window: shown without blocking, while the main window is disabled.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QPushButton *OKButton = nullptr;

signals:
    // The window was put away, by OK or by its close box.
    void dismissed();

public slots:
    void OKButtonClick();

protected:
    void reject() override;
};

} // namespace corvial
