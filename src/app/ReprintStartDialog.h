// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ReprintStartDialog;
}

namespace corvial {

class SheetPicture;

// The second step of a reprint: where on the sheet it starts, chosen on the family's sheet
// picture as on the print screen, with the sheets it takes. Its controls come from
// ReprintStartDialog.ui; 印刷 accepts.
class ReprintStartDialog : public QDialog
{
    Q_OBJECT

public:
    // what: the job in one line; picture: set up with the job and its default start, taken
    // over by the dialog. Hidden until shown.
    ReprintStartDialog(const QString &what, SheetPicture *picture, QWidget *parent = nullptr);
    ~ReprintStartDialog() override;

    SheetPicture *picture() const { return mPicture; }

private:
    void showStart();

    std::unique_ptr<Ui::ReprintStartDialog> mUi;
    SheetPicture *mPicture;
};

} // namespace corvial
