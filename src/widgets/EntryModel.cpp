#include "EntryModel.h"

#include "foundation/Database.h"
#include "foundation/Prompter.h"

EntryModel::EntryModel(Prompter &prompter, QStringList captions, QObject *parent)
    : QAbstractTableModel(parent), m_prompter(prompter), m_captions(std::move(captions))
{
}

QVariant EntryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Vertical)
        return QString();
    if (section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_captions.at(section);
}

void EntryModel::refuse(const QString &message)
{
    refuse({message, programTitle(), MsgIcon::None, MsgButtons::Ok});
}

void EntryModel::refuse(const PromptMessage &message)
{
    noteRefusal();
    m_prompting = true;
    m_prompter.ask(message);
    m_prompting = false;
}

bool EntryModel::guardedSave(const std::function<void()> &save)
{
    try {
        save();
        return true;
    } catch (const KelvaraError &error) {
        // The database refused a write to a protected date-shift: the user is told why.
        if (error.number() == DbErrors::Protected) {
            refuse(error.description());
            emit protectionMet();
            return false;
        }
        noteRefusal();
        if (m_onFailure)
            m_onFailure(error.numberAndText(), error.detail());
    }
    return false;
}

void EntryModel::logFailure(const QString &logText)
{
    if (m_onFailure && !logText.isEmpty())
        m_onFailure({}, logText);
}

void EntryModel::followKeys(const QList<qint64> &keys)
{
    for (int row = keyCount() - 1; row >= 0; --row) {
        if (keys.contains(m_keys[row]))
            continue;
        beginRemoveRows({}, row, row);
        m_keys.removeAt(row);
        endRemoveRows();
    }
    for (int row = 0; row < keys.size(); ++row) {
        if (row < keyCount() && m_keys[row] == keys[row])
            continue;
        const int at = int(m_keys.indexOf(keys[row], row));
        if (at > row) {
            beginMoveRows({}, at, at, {}, row);
            m_keys.move(at, row);
            endMoveRows();
        } else {
            beginInsertRows({}, row, row);
            m_keys.insert(row, keys[row]);
            endInsertRows();
        }
    }
    // What the rows show may have changed too.
    if (keyCount() > 0)
        emit dataChanged(index(0, 0), index(keyCount() - 1, columnCount() - 1));
}

void EntryModel::renameKey(qint64 from, qint64 to)
{
    const int row = rowOfKey(from);
    if (row >= 0 && rowOfKey(to) < 0)
        m_keys[row] = to;
}
