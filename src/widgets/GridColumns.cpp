#include "GridColumns.h"

#include "foundation/CKelvaraOptions.h"

#include <QHeaderView>
#include <QTableView>

namespace {
QList<GridColumn> columnsOf(const QTableView *grid)
{
    QList<GridColumn> columns;
    const QAbstractItemModel *model = grid->model();
    if (!model)
        return columns;
    for (int c = 0; c < model->columnCount(); ++c) {
        columns.append({model->headerData(c, Qt::Horizontal).toString(), double(grid->columnWidth(c)),
                        !grid->isColumnHidden(c)});
    }
    return columns;
}
} // namespace

void GridColumns::restore(CKelvaraOptions &options, const QString &section, QTableView *grid)
{
    QList<GridColumn> columns = columnsOf(grid);
    options.GetColumnWidths(section, columns);
    for (int c = 0; c < columns.size(); ++c) {
        if (columns[c].visible)
            grid->setColumnWidth(c, qRound(columns[c].width));
    }
}

void GridColumns::save(CKelvaraOptions &options, const QString &section, const QTableView *grid)
{
    options.SaveColumnWidths(section, columnsOf(grid));
}
