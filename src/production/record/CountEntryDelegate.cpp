#include "CountEntryDelegate.h"

#include "widgets/DataWindowParts.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>

QWidget *CountEntryDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                          const QModelIndex &) const
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("countEntry"));
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setFrame(false);
    m_editor = edit;
    return edit;
}

void CountEntryDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit)
        return;
    // What the user is typing is never overwritten by a re-read of the lines.
    if (edit->isModified())
        return;
    edit->setText(index.data(Qt::EditRole).toString());
}

void CountEntryDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                      const QModelIndex &index) const
{
    // A cell only passed through is no entry: it must not mark the counts for posting.
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (edit && edit->isModified())
        model->setData(index, edit->text());
}

void CountEntryDelegate::discardEditor() const
{
    if (!m_editor)
        return;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(m_editor, &escape);
}

CountEntryDelegate *CountEntryDelegate::installOn(QTableView *grid)
{
    auto *delegate = new CountEntryDelegate(grid);
    grid->setItemDelegate(delegate);
    DataWindowParts::setUpEntryGrid(grid, 16);
    grid->setTabKeyNavigation(true);
    QHeaderView *header = grid->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter | Qt::Alignment(Qt::TextWordWrap));
    header->setMinimumHeight(2 * grid->fontMetrics().height() + 12);
    return delegate;
}
