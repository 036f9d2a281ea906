// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/TextCharacters.h"

#include <QColor>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QWidget>

namespace corvial {

// A filled circle or rectangle with an outline: the cells of the sheet previews and the
// discs of the circle proof.
class TShape : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor fillColour READ fillColour WRITE setFillColour)
    Q_PROPERTY(QColor outlineColour READ outlineColour WRITE setOutlineColour)

public:
    enum class Kind { Circle, Rectangle };

    explicit TShape(Kind kind, QWidget *parent = nullptr);

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
class TImage : public QWidget
{
    Q_OBJECT

public:
    explicit TImage(QWidget *parent = nullptr);

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

class TListBox;
class TListModel;

// One row of a TListBox, made on demand: it names the row and reads the text and selection
// from the list, so a list of thousands of numbers holds no object per row. It is invalid
// (false) for a row the list does not have.
class TListItem
{
public:
    TListItem() = default;
    // list and row as the list hands them out; row must be in 0..count()-1.
    TListItem(const TListBox *list, int row) : mList(list), mRow(row) {}

    explicit operator bool() const { return mList != nullptr; }
    // The calls written for item pointers (item(i)->text()) read on unchanged.
    const TListItem *operator->() const { return this; }
    // Row 0.., or -1 for an invalid item.
    int row() const { return mRow; }
    // The shown text; empty for an invalid item.
    QString text() const;
    // Whether the row is selected; false for an invalid item.
    bool isSelected() const;

private:
    const TListBox *mList = nullptr;
    int mRow = -1;
};

// A list box whose click signal fires for the user's choices only (a mouse click on an
// item, or a keyboard move of the selection), never for a selection the program makes.
// Its rows come from a model that formats each one when it is drawn or read: a run of
// numbers 1..n costs nothing per row, and the window starts without making 10,000 items.
class TListBox : public QListView
{
    Q_OBJECT

public:
    explicit TListBox(QWidget *parent = nullptr);

    // Appends the rows "1".."last" (none for last < 1) after the rows the list has.
    void addNumbers(int last);
    // Appends one row per text after the rows the list has.
    void addItems(const QStringList &texts);
    // Removes every row; nothing is selected or current afterwards.
    void clear();
    // Number of rows.
    int count() const;
    // The row as an item; invalid outside 0..count()-1.
    TListItem item(int row) const;
    // The current row as an item; invalid when there is none.
    TListItem currentItem() const;
    // The selected rows as items, in row order (at most one: the list selects one row).
    QList<TListItem> selectedItems() const;
    // The current row, -1 for none.
    int currentRow() const;
    // Makes row current and the only selected one (-1: none), as a program call.
    void setCurrentRow(int row);
    // Scrolls so that item shows; an invalid item is ignored.
    void scrollToItem(const TListItem &item, ScrollHint hint = EnsureVisible);
    // Viewport rectangle of item; empty for an invalid item or one scrolled out of the layout.
    QRect visualItemRect(const TListItem &item) const;

    // Selects row (or none for -1) without running the click action.
    void selectRow(int row);
    int selectedRow() const;
    // keep = true: the user can choose another item but never leave the list without one
    // (Ctrl+click or Ctrl+Space on the selected item keeps it); the program still can.
    void setKeepSelection(bool keep) { mKeepSelection = keep; }
    bool keepsSelection() const { return mKeepSelection; }

signals:
    void userClicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;

private:
    TListModel *mModel;
    bool mKeepSelection = false;
};

// A text box of label text: several lines, Tab moves the focus and never enters the text, and
// a character a label cannot hold (control or invisible, line breaks allowed) that arrives by
// paste, drop or input method is refused before it enters: the box keeps the text it had.
class TMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TMemo(QWidget *parent = nullptr);

signals:
    // An insertion was refused for character; the text is unchanged.
    void refused(const corvial::ForbiddenCharacter &character);

protected:
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool refuses(const QString &inserted);
};

// A one-line text box with the same refusal as TMemo, line breaks included: whatever way an
// edit came (typed, pasted, dropped, input method), the box keeps the text it had before it.
class TEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TEdit(QWidget *parent = nullptr);

signals:
    // An edit was refused for character; the text is unchanged.
    void refused(const corvial::ForbiddenCharacter &character);

private:
    ForbiddenCharacter mRefused; // set by the validator, reported once the edit is undone
};

} // namespace corvial
