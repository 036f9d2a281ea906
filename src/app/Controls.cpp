// SPDX-License-Identifier: GPL-3.0-or-later
#include "Controls.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QValidator>
#include <utility>

namespace corvial {

namespace {

// The line edit undoes an edit this calls Invalid by itself, exactly to the text before it,
// and then says inputRejected; the character is kept for that moment.
class CharacterValidator : public QValidator
{
public:
    CharacterValidator(ForbiddenCharacter *refused, QObject *parent)
        : QValidator(parent), mRefused(refused)
    {
    }

    State validate(QString &input, int &) const override
    {
        const ForbiddenCharacter c = firstForbiddenCharacter(input, false);
        if (!c.found())
            return Acceptable;
        *mRefused = c;
        return Invalid;
    }

private:
    ForbiddenCharacter *mRefused;
};

} // namespace

TShape::TShape(Kind kind, QWidget *parent) : QWidget(parent), mKind(kind)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TShape::setFillColour(const QColor &colour)
{
    if (colour == mFill)
        return;
    mFill = colour;
    update();
}

void TShape::setOutlineColour(const QColor &colour)
{
    if (colour == mOutline)
        return;
    mOutline = colour;
    update();
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, mKind == Kind::Circle);
    p.setPen(QPen(mOutline, 1));
    p.setBrush(mFill);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (mKind == Kind::Circle)
        p.drawEllipse(r);
    else
        p.drawRect(r);
}

TImage::TImage(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void TImage::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit mouseMoved(p.x(), p.y());
}

void TImage::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The press happens where the pointer is, so it counts as the pointer's last move too.
    const QPoint p = event->position().toPoint();
    emit mouseMoved(p.x(), p.y());
    mPressed = true;
}

void TImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !mPressed)
        return;
    mPressed = false;
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

TListBox::TListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

void TListBox::selectRow(int row)
{
    const QSignalBlocker blocker(this);
    if (row < 0 || row >= count()) {
        setCurrentRow(-1);
        clearSelection();
        return;
    }
    setCurrentRow(row);
}

int TListBox::selectedRow() const
{
    const QList<QListWidgetItem *> items = selectedItems();
    return items.isEmpty() ? -1 : row(items.first());
}

void TListBox::mouseReleaseEvent(QMouseEvent *event)
{
    QListWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()))
        emit userClicked();
}

QItemSelectionModel::SelectionFlags TListBox::selectionCommand(const QModelIndex &index,
                                                               const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    // The view answers the user's gestures through here; the program's selectRow and
    // clear go around it. Whatever would leave the list with nothing selected is dropped.
    if (!mKeepSelection || selectedItems().isEmpty())
        return command;
    const bool deselects =
        command.testAnyFlags(QItemSelectionModel::Deselect | QItemSelectionModel::Toggle) &&
        selectionModel()->isSelected(index);
    const bool clearsOnly = command.testFlag(QItemSelectionModel::Clear) &&
                            (!command.testFlag(QItemSelectionModel::Select) || !index.isValid());
    if (deselects || clearsOnly)
        return QItemSelectionModel::NoUpdate;
    return command;
}

void TListBox::keyPressEvent(QKeyEvent *event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before)
        emit userClicked();
}

TMemo::TMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
}

bool TMemo::refuses(const QString &inserted)
{
    const ForbiddenCharacter c = firstForbiddenCharacter(inserted, true);
    if (!c.found())
        return false;
    emit refused(c);
    return true;
}

void TMemo::insertFromMimeData(const QMimeData *source)
{
    // A plain-text box inserts the text form of whatever is pasted or dropped, nothing else.
    if (source && refuses(source->text()))
        return;
    QPlainTextEdit::insertFromMimeData(source);
}

void TMemo::inputMethodEvent(QInputMethodEvent *event)
{
    if (!refuses(event->commitString())) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    // The composition still ends as the input method says; only its text stays out.
    QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
    QPlainTextEdit::inputMethodEvent(&withoutCommit);
    event->accept();
}

void TMemo::keyPressEvent(QKeyEvent *event)
{
    // Keys give control characters for Backspace, Escape and Ctrl shortcuts, which the box
    // never types; a key that types an invisible character is refused like a paste.
    const ForbiddenCharacter c = firstForbiddenCharacter(event->text(), true);
    if (c.found() && c.kind == CharacterClass::Invisible) {
        emit refused(c);
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

TEdit::TEdit(QWidget *parent) : QLineEdit(parent)
{
    setValidator(new CharacterValidator(&mRefused, this));
    // Also said for a text over the maximum length, which these boxes do not set; only a
    // refusal of the validator has a character to name.
    connect(this, &QLineEdit::inputRejected, this, [this] {
        const ForbiddenCharacter c = std::exchange(mRefused, ForbiddenCharacter());
        if (c.found())
            emit refused(c);
    });
}

} // namespace corvial
