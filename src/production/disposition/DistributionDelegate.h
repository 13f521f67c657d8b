#pragma once

#include "production/record/CountEntryDelegate.h"

// The editors of the distribution grid: the receiving-line list in "Date/Shift Reworked", the
// reason list in "Reject Reason", and typed counts elsewhere.
class DistributionDelegate : public CountEntryDelegate
{
    Q_OBJECT

public:
    using CountEntryDelegate::CountEntryDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
};
