#include "ConnectionsModel.h"

#include "MachineStore.h"

using Field = ConnectionsSheet::Field;

namespace {
QStringList fieldCaptions()
{
    QStringList captions;
    for (int field = 0; field < Field::FieldCount; ++field)
        captions << ConnectionsSheet::caption(Field(field));
    return captions;
}
} // namespace

ConnectionsModel::ConnectionsModel(ConnectionsSheet &sheet, Prompter &prompter, QObject *parent)
    : EntryModel(prompter, fieldCaptions(), parent), m_sheet(sheet)
{
}

void ConnectionsModel::reset(MachineStore *store)
{
    beginResetModel();
    m_store = store;
    endResetModel();
}

int ConnectionsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_store ? 0 : m_sheet.count();
}

QVariant ConnectionsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const MachineLink &link = m_sheet.link(index.row());
    const auto field = Field(index.column());
    if (field == Field::Enabled)
        return role == Qt::CheckStateRole ? QVariant(link.enabled ? Qt::Checked : Qt::Unchecked) : QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return ConnectionsSheet::text(link, field);
    if (role == Qt::TextAlignmentRole && (field == Field::Machine || field == Field::Cavities))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ConnectionsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return ConnectionsSheet::caption(Field(section));
    return {};
}

Qt::ItemFlags ConnectionsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_sheet.editable() || index.column() == Field::Machine)
        return flags;
    return flags | (index.column() == Field::Enabled ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable);
}

bool ConnectionsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !m_store || prompting())
        return false;
    const auto field = Field(index.column());
    QString typed;
    if (field == Field::Enabled && role == Qt::CheckStateRole)
        typed = value.toInt() == Qt::Checked ? QStringLiteral("Yes") : QStringLiteral("No");
    else if (role == Qt::EditRole)
        typed = value.toString();
    else
        return false;
    QString message;
    if (!guardedSave([&] { message = m_sheet.enter(*m_store, index.row(), field, typed); }))
        return false;
    if (!message.isEmpty()) {
        refuse(message);
        return false;
    }
    emit dataChanged(index, index);
    return true;
}
