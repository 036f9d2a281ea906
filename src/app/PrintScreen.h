// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/JobEditor.h"
#include "job/ProofLabel.h"

#include <QObject>
#include <QPoint>
#include <QVector>
#include <functional>

class QCheckBox;
class QColor;
class QLabel;
class QLineEdit;
class QWidget;

namespace Ui {
class TfrmMain;
}

namespace corvial {

class CodeView;
class Dialogs;
class ShapeCell;

// The preview cells of the four sheet families: element i (1-based) is label position i.
struct PreviewCells
{
    const QVector<ShapeCell *> &circleShapes;
    const QVector<ShapeCell *> &rectShapes;
    const QVector<ShapeCell *> &tube95Shapes;
    const QVector<ShapeCell *> &tube72Shapes;
};

// The 2-D code's controls, which the form does not hold.
struct CodeControls
{
    QCheckBox *chkCode = nullptr;
    QLabel *lblCodePrefix = nullptr;
    QLineEdit *edtCodePrefix = nullptr;
    CodeView *imgCode = nullptr;
};

// What the print screen needs of the window it sits in.
struct PrintScreenHost
{
    QWidget *owner = nullptr; // the window messages belong to
    Dialogs *dialogs = nullptr;
    std::function<void()> saveSettings;            // start.txt written with the editor's values
    std::function<void(ProofKind)> showProofPanel; // the window's routine of that name
};

// The print screen's behaviour: the proof label, the colours, frame and alignment, the
// offsets, the sheet preview with its start position and sheet selector, and the 2-D code.
// Its handlers read the screen's controls into the window's JobEditor and draw the proof and
// the preview from it; the window keeps the navigation and printing.
class PrintScreen : public QObject
{
    Q_OBJECT

public:
    PrintScreen(Ui::TfrmMain &ui, JobEditor &job, PreviewCells cells, CodeControls code,
                PrintScreenHost host, QObject *parent = nullptr);

    // Connects the handlers of the screen's controls.
    void connectControls();
    // The screen as PrintSet opens it for the editor's job, after the window has shown it.
    void setUp();

    // The handlers, named after their controls.
    void ListBox19Click();
    void ListBox21Click();
    void ListBox20Click();
    void ListBox23Click();
    void ListBox25Click();
    void CheckBox1Click();
    void RadioButton4Click();
    void RadioButton7Click();
    void RadioButton8Click();
    void previewMouseMove(int x, int y);
    void previewClick(int family);
    void chkCodeClick();
    void edtCodePrefixChange();

    // Preview of family 1..4 for the job: sheet count, the sheet selector and sheet 1.
    void SetUpPreview(int family);
    void PaintPreviewSheet(int family, int sheet);
    // The code choice as the type allows it, and the code on the number proof.
    void showCodeChoice(SheetType type);
    void updateCodeProof();
    bool codeChosen() const;
    // The proof's texts and colours back to black on white, as a print leaves them.
    void resetProofColoursAfterPrint();
    // The proof text of the type, as its proof holds it now, into the editor.
    void proofTextChanged();

    QPoint previewPointer() const { return {mouseX, mouseY}; }

private:
    void buildProofLabel();
    void writeCircleProof(const ProofLabelContent &proof);
    void setCircleProofColours(const QColor &background);
    QList<QWidget *> proofTextControls() const;
    const QVector<ShapeCell *> &shapesOf(int family) const;
    int family() const { return mJob.family(); }

    Ui::TfrmMain *mUi;
    JobEditor &mJob;
    PreviewCells mCells;
    QCheckBox *chkCode;
    QLabel *lblCodePrefix;
    QLineEdit *edtCodePrefix;
    CodeView *imgCode;
    PrintScreenHost mHost;
    int mouseX = 0; // where the pointer last moved over a preview
    int mouseY = 0;
};

} // namespace corvial
