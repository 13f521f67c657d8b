#pragma once

#include "ConnectionsSheet.h"

#include "widgets/DataWindow.h"

#include <memory>

class ConnectionsModel;
class MachineStore;
class QLineEdit;
class QPushButton;
class QTableView;

// "Machine Connections": per machine its EUROMAP 63 session folder, the counter that is its
// Ending Count, the cavities that multiply a cycle counter, and whether it is read. Test asks the
// selected machine for its GETINFO and GETID and shows what it answered.
class frmMachineConnections : public DataWindow
{
    Q_OBJECT

public:
    explicit frmMachineConnections(Session &session, QWidget *parent = nullptr);
    ~frmMachineConnections() override;

    ConnectionsModel *model() const { return m_model; }
    // What Test found of the machine on the row, in plain words.
    QString testRow(int row);
    QSize sizeHint() const override;

protected:
    bool loadData() override;
    void releaseData() override;

private:
    void buildUi();
    void addMachine();
    void removeMachine();
    void testMachine();

    std::unique_ptr<MachineStore> m_store;
    ConnectionsSheet m_sheet;
    ConnectionsModel *m_model = nullptr;
    QTableView *m_grid = nullptr;
    QLineEdit *m_txtMachine = nullptr;
    QLineEdit *m_txtFolder = nullptr;
    QPushButton *m_cmdAdd = nullptr;
    QPushButton *m_cmdRemove = nullptr;
};
