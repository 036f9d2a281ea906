// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace Ui {
class TfrmLib;
}

namespace corvial {

// The library notice window: how to register the workbook library on the lab's PCs. Its
// controls and the notice itself come from TfrmLib.ui.
class TfrmLib : public QWidget
{
    Q_OBJECT

public:
    // Builds the window from its form, hidden, as a top-level window even with a parent.
    explicit TfrmLib(QWidget *parent = nullptr);
    ~TfrmLib() override;

    // The form's notice text and OK button, owned by the window.
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button1 = nullptr;

signals:
    void dismissed();

public slots:
    // Hides the window and emits dismissed().
    void Button1Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::TfrmLib> mUi;
};

} // namespace corvial
