// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrinterScaleDialog.h"

#include "Dialogs.h"
#include "settings/PrinterScaleFile.h"
#include "ui_PrinterScaleDialog.h"

#include <QPushButton>

namespace corvial {

namespace {

double percentOf(int permille)
{
    return permille / 10.0;
}

int permilleOf(double percent)
{
    return qRound(percent * 10);
}

// The factor a measured length gives: -1 while nothing is measured (the spin box's 0),
// otherwise scaleFromMeasured, in range or not.
int measuredFactor(double measuredMm, int nominalMm)
{
    return measuredMm > 0 ? scaleFromMeasured(nominalMm, measuredMm) : -1;
}

QString outOfRangeText(const QString &ruler, double measuredMm, int permille)
{
    return QStringLiteral("%1の定規 %2 mm からの倍率 %3 % は範囲（%4）の外です。"
                          "測り直すか、位置合わせシートを印刷し直してください。")
        .arg(ruler, QString::number(measuredMm, 'f', 1), formatScalePercent(permille),
             scaleRangeText());
}

} // namespace

PrinterScaleDialog::PrinterScaleDialog(const QString &settingsPath, PrinterScale current,
                                       Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), mUi(std::make_unique<Ui::PrinterScaleDialog>()), mSettingsPath(settingsPath),
      mDialogs(dialogs)
{
    mUi->setupUi(this);
    mUi->measuredAcrossLabel->setText(
        QStringLiteral("横の定規（%1 mm）を測った長さ：").arg(RulerAcrossMm));
    mUi->measuredAlongLabel->setText(
        QStringLiteral("縦の定規（%1 mm）を測った長さ：").arg(RulerAlongMm));
    for (QDoubleSpinBox *spin : {mUi->scaleXSpin, mUi->scaleYSpin})
        spin->setRange(percentOf(ScalePermilleMin), percentOf(ScalePermilleMax));
    mUi->scaleXSpin->setValue(percentOf(current.permilleX));
    mUi->scaleYSpin->setValue(percentOf(current.permilleY));
    connect(mUi->measuredAcrossSpin, &QDoubleSpinBox::valueChanged, this,
            &PrinterScaleDialog::measuredChanged);
    connect(mUi->measuredAlongSpin, &QDoubleSpinBox::valueChanged, this,
            &PrinterScaleDialog::measuredChanged);
    connect(mUi->resetButton, &QPushButton::clicked, this, &PrinterScaleDialog::reset);
    connect(mUi->buttonBox, &QDialogButtonBox::accepted, this, &PrinterScaleDialog::accept);
    connect(mUi->buttonBox, &QDialogButtonBox::rejected, this, &PrinterScaleDialog::reject);
}

PrinterScaleDialog::~PrinterScaleDialog() = default;

PrinterScale PrinterScaleDialog::scale() const
{
    return {permilleOf(mUi->scaleXSpin->value()), permilleOf(mUi->scaleYSpin->value())};
}

void PrinterScaleDialog::measuredChanged()
{
    // The rulers are printed unscaled, so a measured length gives the factor itself,
    // whatever factor was saved before.
    QStringList notes;
    const double across = mUi->measuredAcrossSpin->value();
    const double along = mUi->measuredAlongSpin->value();
    const int x = measuredFactor(across, RulerAcrossMm);
    const int y = measuredFactor(along, RulerAlongMm);
    if (isScalePermille(x))
        mUi->scaleXSpin->setValue(percentOf(x));
    else if (x >= 0)
        notes << outOfRangeText(QStringLiteral("横"), across, x);
    if (isScalePermille(y))
        mUi->scaleYSpin->setValue(percentOf(y));
    else if (y >= 0)
        notes << outOfRangeText(QStringLiteral("縦"), along, y);
    mUi->noteLabel->setText(notes.join(QLatin1Char('\n')));
}

void PrinterScaleDialog::reset()
{
    mUi->measuredAcrossSpin->setValue(0);
    mUi->measuredAlongSpin->setValue(0);
    mUi->scaleXSpin->setValue(percentOf(ScalePermilleNominal));
    mUi->scaleYSpin->setValue(percentOf(ScalePermilleNominal));
}

void PrinterScaleDialog::accept()
{
    // A factor shown beside a measurement it does not come from would be saved unnoticed.
    if (!mUi->noteLabel->text().isEmpty()) {
        mDialogs.error(this,
                       QStringLiteral("倍率を保存しませんでした。\n") + mUi->noteLabel->text());
        return;
    }
    QString error;
    if (!writePrinterScale(mSettingsPath, scale(), &error)) {
        mDialogs.error(this, error);
        return;
    }
    QDialog::accept();
}

} // namespace corvial
