// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/TextCharacters.h"

#include <QColor>
#include <QLineEdit>
#include <QListWidget>
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

// A list box whose click signal fires for the user's choices only (a mouse click on an
// item, or a keyboard move of the selection), never for a selection the program makes.
class TListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit TListBox(QWidget *parent = nullptr);

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
