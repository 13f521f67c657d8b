#pragma once

#include "CountsCursor.h"

#include <QTableView>

// The counts grid with the cursor rules of the counts window: Left, Right and Enter walk the
// entry columns and wrap from line to line; the mouse goes wherever it is clicked.
class CountsGrid : public QTableView
{
    Q_OBJECT

public:
    explicit CountsGrid(QWidget *parent = nullptr);

    void setCursorRules(const CountsCursor &rules) { m_rules = rules; }
    // A cell's editor is open. (Rows that come and go around it leave the view's state, not the
    // editor.)
    bool isEditing() const { return state() == EditingState || indexWidget(currentIndex()); }
    // The last entry was refused: Enter leaves the cursor on the cell.
    void holdCursorOnce() { m_holdCursor = true; }

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    QModelIndex stepped(CountsCursor::Direction direction) const;

    CountsCursor m_rules{0, 0, 0};
    bool m_holdCursor = false;
};
