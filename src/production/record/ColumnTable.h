#pragma once

#include "QuantityFormat.h"

#include <QAbstractItemModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

// How a column shows its value: as it is, or as a quantity grouped by thousands (empty for a
// null; for GroupedOrEmpty also for 0). A quantity's editor gets the plain number.
enum class ColumnFormat { Plain, Grouped, GroupedOrEmpty };

// A grid described once: per column its caption, the field it shows, its alignment, whether it
// is typed in and its format. The grid model's columnCount, data, headerData and flags are made
// from it, so a new column is one line here and one field where the rows are read.
template <class Row> class ColumnTable
{
public:
    struct Column
    {
        QString caption;
        QString field; // where the value comes from, as the rows are read
        Qt::Alignment alignment;
        bool editable;
        ColumnFormat format;
        std::function<QVariant(const Row &)> value;
    };

    explicit ColumnTable(QList<Column> columns) : m_columns(std::move(columns)) {}

    int count() const { return int(m_columns.size()); }
    QStringList captions() const
    {
        QStringList result;
        for (const Column &column : m_columns)
            result << column.caption;
        return result;
    }
    const Column &at(int column) const { return m_columns.at(column); }
    // The column with this caption, or -1.
    int indexOf(const QString &caption) const
    {
        for (int column = 0; column < count(); ++column) {
            if (m_columns[column].caption == caption)
                return column;
        }
        return -1;
    }

    QVariant data(const Row &row, int column, int role) const
    {
        if (column < 0 || column >= count())
            return {};
        const Column &c = m_columns[column];
        if (role == Qt::TextAlignmentRole)
            return QVariant(c.alignment | Qt::AlignVCenter);
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        const QVariant value = c.value(row);
        if (value.isNull())
            return QString();
        if (c.format == ColumnFormat::Plain || role == Qt::EditRole)
            return value.toString();
        return QuantityFormat::grouped(value.toLongLong(), c.format == ColumnFormat::GroupedOrEmpty);
    }

    QVariant header(int section, Qt::Orientation orientation, int role) const
    {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return QString();
        return section >= 0 && section < count() ? QVariant(m_columns[section].caption) : QVariant();
    }

    // A cell is selectable and enabled; typed columns are editable where the rows may be
    // changed. No flags for the invalid index.
    Qt::ItemFlags flags(const QModelIndex &index, bool rowsEditable) const
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        const int column = index.column();
        Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (rowsEditable && column >= 0 && column < count() && m_columns[column].editable)
            result |= Qt::ItemIsEditable;
        return result;
    }

private:
    QList<Column> m_columns;
};
