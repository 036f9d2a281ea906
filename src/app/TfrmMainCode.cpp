// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen's 2-D code choice: the check box, the prefix and the code on the proof.
#include "CodeView.h"
#include "Controls.h"
#include "Dialogs.h"
#include "TextBoxControls.h"
#include "TfrmMain.h"

#include "barcode/CodeRules.h"
#include "job/JobRules.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

namespace corvial {

void TfrmMain::buildCodeControls()
{
    chkCode = new QCheckBox(QStringLiteral("2次元コード"), pnlPrint);
    chkCode->setObjectName(QStringLiteral("chkCode"));
    chkCode->setGeometry(16, 304, 121, 20);
    lblCodePrefix = new QLabel(QStringLiteral("コードの頭文字"), pnlPrint);
    lblCodePrefix->setObjectName(QStringLiteral("lblCodePrefix"));
    lblCodePrefix->setGeometry(16, 331, 97, 16);
    auto *prefix = new LineBox(pnlPrint);
    watchCharacters(prefix, QStringLiteral("コードの頭文字"));
    edtCodePrefix = prefix;
    edtCodePrefix->setObjectName(QStringLiteral("edtCodePrefix"));
    edtCodePrefix->setGeometry(116, 328, 113, 22);
    imgCode = new CodeView(pnlNum);
    imgCode->setObjectName(QStringLiteral("imgCode"));
    imgCode->setGeometry(8, 94, 54, 54);
    imgCode->hide();
}

} // namespace corvial
