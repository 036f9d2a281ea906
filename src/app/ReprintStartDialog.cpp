// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReprintStartDialog.h"

#include "Controls.h"
#include "SheetPicture.h"
#include "ui_ReprintStartDialog.h"

#include <QPushButton>

namespace corvial {

ReprintStartDialog::ReprintStartDialog(const QString &what, SheetPicture *picture, QWidget *parent)
    : QDialog(parent), mUi(std::make_unique<Ui::ReprintStartDialog>()), mPicture(picture)
{
    mUi->setupUi(this);
    mUi->jobLabel->setText(what);
    mUi->pictureLayout->addWidget(picture);
    mUi->buttonBox->button(QDialogButtonBox::Ok)->setText(QStringLiteral("印刷"));
    connect(mUi->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(mUi->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(picture, &SheetPicture::startChanged, this, &ReprintStartDialog::showStart);
    connect(mUi->sheetList, &ChoiceList::userClicked, this,
            [this] { mPicture->showSheet(mUi->sheetList->selectedRow() + 1); });
    showStart();
}

ReprintStartDialog::~ReprintStartDialog() = default;

void ReprintStartDialog::showStart()
{
    mUi->sheetsLabel->setText(QStringLiteral("開始位置 %1 から %2 枚のシートに印刷します。")
                                  .arg(mPicture->startPos())
                                  .arg(mPicture->sheetCount()));
    // As on the print screen: one row per sheet, the first shown, where a click moves the
    // start.
    mUi->sheetList->clear();
    mUi->sheetList->addNumbers(mPicture->sheetCount());
    mUi->sheetList->selectRow(0);
}

} // namespace corvial
