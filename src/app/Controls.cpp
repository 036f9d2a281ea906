// SPDX-License-Identifier: GPL-3.0-or-later
#include "Controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

namespace corvial {

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

} // namespace corvial
