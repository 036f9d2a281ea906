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

namespace {

QString noCodeRoomText(SheetType type)
{
    return QStringLiteral("%1 の丸いラベルには、文字と番号の横に読み取れる大きさの2次元コードを"
                          "印刷する場所がありません。")
        .arg(sheetTypeWord(type));
}

// Makes the prefix box stop at type's longest prefix as it is typed, and says so on the box.
// A prefix typed for another type that is longer is cut to it: the message saying so is
// returned, empty when nothing was cut.
QString limitPrefix(QLineEdit *box, SheetType type)
{
    const int longest = longestPrefix(type);
    QString cut;
    if (box->text().size() > longest) {
        cut = prefixProblem(box->text(), type);
        box->setText(box->text().left(longest));
    }
    box->setMaxLength(longest);
    box->setToolTip(QStringLiteral("ASCII の文字（空白を除く）%1 文字まで").arg(longest));
    return cut;
}

} // namespace

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
    connect(chkCode, &QCheckBox::clicked, this, &TfrmMain::chkCodeClick);
    connect(edtCodePrefix, &QLineEdit::textEdited, this, &TfrmMain::edtCodePrefixChange);
}

bool TfrmMain::codeChosen() const
{
    return chkCode->isChecked() && hasCodeRoom(mJob.sheetType);
}

void TfrmMain::showCodeChoice(SheetType chosen)
{
    // The round labels number their samples too, so a user looks for the code there: the
    // choice is shown greyed out with the reason. The labels without a number have no ID to
    // put in a code, and the choice is not shown at all.
    const bool room = hasCodeRoom(chosen);
    const bool shown = room || chosen.family().shape == LabelShape::Ellipse;
    const QString why = room ? QString() : noCodeRoomText(chosen);
    for (QWidget *w : std::initializer_list<QWidget *>{chkCode, lblCodePrefix, edtCodePrefix}) {
        w->setVisible(shown);
        w->setEnabled(room);
        w->setToolTip(why);
    }
    if (room) {
        const QString cut = limitPrefix(edtCodePrefix, chosen);
        if (!cut.isEmpty())
            mEnv.dialogs->message(this, cut);
    }
    // A type without room prints no code, whatever was chosen on another type.
    mJob.code = codeChosen();
    mJob.codePrefix = edtCodePrefix->text();
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
    mJob.code = codeChosen();
    updateCodeProof();
}

void TfrmMain::edtCodePrefixChange()
{
    // Refused characters go as they are typed, like an over-long text; the box's own limit
    // already stops a prefix at the longest one the sheet type's code holds.
    const QString typed = edtCodePrefix->text();
    const QString kept = prefixCharactersOnly(typed);
    if (kept != typed) {
        const int cursor = edtCodePrefix->cursorPosition() - int(typed.size() - kept.size());
        edtCodePrefix->setText(kept);
        edtCodePrefix->setCursorPosition(qBound(0, cursor, int(kept.size())));
    }
    mJob.codePrefix = edtCodePrefix->text();
    updateCodeProof();
}

} // namespace corvial
