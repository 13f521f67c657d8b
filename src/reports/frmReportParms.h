#pragma once

#include "ReportParmsSheet.h"
#include "ReportRun.h"
#include "foundation/Database.h"

#include <QDialog>
#include <QPrinter>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Session;
struct ReportDocument;

// "Report Parameters": the one dialog through which every report is asked for. It shows the
// controls the report type uses, checks the required fields, and on OK stages, lays out and sends
// the report to the preview, the printer or a file.
class frmReportParms : public QDialog
{
    Q_OBJECT

public:
    explicit frmReportParms(Session &session, QWidget *parent = nullptr);
    ~frmReportParms() override;

    // The window's load: defaults for the report type, the local report database and the shared
    // database. The window always stays open.
    bool load();

    // Names of the empty required fields joined by ", "; empty when all are filled.
    QString requiredFieldsMissing();

    const ReportParmsSheet &sheet() const { return m_sheet; }

    // Where a finished report goes instead of the preview window, for tests.
    void setPreviewer(std::function<void(const ReportDocument &, const QString &title)> previewer)
    {
        m_previewer = std::move(previewer);
    }

protected:
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void layOut();
    void connectControls();
    void applySheet();
    void readControls();
    void openLocalDatabase();
    void dateOptionChosen();
    void outputChosen();
    void printerSetup();
    void okClicked();
    void editCustomerParts();
    bool runReport();
    ReportRun::Outcome runOnce(std::optional<DatabaseError> &damage);
    bool repairAfterDamage();
    void send(const ReportDocument &document, const QString &title, int part);
    void exportDocument(const ReportDocument &document, int part);

    Session &m_session;
    ReportParmsSheet m_sheet;
    std::optional<Database> m_shared;
    std::optional<Database> m_reports;
    QPrinter m_printer;
    std::function<void(const ReportDocument &, const QString &)> m_previewer;

    QGroupBox *m_frame3D1, *m_fraAdditlInfo, *m_fraJobNumber, *m_fraMachineLogin, *m_frame3D2;
    QRadioButton *m_optDate[2], *m_optAdditlInfo[2], *m_optReptDisp[4];
    QDateEdit *m_startDate, *m_endDate;
    QLabel *m_label1, *m_label2, *m_label3, *m_label4, *m_label5, *m_label6, *m_label8, *m_label9;
    QLineEdit *m_txtShift, *m_txtExptFilename, *m_txtToList, *m_txtMachine, *m_txtLogin;
    QCheckBox *m_chkAdditlInfo;
    QComboBox *m_cmbBeginningJob, *m_cmbEndJob, *m_cmbExportType;
    QPushButton *m_cmdPrintSetup, *m_cmdParts, *m_cmdOK, *m_cmdCancel;
};
