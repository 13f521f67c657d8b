#include "KeepTyped.h"

#include "CountEntryDelegate.h"

#include <QPointer>
#include <QTableView>
#include <QTimer>

void KeepTyped::reopen(QTableView *grid, CountEntryDelegate *delegate, const QModelIndex &index,
                       const QString &text)
{
    QPointer<QTableView> guard(grid);
    const QPersistentModelIndex cell(index);
    QTimer::singleShot(0, grid, [guard, delegate, cell, text] {
        if (!guard || !cell.isValid() || !(cell.flags() & Qt::ItemIsEditable))
            return;
        guard->setCurrentIndex(cell);
        guard->edit(cell);
        if (QLineEdit *editor = delegate->currentEditor()) {
            editor->setText(text);
            editor->setModified(true);
        }
    });
}
