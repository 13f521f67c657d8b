#include "JobListDelegate.h"

#include "JobListModel.h"

#include <QComboBox>
#include <QCompleter>
#include <QHeaderView>
#include <QIntValidator>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>

QWidget *JobListDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    switch (index.column()) {
    case JobListModel::MachineColumn: {
        auto *edit = new QLineEdit(parent);
        edit->setValidator(new QIntValidator(0, 32767, edit));
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return edit;
    }
    case JobListModel::JobNumberColumn:
        return createJobDropDown(parent, index);
    default:
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
}

QWidget *JobListDelegate::createJobDropDown(QWidget *parent, const QModelIndex &index) const
{
    const auto *model = qobject_cast<const JobListModel *>(index.model());
    auto *dropDown = new QComboBox(parent);
    dropDown->setObjectName(QStringLiteral("tdbJobListDropDown"));
    dropDown->setEditable(true);
    dropDown->setInsertPolicy(QComboBox::NoInsert);

    auto *choices = new QStandardItemModel(0, 2, dropDown);
    choices->setHorizontalHeaderLabels({tr("Job Number"), tr("Job Description")});
    if (model) {
        for (const JobChoice &job : model->jobs())
            choices->appendRow({new QStandardItem(job.number), new QStandardItem(job.description)});
    }
    dropDown->setModel(choices);
    dropDown->setModelColumn(0);

    auto *list = new QTableView(dropDown);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 8);
    list->horizontalHeader()->setStretchLastSection(true);
    list->setShowGrid(false);
    dropDown->setView(list);
    list->resizeColumnToContents(0);
    list->setColumnWidth(0, std::max(list->columnWidth(0) + 16, 110));
    list->setMinimumWidth(list->columnWidth(0) + 320);
    dropDown->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    dropDown->completer()->setCompletionMode(QCompleter::PopupCompletion);

    // Choosing a job from the list saves the line at once, with the job's description.
    connect(dropDown, &QComboBox::activated, this, [this, dropDown](int) {
        auto *self = const_cast<JobListDelegate *>(this);
        emit self->commitData(dropDown);
        emit self->closeEditor(dropDown, QAbstractItemDelegate::NoHint);
    });
    return dropDown;
}

void JobListDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    // What the user is typing is never overwritten by a re-read of the lines.
    auto *typing = qobject_cast<QComboBox *>(editor) ? qobject_cast<QComboBox *>(editor)->lineEdit()
                                                     : qobject_cast<QLineEdit *>(editor);
    if (typing && typing->isModified())
        return;
    const QString text = index.data(Qt::EditRole).toString();
    if (auto *dropDown = qobject_cast<QComboBox *>(editor)) {
        const int found = dropDown->findText(text, Qt::MatchFixedString);
        dropDown->setCurrentIndex(found);
        dropDown->setEditText(text);
        return;
    }
    if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        edit->setText(text);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void JobListDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *dropDown = qobject_cast<QComboBox *>(editor)) {
        model->setData(index, dropDown->currentText());
        return;
    }
    if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        model->setData(index, edit->text());
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
