// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReprintDialog.h"

#include "Dialogs.h"
#include "history/HistoryNumbers.h"
#include "job/TextCharacters.h"
#include "ui_ReprintDialog.h"

#include <QPushButton>

namespace corvial {

ReprintDialog::ReprintDialog(const HistoryEntry &entry, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), mUi(std::make_unique<Ui::ReprintDialog>()), mEntry(entry), mDialogs(dialogs)
{
    mUi->setupUi(this);
    const HistoryRecord &r = entry.record;
    const QString numbers = recordNumbersText(r);
    mUi->jobLabel->setText(numbers.isEmpty()
                               ? QStringLiteral("%1 検体").arg(r.samples)
                               : QStringLiteral("%1 検体（番号 %2）").arg(r.samples).arg(numbers));
    // Without printed numbers a run of them cannot be named; the whole job is what remains.
    const bool numbered = !numbers.isEmpty();
    mUi->rangeRadio->setEnabled(numbered);
    if (numbered) {
        mUi->firstEdit->setText(recordNumberText(r, recordSampleNumber(r, 0)));
        mUi->lastEdit->setText(recordNumberText(r, recordSampleNumber(r, r.samples - 1)));
    }
    mUi->firstEdit->setEnabled(false);
    mUi->lastEdit->setEnabled(false);
    connect(mUi->rangeRadio, &QRadioButton::toggled, mUi->firstEdit, &QWidget::setEnabled);
    connect(mUi->rangeRadio, &QRadioButton::toggled, mUi->lastEdit, &QWidget::setEnabled);
    connect(mUi->buttonBox, &QDialogButtonBox::accepted, this, &ReprintDialog::accept);
    connect(mUi->buttonBox, &QDialogButtonBox::rejected, this, &ReprintDialog::reject);
}

ReprintDialog::~ReprintDialog() = default;

void ReprintDialog::accept()
{
    if (mUi->allRadio->isChecked()) {
        mFirst = 0;
        mLast = mEntry.record.samples - 1;
        QDialog::accept();
        return;
    }
    int numbers[2];
    const QLineEdit *edits[2] = {mUi->firstEdit, mUi->lastEdit};
    for (int i = 0; i < 2; ++i) {
        bool ok = false;
        const QString text = edits[i]->text().trimmed();
        numbers[i] = text.toInt(&ok);
        if (!ok || numbers[i] < 0 || numbers[i] >= HistoryNumberWrap) {
            mDialogs.error(this, QStringLiteral("再印刷する検体番号は 0〜%1 の数で入力してください"
                                                "（「%2」）。")
                                     .arg(HistoryNumberWrap - 1)
                                     .arg(visibleText(text)));
            return;
        }
    }
    QString error;
    if (!sampleRange(mEntry.record, numbers[0], numbers[1], &mFirst, &mLast, &error)) {
        mDialogs.error(this, error);
        return;
    }
    QDialog::accept();
}

} // namespace corvial
