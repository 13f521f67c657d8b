#include "CountEntryDelegate.h"

#include <QApplication>
#include <QKeyEvent>

#include <QLineEdit>

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
