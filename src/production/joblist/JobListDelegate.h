#pragma once

#include <QStyledItemDelegate>

// Editors of the job list grid: a number box for the machine, the drop-down of active jobs
// (`tdbJobListDropDown`, job number and description side by side) for the job number.
class JobListDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private:
    QWidget *createJobDropDown(QWidget *parent, const QModelIndex &index) const;
};
