#include "HistoryModel.h"

namespace {
ColumnTable<HistoryEntry> historyColumns()
{
    using C = ColumnTable<HistoryEntry>::Column;
    const Qt::Alignment left = Qt::AlignLeft;
    return ColumnTable<HistoryEntry>({
        C{QStringLiteral("When"), QStringLiteral("Changed At"), left, false, ColumnFormat::Plain,
          [](const HistoryEntry &e) { return QVariant(LineHistory::whenText(e)); }},
        C{QStringLiteral("Who"), QStringLiteral("Login"), left, false, ColumnFormat::Plain,
          [](const HistoryEntry &e) { return QVariant(LineHistory::whoText(e)); }},
        C{QStringLiteral("Record"), QStringLiteral("Table Name"), left, false, ColumnFormat::Plain,
          [](const HistoryEntry &e) { return QVariant(LineHistory::recordText(e)); }},
        C{QStringLiteral("Action"), QStringLiteral("Action"), left, false, ColumnFormat::Plain,
          [](const HistoryEntry &e) { return QVariant(e.action); }},
        C{QStringLiteral("Field"), QStringLiteral("Field"), left, false, ColumnFormat::Plain,
          [](const HistoryEntry &e) { return QVariant(e.field); }},
        C{QStringLiteral("Old \u2192 New"), QStringLiteral("Old Value"), left, false, ColumnFormat::Plain,
          [](const HistoryEntry &e) { return QVariant(LineHistory::changeText(e)); }},
    });
}
} // namespace

HistoryModel::HistoryModel(QObject *parent) : QAbstractTableModel(parent), m_columns(historyColumns()) {}

void HistoryModel::reset(const LineHistory *history)
{
    beginResetModel();
    m_history = history;
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_history ? 0 : int(m_history->entries().size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns.count();
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    return m_columns.data(m_history->entries().at(index.row()), index.column(), role);
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const QVariant header = m_columns.header(section, orientation, role);
    return header.isValid() ? header : QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags HistoryModel::flags(const QModelIndex &index) const
{
    return m_columns.flags(index, false);
}
