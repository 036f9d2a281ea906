// SPDX-License-Identifier: GPL-3.0-or-later
#include "Controls.h"

#include <QAbstractListModel>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QValidator>
#include <algorithm>
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

// The rows of a list box: first a run of numbers 1..n, formatted only when a row is drawn or
// read, then any texts. Start-up fills 9,990 + 400 numbers, and an item object per row was
// the larger part of the window's start-up time.
class TListModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : mNumbers + int(mTexts.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount() ||
            (role != Qt::DisplayRole && role != Qt::EditRole))
            return QVariant();
        return text(index.row());
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                               : Qt::NoItemFlags;
    }

    QString text(int row) const
    {
        return row < mNumbers ? QString::number(row + 1) : mTexts.at(row - mNumbers);
    }

    void addNumbers(int last)
    {
        if (last < 1)
            return;
        // A run only counts from 1 at the top of the list; anywhere else its rows are texts.
        if (rowCount() > 0) {
            QStringList texts;
            texts.reserve(last);
            for (int i = 1; i <= last; ++i)
                texts << QString::number(i);
            addTexts(texts);
            return;
        }
        beginInsertRows(QModelIndex(), 0, last - 1);
        mNumbers = last;
        endInsertRows();
    }

    void addTexts(const QStringList &texts)
    {
        if (texts.isEmpty())
            return;
        const int first = rowCount();
        beginInsertRows(QModelIndex(), first, first + int(texts.size()) - 1);
        mTexts += texts;
        endInsertRows();
    }

    void clear()
    {
        beginResetModel();
        mNumbers = 0;
        mTexts.clear();
        endResetModel();
    }

private:
    int mNumbers = 0;
    QStringList mTexts;
};

QString TListItem::text() const
{
    return mList ? mList->model()->index(mRow, 0).data().toString() : QString();
}

bool TListItem::isSelected() const
{
    return mList && mList->selectionModel()->isSelected(mList->model()->index(mRow, 0));
}

TListBox::TListBox(QWidget *parent) : QListView(parent), mModel(new TListModel(this))
{
    setModel(mModel);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

void TListBox::addNumbers(int last)
{
    mModel->addNumbers(last);
}

void TListBox::addItems(const QStringList &texts)
{
    mModel->addTexts(texts);
}

void TListBox::clear()
{
    mModel->clear();
}

int TListBox::count() const
{
    return mModel->rowCount();
}

TListItem TListBox::item(int row) const
{
    return row >= 0 && row < count() ? TListItem(this, row) : TListItem();
}

TListItem TListBox::currentItem() const
{
    return item(currentRow());
}

QList<TListItem> TListBox::selectedItems() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QList<TListItem> items;
    for (int row : rows)
        items << item(row);
    return items;
}

int TListBox::currentRow() const
{
    return currentIndex().row();
}

void TListBox::setCurrentRow(int row)
{
    selectionModel()->setCurrentIndex(mModel->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

void TListBox::scrollToItem(const TListItem &item, ScrollHint hint)
{
    if (item)
        scrollTo(mModel->index(item.row(), 0), hint);
}

QRect TListBox::visualItemRect(const TListItem &item) const
{
    return item ? visualRect(mModel->index(item.row(), 0)) : QRect();
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
    const QList<TListItem> items = selectedItems();
    return items.isEmpty() ? -1 : items.first().row();
}

void TListBox::mouseReleaseEvent(QMouseEvent *event)
{
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        emit userClicked();
}

QItemSelectionModel::SelectionFlags TListBox::selectionCommand(const QModelIndex &index,
                                                               const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
    // The view answers the user's gestures through here; the program's selectRow and
    // clear go around it. Whatever would leave the list with nothing selected is dropped.
    if (!mKeepSelection || !selectionModel()->hasSelection())
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
    QListView::keyPressEvent(event);
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
