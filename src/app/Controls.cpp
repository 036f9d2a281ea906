// SPDX-License-Identifier: GPL-3.0-or-later
#include "Controls.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QValidator>
#include <QWheelEvent>
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

ShapeCell::ShapeCell(Kind kind, QWidget *parent) : QWidget(parent), mKind(kind)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeCell::setFillColour(const QColor &colour)
{
    if (colour == mFill)
        return;
    mFill = colour;
    update();
}

void ShapeCell::setOutlineColour(const QColor &colour)
{
    if (colour == mOutline)
        return;
    mOutline = colour;
    update();
}

void ShapeCell::paintEvent(QPaintEvent *)
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

ClickSurface::ClickSurface(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void ClickSurface::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit mouseMoved(p.x(), p.y());
}

void ClickSurface::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The press happens where the pointer is, so it counts as the pointer's last move too.
    const QPoint p = event->position().toPoint();
    emit mouseMoved(p.x(), p.y());
    mPressed = true;
}

void ClickSurface::mouseReleaseEvent(QMouseEvent *event)
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
class ChoiceListModel : public QAbstractListModel
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

    // n when the rows are exactly the numbers 1..n, else 0.
    int numberRun() const { return mTexts.isEmpty() ? mNumbers : 0; }

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

// Draws the rows at the list's row height, and the current row framed while the list has the
// keyboard focus: the selection colour alone looks the same in every list of the screen.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    int height = 0; // 0: the style's own

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (height > 0)
            size.setHeight(height);
        return size;
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (!option.state.testFlag(QStyle::State_HasFocus))
            return;
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        painter->save();
        painter->setPen(
            QPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text), 1,
                 Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option.rect).adjusted(0.5, 0.5, -1.5, -1.5));
        painter->restore();
    }
};

QString ChoiceListItem::text() const
{
    return mList ? mList->model()->index(mRow, 0).data().toString() : QString();
}

bool ChoiceListItem::isSelected() const
{
    return mList && mList->selectionModel()->isSelected(mList->model()->index(mRow, 0));
}

ChoiceList::ChoiceList(QWidget *parent)
    : QListView(parent), mModel(new ChoiceListModel(this)), mRows(new RowDelegate(this))
{
    setModel(mModel);
    setItemDelegate(mRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    // The strip below the last whole row is the list's own; it shows the rows' colour.
    setBackgroundRole(QPalette::Base);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &ChoiceList::followScrollBar);
}

int ChoiceList::rowHeight() const
{
    return mRows->height;
}

void ChoiceList::fitRows()
{
    // The bounds were drawn for the old toolkit's shorter rows. Whole rows of at least the
    // style's height divide the inside; the few pixels the division leaves stay empty below
    // them instead of showing the top of the next row.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int natural = std::max(1, QStyledItemDelegate().sizeHint(option, QModelIndex()).height());
    const int inside = viewport()->height() + mLeftBelow;
    const int rows = std::max(1, inside / natural);
    const int height = std::max(natural, inside / rows);
    const int leftBelow = std::max(0, inside - rows * height);
    mOneRow = rows == 1;
    // Row by row, the scroll bar's position is the row shown at the top, the one a list of
    // one row makes the selection.
    if (mOneRow)
        setVerticalScrollMode(ScrollPerItem);
    if (height == mRows->height && leftBelow == mLeftBelow)
        return;
    mRows->height = height;
    mLeftBelow = leftBelow;
    setViewportMargins(0, 0, 0, leftBelow);
    setAutoFillBackground(leftBelow > 0);
    scheduleDelayedItemsLayout();
}

void ChoiceList::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    fitRows();
}

void ChoiceList::changeEvent(QEvent *event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitRows();
}

void ChoiceList::addNumbers(int last)
{
    mModel->addNumbers(last);
}

void ChoiceList::addItems(const QStringList &texts)
{
    mModel->addTexts(texts);
}

void ChoiceList::clear()
{
    mModel->clear();
}

int ChoiceList::count() const
{
    return mModel->rowCount();
}

ChoiceListItem ChoiceList::item(int row) const
{
    return row >= 0 && row < count() ? ChoiceListItem(this, row) : ChoiceListItem();
}

ChoiceListItem ChoiceList::currentItem() const
{
    return item(currentRow());
}

QList<ChoiceListItem> ChoiceList::selectedItems() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QList<ChoiceListItem> items;
    for (int row : rows)
        items << item(row);
    return items;
}

int ChoiceList::currentRow() const
{
    return currentIndex().row();
}

