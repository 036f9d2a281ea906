// SPDX-License-Identifier: GPL-3.0-or-later
#include "TAboutBox.h"

#include "job/Fonts.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace corvial {

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    QFont f(uiFaceName());
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(273, 195);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(7, 7, 258, 148);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);

    auto *picture = new QToolButton(panel);
    picture->setObjectName(QStringLiteral("BitBtn1"));
    picture->setGeometry(8, 8, 65, 57);
    picture->setIcon(QIcon(QStringLiteral(":/icons/corvial-manager.png")));
    picture->setIconSize(QSize(48, 48));
    picture->setAutoRaise(true);

    auto *product = new QLabel(QStringLiteral("製品名　Corvial"), panel);
    product->setObjectName(QStringLiteral("ProductName"));
    product->move(81, 15);
    auto *version =
        new QLabel(QStringLiteral("バージョン　") + QStringLiteral(CORVIAL_VERSION), panel);
    version->setObjectName(QStringLiteral("Version"));
    version->move(81, 37);
    auto *copyright = new QLabel(QStringLiteral("Corvial Manager"), panel);
    copyright->setObjectName(QStringLiteral("Copyright"));
    copyright->move(7, 73);
    auto *comments =
        new QLabel(QStringLiteral("検体ラベルの印刷と採番のためのプログラムです。"), panel);
    comments->setObjectName(QStringLiteral("Comments"));
    comments->setGeometry(7, 95, 240, 40);
    comments->setWordWrap(true);
    comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(102, 165, 69, 23);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect a = screen->availableGeometry();
        move(a.center() - QPoint(width() / 2, height() / 2));
    }
}

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
