// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

class QPushButton;

namespace Ui {
class TAboutBox;
}

namespace corvial {

// The version window: shown without blocking, while the main window is disabled. Its
// controls come from TAboutBox.ui.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    // Builds the window from its form, centred on the primary screen, hidden.
    explicit TAboutBox(QWidget *parent = nullptr);
    ~TAboutBox() override;

    // The form's OK button, owned by the window.
    QPushButton *OKButton = nullptr;

signals:
    // The window was put away, by OK or by its close box.
    void dismissed();

public slots:
    // Hides the window and emits dismissed().
    void OKButtonClick();

protected:
    void reject() override;

private:
    std::unique_ptr<Ui::TAboutBox> mUi;
};

} // namespace corvial