void ChoiceList::setCurrentRow(int row)
{
    selectionModel()->setCurrentIndex(mModel->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

void ChoiceList::scrollToItem(const ChoiceListItem &item, ScrollHint hint)
{
    if (item)
        scrollTo(mModel->index(item.row(), 0), hint);
}

QRect ChoiceList::visualItemRect(const ChoiceListItem &item) const
{
    return item ? visualRect(mModel->index(item.row(), 0)) : QRect();
}

void ChoiceList::selectRow(int row)
{
    const QSignalBlocker blocker(this);
    if (row < 0 || row >= count()) {
        setCurrentRow(-1);
        clearSelection();
        return;
    }
    setCurrentRow(row);
}

int ChoiceList::selectedRow() const
{
    const QList<ChoiceListItem> items = selectedItems();
    return items.isEmpty() ? -1 : items.first().row();
}

void ChoiceList::mouseReleaseEvent(QMouseEvent *event)
{
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        emit userClicked();
}

QItemSelectionModel::SelectionFlags ChoiceList::selectionCommand(const QModelIndex &index,
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

void ChoiceList::keyPressEvent(QKeyEvent *event)
{
    const int before = currentRow();
    QListView::keyPressEvent(event);
    if (currentRow() != before)
        emit userClicked();
}

void ChoiceList::followScrollBar(int action)
{
    // A list one row high showed another value than the one printed and saved when its arrows
    // only scrolled: what the user scrolls to is what the user chooses.
    if (!mOneRow || action == QAbstractSlider::SliderNoAction || count() == 0)
        return;
    const int row = std::clamp(verticalScrollBar()->sliderPosition(), 0, count() - 1);
    if (row == selectedRow())
        return;
    selectionModel()->setCurrentIndex(mModel->index(row, 0), QItemSelectionModel::ClearAndSelect);
    emit userClicked();
}

void ChoiceList::wheelEvent(QWheelEvent *event)
{
    if (!mOneRow) {
        QListView::wheelEvent(event);
        return;
    }
    // One notch is one row, however many lines the desktop scrolls per notch, and it goes the
    // way of an arrow click so that it chooses alike.
    mWheelAngle += event->angleDelta().y();
    for (; mWheelAngle >= 120; mWheelAngle -= 120)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    for (; mWheelAngle <= -120; mWheelAngle += 120)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    event->accept();
}

void ChoiceList::keyboardSearch(const QString &search)
{
    const int last = mModel->numberRun();
    if (last == 0) {
        QListView::keyboardSearch(search);
        return;
    }
    if (search.isEmpty()) {
        mTyped.clear();
        return;
    }
    // Prefix search chose 120 for "12" and 50 for "5": among numbers the digits typed are the
    // number meant.
    const bool goesOn =
        mTypedAt.isValid() && mTypedAt.elapsed() <= QApplication::keyboardInputInterval();
    mTypedAt.start();
    if (!goesOn)
        mTypedFrom = currentRow();
    mTyped = goesOn ? mTyped + search : search;
    int number = 0;
    for (const QChar c : std::as_const(mTyped)) {
        // Full-width digits from an input method count too; past the last nothing is held.
        if (c.digitValue() < 0 || number > last) {
            number = -1;
            break;
        }
        number = number * 10 + c.digitValue();
    }
    if (number < 1 || number > last) {
        // "401" chose 40 on its way: the choice goes back to where the typing began, so a
        // refused number leaves the value it replaced and not one the user never meant.
        if (mTypedFrom >= 0 && currentRow() != mTypedFrom)
            selectionModel()->setCurrentIndex(mModel->index(mTypedFrom, 0),
                                              QItemSelectionModel::ClearAndSelect);
        emit typedNumberRefused(QStringLiteral("%1 はこの一覧にありません（1〜%2）。選択は元の"
                                               "ままです。")
                                    .arg(mTyped)
                                    .arg(last));
        return;
    }
    selectionModel()->setCurrentIndex(mModel->index(number - 1, 0),
                                      QItemSelectionModel::ClearAndSelect);
}

MemoBox::MemoBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
}

void MemoBox::setTextIndent(int px)
{
    setViewportMargins(std::max(0, px), 0, 0, 0);
    // The margin is the box's own area, not the text's: fill it with the text's background
    // so the indent reads as part of the box.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(px > 0);
}

void MemoBox::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::ReadOnlyChange && mReadOnlyLook)
        mLook.apply(this, isReadOnly());
}

void ReadOnlyLook::apply(QWidget *box, bool readOnly)
{
    if (readOnly == mApplied)
        return;
    mApplied = readOnly;
    if (readOnly) {
        mOwnPalette = box->testAttribute(Qt::WA_SetPalette);
        mBefore = box->palette();
        QPalette look = mBefore;
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            look.setColor(group, QPalette::Base, mBefore.color(group, QPalette::Window));
        box->setPalette(look);
    } else {
        box->setPalette(mOwnPalette ? mBefore : QPalette());
    }
}

bool MemoBox::refuses(const QString &inserted)
{
    const ForbiddenCharacter c = firstForbiddenCharacter(inserted, true);
    if (!c.found())
        return false;
    emit refused(c);
    return true;
}

void MemoBox::insertFromMimeData(const QMimeData *source)
{
    // A plain-text box inserts the text form of whatever is pasted or dropped, nothing else.
    if (source && refuses(source->text()))
        return;
    QPlainTextEdit::insertFromMimeData(source);
}

void MemoBox::inputMethodEvent(QInputMethodEvent *event)
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

void MemoBox::keyPressEvent(QKeyEvent *event)
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

LineBox::LineBox(QWidget *parent) : QLineEdit(parent)
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

void LineBox::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::ReadOnlyChange && mReadOnlyLook)
        mLook.apply(this, isReadOnly());
}

void tabEntersAtCheckedButton(QWidget *group)
{
    const QList<QRadioButton *> buttons =
        group->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
    // Qt moves Tab onto the checked button only once the group has had the focus; a choice
    // made by the program or by a click before that would leave Tab on the first button.
    const auto follow = [buttons] {
        const bool anyChecked = std::any_of(buttons.cbegin(), buttons.cend(),
                                            [](const QRadioButton *b) { return b->isChecked(); });
        for (QRadioButton *b : buttons) {
            const bool entry = anyChecked ? b->isChecked() : b == buttons.first();
            b->setFocusPolicy(entry ? Qt::StrongFocus : Qt::ClickFocus);
        }
    };
    for (QRadioButton *b : buttons)
        QObject::connect(b, &QRadioButton::toggled, group, follow);
    follow();
}

} // namespace corvial
