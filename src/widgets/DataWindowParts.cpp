#include "DataWindowParts.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>

QLabel *DataWindowParts::makeCaptionLabel(const QString &objectName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    label->setFont(font);
    return label;
}

QLabel *DataWindowParts::makeNoteLabel(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setStyleSheet(QStringLiteral("color: #9c0006;"));
    label->hide();
    return label;
}

void DataWindowParts::setUpEntryGrid(QTableView *grid, int rowHeaderWidth)
{
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 10);
    grid->verticalHeader()->setMinimumWidth(rowHeaderWidth);
}
