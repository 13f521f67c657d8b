#pragma once

#include "ConnectionsSheet.h"

#include "widgets/EntryModel.h"

class MachineStore;

// The grid of the machine connections: a column per field, Enabled as a check box.
class ConnectionsModel : public EntryModel
{
    Q_OBJECT

public:
    ConnectionsModel(ConnectionsSheet &sheet, Prompter &prompter, QObject *parent = nullptr);

    void reset(MachineStore *store);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    ConnectionsSheet &m_sheet;
    MachineStore *m_store = nullptr;
};
