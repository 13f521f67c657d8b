#include "CountsGrid.h"

#include <QKeyEvent>

CountsGrid::CountsGrid(QWidget *parent) : QTableView(parent) {}

QModelIndex CountsGrid::stepped(CountsCursor::Direction direction) const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !model())
        return current;
    const CountsCursor::Cell cell = m_rules.step({current.row(), current.column()}, direction,
                                                 model()->rowCount(), model()->columnCount());
    return model()->index(cell.row, cell.column);
}

QModelIndex CountsGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (modifiers == Qt::NoModifier) {
        if (action == MoveRight)
            return stepped(CountsCursor::Direction::Right);
        if (action == MoveLeft)
            return stepped(CountsCursor::Direction::Left);
    }
    return QTableView::moveCursor(action, modifiers);
}

void CountsGrid::keyPressEvent(QKeyEvent *event)
{
    // Enter works as the Right arrow.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !isEditing() && event->modifiers() == Qt::NoModifier) {
        const QModelIndex next = stepped(CountsCursor::Direction::Right);
        if (next.isValid())
            setCurrentIndex(next);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CountsGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // The delegate ends an edit with this hint when the user pressed Enter in the cell.
    const bool byEnter = hint == QAbstractItemDelegate::SubmitModelCache;
    QTableView::closeEditor(editor, hint);
    if (byEnter && !std::exchange(m_holdCursor, false)) {
        const QModelIndex next = stepped(CountsCursor::Direction::Right);
        if (next.isValid())
            setCurrentIndex(next);
    }
    m_holdCursor = false;
}
