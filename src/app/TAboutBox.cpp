// SPDX-License-Identifier: GPL-3.0-or-later
#include "TAboutBox.h"

#include "job/Fonts.h"
#include "ui_TAboutBox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace corvial {

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent), mUi(std::make_unique<Ui::TAboutBox>())
{
    // A form has no place for window flags, and its fonts come in points only; the window is
    // set in pixels so that its text fits the fixed boxes whatever the screen's resolution.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QFont f(uiFaceName());
    f.setPixelSize(12);
    setFont(f);
    mUi->setupUi(this);
    OKButton = mUi->OKButton;

    // The version comes from the build, so the form holds only the words before it.
    mUi->Version->setText(mUi->Version->text() + QStringLiteral(CORVIAL_VERSION));
    // The one-line labels fit their text in the face the PC has, which the form's fixed
    // boxes cannot know; the wrapped comment keeps its box.
    for (QLabel *label : {mUi->ProductName, mUi->Version, mUi->Copyright})
        label->adjustSize();

    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

    // Where the window opens depends on the screen, which the form cannot know.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect a = screen->availableGeometry();
        move(a.center() - QPoint(width() / 2, height() / 2));
    }
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::OKButtonClick()
{
    hide();
    emit dismissed();
}

// The close box and Escape end up here: they put the window away like OK, otherwise the
// main window would stay disabled for good.
void TAboutBox::reject()
{
    OKButtonClick();
}

} // namespace corvial
