// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/TextCharacters.h"

#include <QColor>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QWidget>

namespace corvial {

// A filled circle or rectangle with an outline: the cells of the sheet previews and the
// discs of the circle proof.
class ShapeCell : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor fillColour READ fillColour WRITE setFillColour)
    Q_PROPERTY(QColor outlineColour READ outlineColour WRITE setOutlineColour)

public:
    enum class Kind { Circle, Rectangle };

    explicit ShapeCell(Kind kind, QWidget *parent = nullptr);
    // A circle: the form's proof discs, which are made by their parent.
    explicit ShapeCell(QWidget *parent = nullptr) : ShapeCell(Kind::Circle, parent) {}

    Kind kind() const { return mKind; }
    QColor fillColour() const { return mFill; }
    QColor outlineColour() const { return mOutline; }
    // Repaints only when the colour really changes, so repainting a whole sheet preview
    // costs nothing for the cells that keep their colour.
    void setFillColour(const QColor &colour);
    void setOutlineColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Kind mKind;
    QColor mFill = Qt::white;
    QColor mOutline = Qt::black;
};

// A transparent surface over a preview that reports pointer moves and clicks in its own
// pixel coordinates; the shapes below it show through.
class ClickSurface : public QWidget
{
    Q_OBJECT

public:
    explicit ClickSurface(QWidget *parent = nullptr);

signals:
    void mouseMoved(int x, int y);
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool mPressed = false;
};

class ChoiceList;
class ChoiceListModel;
class RowDelegate;

// One row of a ChoiceList, made on demand: it names the row and reads the text and selection
// from the list, so a list of thousands of numbers holds no object per row. It is invalid
// (false) for a row the list does not have.
class ChoiceListItem
{
public:
    ChoiceListItem() = default;
    // list and row as the list hands them out; row must be in 0..count()-1.
    ChoiceListItem(const ChoiceList *list, int row) : mList(list), mRow(row) {}

    explicit operator bool() const { return mList != nullptr; }
    // The calls written for item pointers (item(i)->text()) read on unchanged.
    const ChoiceListItem *operator->() const { return this; }
    // Row 0.., or -1 for an invalid item.
    int row() const { return mRow; }
    // The shown text; empty for an invalid item.
    QString text() const;
    // Whether the row is selected; false for an invalid item.
    bool isSelected() const;

private:
    const ChoiceList *mList = nullptr;
    int mRow = -1;
};

// A list box whose click signal fires for the user's choices only (a mouse click on an
// item, a keyboard move of the selection, and in a list one row high an arrow click or a
// wheel step), never for a selection the program makes.
// Its rows come from a model that formats each one when it is drawn or read: a run of
// numbers 1..n costs nothing per row, and the window starts without making 10,000 items.
// In a list one row high the row shown is always the selected one. In a list of the numbers
// 1..n, digits typed within the keyboard's type-ahead interval choose exactly that number.
class ChoiceList : public QListView
{
    Q_OBJECT
    Q_PROPERTY(bool keepSelection READ keepsSelection WRITE setKeepSelection)

public:
    explicit ChoiceList(QWidget *parent = nullptr);

    // Appends the rows "1".."last" (none for last < 1) after the rows the list has.
    void addNumbers(int last);
    // Appends one row per text after the rows the list has.
    void addItems(const QStringList &texts);
    // Removes every row; nothing is selected or current afterwards.
    void clear();
    // Number of rows.
    int count() const;
    // The row as an item; invalid outside 0..count()-1.
    ChoiceListItem item(int row) const;
    // The current row as an item; invalid when there is none.
    ChoiceListItem currentItem() const;
    // The selected rows as items, in row order (at most one: the list selects one row).
    QList<ChoiceListItem> selectedItems() const;
    // The current row, -1 for none.
    int currentRow() const;
    // Makes row current and the only selected one (-1: none), as a program call.
    void setCurrentRow(int row);
    // Scrolls so that item shows; an invalid item is ignored.
    void scrollToItem(const ChoiceListItem &item, ScrollHint hint = EnsureVisible);
    // Viewport rectangle of item; empty for an invalid item or one scrolled out of the layout.
    QRect visualItemRect(const ChoiceListItem &item) const;

