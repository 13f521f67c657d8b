#include "GridColumns.h"

#include "foundation/CKelvaraOptions.h"

#include <QEvent>
#include <QHeaderView>
#include <QRegularExpression>
#include <QStyle>
#include <QTableView>
#include <QTimer>

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

int boldHeadingWidth(const QTableView *grid, int column)
{
    const QHeaderView *header = grid->horizontalHeader();
    if (!(header->defaultAlignment() & Qt::TextWordWrap))
        return header->sectionSizeHint(column); // measured bold by the header itself
    QFont bold = header->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    static const QRegularExpression space(QStringLiteral("\\s+"));
    int widest = 0;
    for (const QString &word : grid->model()->headerData(column, Qt::Horizontal).toString().split(space))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    return widest + 2 * margin + 2;
}

// Watches the grid's viewport and model for the moments its column may be given more room.
class SpareWidth : public QObject
{
public:
    SpareWidth(QTableView *grid, int column) : QObject(grid), m_grid(grid), m_column(column)
    {
        grid->viewport()->installEventFilter(this);
        connect(grid->model(), &QAbstractItemModel::modelReset, this, &SpareWidth::later);
        connect(grid->model(), &QAbstractItemModel::rowsInserted, this, &SpareWidth::later);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            later();
        return QObject::eventFilter(watched, event);
    }

private:
    void later() { QTimer::singleShot(0, this, &SpareWidth::widen); }
    void widen()
    {
        const int spare = m_grid->viewport()->width() - m_grid->horizontalHeader()->length();
        const int width = m_grid->columnWidth(m_column);
        // QTableView hides it; it is public on the item view.
        const int need = static_cast<const QAbstractItemView *>(m_grid)->sizeHintForColumn(m_column);
        if (spare > 0 && need > width)
            m_grid->setColumnWidth(m_column, width + std::min(spare, need - width));
    }

    QTableView *m_grid;
    int m_column;
};
} // namespace

void GridColumns::fitHeadings(QTableView *grid)
{
    if (!grid->model())
        return;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (!grid->isColumnHidden(c))
            grid->setColumnWidth(c, std::max(grid->columnWidth(c), boldHeadingWidth(grid, c)));
    }
}

void GridColumns::giveSpareWidthTo(QTableView *grid, int column)
{
    new SpareWidth(grid, column);
}

void GridColumns::restore(CKelvaraOptions &options, const QString &section, QTableView *grid)
{
    QList<GridColumn> columns = columnsOf(grid);
    options.GetColumnWidths(section, columns);
    for (int c = 0; c < columns.size(); ++c) {
        if (columns[c].visible)
            grid->setColumnWidth(c, qRound(columns[c].width));
    }
    fitHeadings(grid);
}

void GridColumns::save(CKelvaraOptions &options, const QString &section, const QTableView *grid)
{
    options.SaveColumnWidths(section, columnsOf(grid));
}
