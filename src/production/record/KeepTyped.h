#pragma once

#include <QModelIndex>
#include <QString>

class CountEntryDelegate;
class QTableView;

// A save that failed leaves what the user typed in its cell: the cell's editor is opened again
// with the text, once the message is gone.
namespace KeepTyped {
void reopen(QTableView *grid, CountEntryDelegate *delegate, const QModelIndex &index, const QString &text);
}