    // Selects row (or none for -1) without running the click action.
    void selectRow(int row);
    int selectedRow() const;
    // keep = true: the user can choose another item but never leave the list without one
    // (Ctrl+click or Ctrl+Space on the selected item keeps it); the program still can.
    void setKeepSelection(bool keep) { mKeepSelection = keep; }
    bool keepsSelection() const { return mKeepSelection; }
    // Pixel height of every row: the box's inside divided into as many whole rows of its
    // font as it holds (at least one); what the division leaves stays empty below them.
    int rowHeight() const;
    // True while the box holds a single whole row.
    bool showsOneRow() const { return mOneRow; }
    // Type-ahead: in a list of the numbers 1..n the digits typed so far choose that number,
    // and one it does not hold is refused (typedNumberRefused); other lists go by prefix.
    void keyboardSearch(const QString &search) override;

signals:
    void userClicked();
    // Typed digits named a number the list does not hold; the selection is unchanged and
    // message says so, for the window's status line.
    void typedNumberRefused(const QString &message);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;

private:
    void fitRows();
    void followScrollBar(int action);

    ChoiceListModel *mModel;
    RowDelegate *mRows;
    int mLeftBelow = 0; // pixels under the last whole row
    bool mKeepSelection = false;
    bool mOneRow = false;
    int mWheelAngle = 0;    // eighths of a degree turned and not yet taken as a step
    QString mTyped;         // digits typed so far into a number list
    QElapsedTimer mTypedAt; // when the last of them came
    int mTypedFrom = -1;    // the row chosen before the digits began
};

// A text box that cannot be typed into shows the window's colour instead of the paper white
// of one that can, and gets its own colours back when it can be typed into again.
class ReadOnlyLook
{
public:
    // Gives box the look of readOnly; called when its read-only state changes.
    void apply(QWidget *box, bool readOnly);

private:
    bool mApplied = false;
    bool mOwnPalette = false; // the box had a palette of its own before
    QPalette mBefore;
};

// A text box of label text: several lines, Tab moves the focus and never enters the text, and
// a character a label cannot hold (control or invisible, line breaks allowed) that arrives by
// paste, drop or input method is refused before it enters: the box keeps the text it had.
class MemoBox : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(bool readOnlyLook READ readOnlyLook WRITE setReadOnlyLook)

public:
    explicit MemoBox(QWidget *parent = nullptr);
    // false: the box keeps its colours when read-only (it shows a label's own colours).
    void setReadOnlyLook(bool on) { mReadOnlyLook = on; }
    bool readOnlyLook() const { return mReadOnlyLook; }
    // Moves the text px (>= 0) pixels right of the box's left edge, inside its own colour,
    // for a box whose left part lies outside what its parent shows.
    void setTextIndent(int px);

signals:
    // An insertion was refused for character; the text is unchanged.
    void refused(const corvial::ForbiddenCharacter &character);

protected:
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool refuses(const QString &inserted);

    bool mReadOnlyLook = true; // false: the box shows a label's own colours, read-only or not
    ReadOnlyLook mLook;
};

// A one-line text box with the same refusal as MemoBox, line breaks included: whatever way an
// edit came (typed, pasted, dropped, input method), the box keeps the text it had before it.
class LineBox : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool readOnlyLook READ readOnlyLook WRITE setReadOnlyLook)

public:
    explicit LineBox(QWidget *parent = nullptr);
    // false: the box keeps its colours when read-only.
    void setReadOnlyLook(bool on) { mReadOnlyLook = on; }
    bool readOnlyLook() const { return mReadOnlyLook; }

signals:
    // An edit was refused for character; the text is unchanged.
    void refused(const corvial::ForbiddenCharacter &character);

protected:
    void changeEvent(QEvent *event) override;

private:
    ForbiddenCharacter mRefused; // set by the validator, reported once the edit is undone
    bool mReadOnlyLook = true;
    ReadOnlyLook mLook;
};

// Lets Tab enter the radio buttons among group's direct children at the checked one (the
// first while none is), from where the arrow keys move within them; group keeps this as the
// checked button changes.
void tabEntersAtCheckedButton(QWidget *group);

} // namespace corvial
