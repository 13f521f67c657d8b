#pragma once

#include <QDialog>

class CustomerReportParts;
class QComboBox;
class QListWidget;
class QPushButton;
class Session;

// "Daily Report Parts": the parts printed on one customer's daily report, for level "C" to change.
// Opened from the report parameters window of the daily reports.
class frmCustomerParts : public QDialog
{
    Q_OBJECT

public:
    frmCustomerParts(Session &session, CustomerReportParts &parts, QWidget *parent = nullptr);

private:
    void refresh();
    void addClicked();
    void removeClicked();
    void changedElsewhere();

    Session &m_session;
    CustomerReportParts &m_parts;
    QListWidget *m_lstParts;
    QComboBox *m_cmbJob;
    QPushButton *m_cmdAdd, *m_cmdRemove, *m_cmdClose;
};
