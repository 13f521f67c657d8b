#include "SheetEntryModel.h"

bool SheetEntryModel::settle(const QModelIndex &index, const QString &typed, const EntryResult &result)
{
    if (result.stored) {
        emit stored();
        return true;
    }
    noteRefusal();
    if (!result.message.isEmpty())
        refuse({result.message, result.title, result.icon, result.buttons});
    logFailure(result.logText);
    if (result.protectionMet)
        emit protectionMet();
    if (result.keepText && index.isValid())
        emit keepTyped(index, typed);
    return false;
}

void SheetEntryModel::follow()
{
    if (m_rows.keys)
        followKeys(m_rows.keys());
}

void SheetEntryModel::showSheet(const std::function<void()> &replace, SheetRows rows)
{
    beginResetModel();
    replace();
    m_rows = std::move(rows);
    setKeys(m_rows.keys ? m_rows.keys() : QList<qint64>());
    endResetModel();
}

int SheetEntryModel::sheetRow(int row) const
{
    return m_rows.rowOf && row >= 0 && row < keyCount() ? m_rows.rowOf(keyAt(row)) : -1;
}
