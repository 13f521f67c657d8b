#include "frmMachineConnections.h"

#include "ConnectionsModel.h"
#include "MachineProgress.h"
#include "MachineStore.h"

#include "foundation/Session.h"
#include "widgets/DataWindowParts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

frmMachineConnections::frmMachineConnections(Session &session, QWidget *parent)
    : DataWindow(session, QStringLiteral("frmMachineConnections"), tr("Machine Connections"), parent)
{
    buildUi();
    resize(900, 480);
}

frmMachineConnections::~frmMachineConnections() = default;

QSize frmMachineConnections::sizeHint() const
{
    return {860, 520};
}

void frmMachineConnections::buildUi()
{
    m_model = new ConnectionsModel(m_sheet, session().prompter(), this);
    watchModel(m_model, QStringLiteral("Table1"));
    m_grid = DataWindowParts::makeGrid(QStringLiteral("Table1"), m_model, this);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    const int widths[ConnectionsSheet::FieldCount] = {70, 440, 110, 70, 70};
    for (int column = 0; column < ConnectionsSheet::FieldCount; ++column)
        m_grid->setColumnWidth(column, widths[column]);
    m_grid->verticalHeader()->setDefaultSectionSize(24);
    addGrid(m_grid, QStringLiteral("MACHINECONNECTIONS"));

    m_txtMachine = new QLineEdit(this);
    m_txtMachine->setObjectName(QStringLiteral("txtMachine"));
    m_txtMachine->setMaximumWidth(80);
    m_txtFolder = new QLineEdit(this);
    m_txtFolder->setObjectName(QStringLiteral("txtFolder"));
    m_txtFolder->setPlaceholderText(tr("/srv/machines/12"));
    using DataWindowParts::makeButton;
    m_cmdAdd = makeButton(QStringLiteral("cmdAdd"), tr("&Add"), this);
    m_cmdRemove = makeButton(QStringLiteral("cmdRemove"), tr("&Remove"), this);
    QPushButton *cmdTest = makeButton(QStringLiteral("cmdTest"), tr("&Test"), this);
    QPushButton *cmdClose =
        DataWindowParts::makeCloseButton(QStringLiteral("cmdClose"), tr("&Close"), this, this);

    auto *adding = new QHBoxLayout;
    adding->addWidget(new QLabel(tr("Machine:"), this));
    adding->addWidget(m_txtMachine);
    adding->addWidget(new QLabel(tr("Session folder:"), this));
    adding->addWidget(m_txtFolder, 1);
    adding->addWidget(m_cmdAdd);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(cmdTest);
    bottom->addWidget(m_cmdRemove);
    bottom->addStretch();
    bottom->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(adding);
    layout->addLayout(bottom);

    connectCommand(m_cmdAdd, [this] { addMachine(); });
    connectCommand(m_cmdRemove, [this] { removeMachine(); });
    connectCommand(cmdTest, [this] { testMachine(); });
}

bool frmMachineConnections::loadData()
{
    m_store = std::make_unique<MachineStore>(db());
    QList<MachineLink> links;
    if (!runStep({}, [&] { links = m_store->links(); }))
        return false;
    m_sheet.setLinks(links);
    // The plant's set-up is level C's; the other levels see it and may test a machine.
    const bool editable = session().securityLevel == QLatin1String("C");
    m_sheet.setEditable(editable);
    for (QWidget *widget : {static_cast<QWidget *>(m_cmdAdd), static_cast<QWidget *>(m_cmdRemove),
                            static_cast<QWidget *>(m_txtMachine), static_cast<QWidget *>(m_txtFolder)})
        widget->setEnabled(editable);
    m_model->reset(m_store.get());
    return true;
}

void frmMachineConnections::releaseData()
{
    m_model->reset(nullptr);
    m_store.reset();
}

void frmMachineConnections::addMachine()
{
    QString message;
    try {
        message = m_sheet.add(*m_store, m_txtMachine->text(), m_txtFolder->text());
    } catch (const KelvaraError &error) {
        reportFailure(QStringLiteral("cmdAdd_Click"), error);
        return;
    }
    if (!message.isEmpty()) {
        session().prompter().tell(message, windowTitle(), MsgIcon::Exclamation);
        return;
    }
    m_model->reset(m_store.get());
    m_txtMachine->clear();
    m_txtFolder->clear();
}

void frmMachineConnections::removeMachine()
{
    const int row = m_grid->currentIndex().row();
    if (row < 0)
        return;
    const int machine = m_sheet.link(row).machine;
    if (session().prompter().ask({tr("Remove the connection of machine %1? Its readings stay.").arg(machine),
                                  windowTitle(), MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No}) !=
        MsgAnswer::Yes)
        return;
    try {
        m_sheet.remove(*m_store, row);
    } catch (const KelvaraError &error) {
        reportFailure(QStringLiteral("cmdRemove_Click"), error);
    }
    m_model->reset(m_store.get());
}

QString frmMachineConnections::testRow(int row)
{
    const MachineLink link = m_sheet.link(row);
    const MachineReader reader(MachineStore::waitFrom(session().options().store()));
    MachineInfo info;
    runWithProgress(tr("Test"), tr("Asking machine %1...").arg(link.machine), 1,
                    [&](const std::atomic_bool &cancel, std::atomic_int &done) {
                        info = reader.test(link, &cancel);
                        ++done;
                    });
    if (!info.answered)
        return info.message;
    return tr("Machine %1 answered: %2, machine number %3.\n%4")
        .arg(link.machine)
        .arg(info.vendor.isEmpty() ? tr("vendor not given") : info.vendor,
             info.machineNumber.isEmpty() ? tr("not given") : info.machineNumber,
             info.offersCounter ? tr("It offers the counter %1.").arg(link.counter)
                                : tr("It does not offer the counter %1; it offers: %2.")
                                      .arg(link.counter, info.parameters.join(QStringLiteral(", "))));
}

void frmMachineConnections::testMachine()
{
    const int row = m_grid->currentIndex().row();
    if (row < 0) {
        session().prompter().tell(tr("Select the machine to test."), windowTitle(), MsgIcon::Information);
        return;
    }
    session().prompter().tell(testRow(row), windowTitle(), MsgIcon::Information);
}
