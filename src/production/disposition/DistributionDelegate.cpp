#include "DistributionDelegate.h"

#include "DispositionSheet.h"
#include "DistributionModel.h"

#include "foundation/DateShift.h"
#include "foundation/RejectReasons.h"

#include <QComboBox>

namespace {
bool isList(const QModelIndex &index)
{
    return index.column() == DistributionModel::ReworkedIntoColumn ||
           index.column() == DistributionModel::ReasonColumn;
}

// "12/08/2026, Shift 2, Machine 4 (Job ID 1234)"
QString receivingText(const ReceivingLine &line)
{
    return QStringLiteral("%1, Shift %2, Machine %3 (Job ID %4)")
        .arg(shortDateText(line.date))
        .arg(line.shift)
        .arg(line.machineNumber.toString())
        .arg(line.jobId);
}
} // namespace

QWidget *DistributionDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    if (!isList(index))
        return CountEntryDelegate::createEditor(parent, option, index);
    auto *list = new QComboBox(parent);
    // A pick from the list is the entry: it is stored at once.
    auto *self = const_cast<DistributionDelegate *>(this);
    connect(list, &QComboBox::activated, self, [self, list] {
        emit self->commitData(list);
        emit self->closeEditor(list);
    });
    if (index.column() == DistributionModel::ReasonColumn) {
        list->setObjectName(QStringLiteral("reasonList"));
        const QStringList names = RejectReasons::names();
        for (int reason = 0; reason < names.size(); ++reason)
            list->addItem(names[reason], reason);
        return list;
    }
    list->setObjectName(QStringLiteral("tdbdDateShift"));
    list->addItem(QString(), qint64(0));
    const auto *model = qobject_cast<const DistributionModel *>(index.model());
    if (model && model->sheet()) {
        for (const ReceivingLine &line : model->sheet()->receivingLines())
            list->addItem(receivingText(line), line.jobId);
    }
    return list;
}

void DistributionDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *list = qobject_cast<QComboBox *>(editor);
    if (!list) {
        CountEntryDelegate::setEditorData(editor, index);
        return;
    }
    const QVariant value = index.data(DistributionModel::ValueRole);
    const int at =
        list->findData(index.column() == DistributionModel::ReasonColumn ? QVariant(value.toInt())
                                                                         : QVariant(value.toLongLong()));
    list->setCurrentIndex(std::max(at, 0));
}

void DistributionDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                        const QModelIndex &index) const
{
    auto *list = qobject_cast<QComboBox *>(editor);
    if (!list) {
        CountEntryDelegate::setModelData(editor, model, index);
        return;
    }
    // Passing through the list without a new choice is no change.
    if (list->currentData() == index.data(DistributionModel::ValueRole))
        return;
    model->setData(index, list->currentData());
}
