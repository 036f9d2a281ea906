// SPDX-License-Identifier: GPL-3.0-or-later
#include "TfrmLib.h"

#include "job/Fonts.h"
#include "ui_TfrmLib.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace corvial {

TfrmLib::TfrmLib(QWidget *parent)
    : QWidget(parent, Qt::Window), mUi(std::make_unique<Ui::TfrmLib>())
{
    // A form's fonts come in points only; the window is set in pixels so that the notice
    // fits its box whatever the screen's resolution.
    QFont f(uiFaceName());
    f.setPixelSize(12);
    setFont(f);
    // The form gives the client area (409 x 361 outside once the window manager adds its
    // frame); a form keeps no position for a top-level window, so where it opens is set here.
    mUi->setupUi(this);
    move(290, 225);
    // The notice is there to read and copy from, so the form lets Tab go on to OK instead of
    // typing into it.
    Memo1 = mUi->Memo1;
    Button1 = mUi->Button1;
    connect(Button1, &QPushButton::clicked, this, &TfrmLib::Button1Click);
}

TfrmLib::~TfrmLib() = default;

void TfrmLib::Button1Click()
{
    hide();
    emit dismissed();
}

// Closing by the title bar acts like OK, so the main window does not stay disabled.
void TfrmLib::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit dismissed();
}

} // namespace corvial
