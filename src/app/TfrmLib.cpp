// SPDX-License-Identifier: GPL-3.0-or-later
#include "TfrmLib.h"

#include "job/Fonts.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace corvial {

TfrmLib::TfrmLib(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmLib"));
    setWindowTitle(QStringLiteral("ライブラリーの登録"));
    QFont f(uiFaceName());
    f.setPixelSize(12);
    setFont(f);
    // 409 x 361 outside; the window manager adds its frame around this client area.
    resize(401, 334);
    move(290, 225);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(56, 40, 289, 217);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A notice to read and copy from: Tab goes on to OK instead of typing into it.
    Memo1->setTabChangesFocus(true);
    Memo1->setPlainText(noticeLines().join(QLatin1Char('\n')));

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(152, 280, 89, 33);
    connect(Button1, &QPushButton::clicked, this, &TfrmLib::Button1Click);
}

QStringList TfrmLib::noticeLines()
{
    return {
        QStringLiteral("ライブラリーの登録を行っていただかないとエクセルファ"),
        QStringLiteral("イルは動作しません。下記の要領にてライブラリーの登"),
        QStringLiteral("録を行ってください。既にプログラムがインストールされ"),
        QStringLiteral("ている事が前提です。スタートの中に「ファイル名を指定"),
        QStringLiteral("して実行」という項目があります。"),
        QStringLiteral("そこで下の１行のファイル名をコピーペーストして実行（"),
        QStringLiteral("ＯＫ）してください。ライブラリーの登録は完了します。"),
        QString(),
        QStringLiteral("Windows98の場合"),
        QStringLiteral("regsvr32.exe /s C:\\WINDOWS\\SYSTEM\\XlsCrt2.dll"),
        QString(),
        QStringLiteral("WindowsXPの場合"),
        QStringLiteral("regsvr32.exe  C:\\WINDOWS\\SYSTEM32\\XlsCrt2.dll"),
    };
}

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
