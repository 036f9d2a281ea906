// SPDX-License-Identifier: GPL-3.0-or-later
// The print screen's 2-D code choice: the check box, the prefix and the code on the proof.
#include "CodeView.h"
#include "Controls.h"
#include "Dialogs.h"
#include "TextBoxControls.h"
#include "TfrmMain.h"

#include "barcode/CodeRules.h"

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
    auto *prefix = new TEdit(pnlPrint);
    watchCharacters(prefix, QStringLiteral("コードの頭文字"));
    edtCodePrefix = prefix;
    edtCodePrefix->setObjectName(QStringLiteral("edtCodePrefix"));
    edtCodePrefix->setGeometry(116, 328, 113, 22);
    imgCode = new CodeView(pnlNum);
    imgCode->setObjectName(QStringLiteral("imgCode"));
    imgCode->setGeometry(8, 94, 54, 54);
    imgCode->hide();
    connect(chkCode, &QCheckBox::clicked, this, &TfrmMain::chkCodeClick);
    connect(edtCodePrefix, &QLineEdit::textEdited, this, &TfrmMain::edtCodePrefixChange);
}

bool TfrmMain::codeChosen() const
{
    return chkCode->isChecked() && hasCodeRoom(chosenSheetType(sheetType));
}

void TfrmMain::showCodeChoice(int type)
{
    // The round labels and the labels without a number have no room: neither control is
    // offered there, and their jobs print no code whatever the box says.
    const SheetType chosen = chosenSheetType(type);
    const bool room = hasCodeRoom(chosen);
    for (QWidget *w : std::initializer_list<QWidget *>{chkCode, lblCodePrefix, edtCodePrefix})
        w->setVisible(room);
    const int longest = longestPrefix(chosen);
    if (room && edtCodePrefix->text().size() > longest) {
        mEnv.dialogs->message(this, prefixProblem(edtCodePrefix->text(), chosen));
        edtCodePrefix->setText(edtCodePrefix->text().left(longest));
    }
    updateCodeProof();
}

void TfrmMain::updateCodeProof()
{
    const bool shown = codeChosen() && pnlNum->isVisibleTo(pnlPrint) && !Panel5->isHidden();
    if (shown)
        imgCode->setData(codeData(edtCodePrefix->text(), Panel5->text()));
    imgCode->setVisible(shown);
}

void TfrmMain::chkCodeClick()
{
    updateCodeProof();
}

void TfrmMain::edtCodePrefixChange()
{
    // Refused characters go as they are typed, like an over-long text; a prefix longer than
    // the sheet type's code holds is refused with the longest one it allows.
    const QString typed = edtCodePrefix->text();
    QString kept = prefixCharactersOnly(typed);
    const SheetType chosen = chosenSheetType(sheetType);
    const int longest = qMax(longestPrefix(chosen), 0);
    if (kept.size() > longest) {
        mEnv.dialogs->message(this, prefixProblem(kept, chosen));
        kept = kept.left(longest);
    }
    if (kept != typed) {
        const int cursor = edtCodePrefix->cursorPosition() - int(typed.size() - kept.size());
        edtCodePrefix->setText(kept);
        edtCodePrefix->setCursorPosition(qBound(0, cursor, int(kept.size())));
    }
    updateCodeProof();
}

} // namespace corvial
