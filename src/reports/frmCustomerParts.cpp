#include "frmCustomerParts.h"

#include "CustomerReportParts.h"
#include "foundation/Database.h"
#include "foundation/Session.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

frmCustomerParts::frmCustomerParts(Session &session, CustomerReportParts &parts, QWidget *parent)
    : QDialog(parent), m_session(session), m_parts(parts)
{
    setObjectName(QStringLiteral("frmCustomerParts"));
    setWindowTitle(QStringLiteral("Daily Report Parts - %1").arg(parts.customer()));
    auto *caption = new QLabel(QStringLiteral("Parts on the daily %1 report:").arg(parts.customer()), this);
    m_lstParts = new QListWidget(this);
    m_lstParts->setObjectName(QStringLiteral("lstParts"));
    m_lstParts->setMinimumSize(220, 220);
    m_cmbJob = new QComboBox(this);
    m_cmbJob->setObjectName(QStringLiteral("cmbJob"));
    m_cmbJob->setMinimumWidth(140);
    m_cmdAdd = new QPushButton(QStringLiteral("&Add"), this);
    m_cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    m_cmdRemove = new QPushButton(QStringLiteral("&Remove"), this);
    m_cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    m_cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto *grid = new QGridLayout(this);
    grid->addWidget(caption, 0, 0, 1, 2);
    grid->addWidget(m_lstParts, 1, 0, 3, 1);
    grid->addWidget(m_cmdRemove, 1, 1);
    grid->setRowStretch(2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Job number:"), this), 4, 0, 1, 2);
    grid->addWidget(m_cmbJob, 5, 0);
    grid->addWidget(m_cmdAdd, 5, 1);
    grid->addWidget(m_cmdClose, 6, 1);
    connect(m_cmdAdd, &QPushButton::clicked, this, &frmCustomerParts::addClicked);
    connect(m_cmdRemove, &QPushButton::clicked, this, &frmCustomerParts::removeClicked);
    connect(m_cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_lstParts, &QListWidget::currentRowChanged, this,
            [this](int row) { m_cmdRemove->setEnabled(row >= 0); });
    refresh();
}

void frmCustomerParts::refresh()
{
    try {
        m_lstParts->clear();
        m_lstParts->addItems(m_parts.parts());
        m_cmbJob->clear();
        m_cmbJob->addItems(m_parts.otherJobs());
    } catch (const DatabaseError &error) {
        m_session.prompter().tell(error.description(), QStringLiteral("Database Access Error"),
                                  MsgIcon::Information);
    }
    m_cmdRemove->setEnabled(m_lstParts->currentRow() >= 0);
    m_cmdAdd->setEnabled(m_cmbJob->count() > 0);
}

void frmCustomerParts::changedElsewhere()
{
    m_session.prompter().tell(QStringLiteral("The list was changed on another workstation; it now shows the "
                                             "parts as they are."),
                              windowTitle(), MsgIcon::Information);
}

void frmCustomerParts::addClicked()
{
    try {
        if (!m_parts.add(m_cmbJob->currentText()))
            changedElsewhere();
    } catch (const DatabaseError &error) {
        m_session.prompter().tell(error.description(), programTitle());
    }
    refresh();
}

void frmCustomerParts::removeClicked()
{
    const QListWidgetItem *item = m_lstParts->currentItem();
    if (!item)
        return;
    try {
        if (!m_parts.remove(item->text()))
            changedElsewhere();
    } catch (const DatabaseError &error) {
        m_session.prompter().tell(error.description(), programTitle());
    }
    refresh();
}
