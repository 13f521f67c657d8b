#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

#include <QLineEdit>

class QTableView;

// The editor of a count cell: free text, so a supervisor can type "1200+350" or "12 * 48" and
// the count entry rules work the number out when the cell is left.
class CountEntryDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Sets up a grid of counts (production counts, rejects by reason): this editor in every cell,
    // typing edits, Tab moves between cells, and the column headers wrap onto two lines.
    static CountEntryDelegate *installOn(QTableView *grid);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // The editor open now, if any.
    QLineEdit *currentEditor() const { return m_editor; }
    // Something typed into the open editor and not stored yet. An editor the grid has closed
    // (hidden, deleted later) holds nothing: its entry was stored or thrown away.
    bool hasModifiedEditor() const { return m_editor && !m_editor->isHidden() && m_editor->isModified(); }
    // Ends the open edit without storing it: Escape, since the editor would otherwise store its
    // text as it loses the focus.
    void discardEditor() const;

private:
    mutable QPointer<QLineEdit> m_editor;
};
