#include "frmReportParms.h"

#include "CustomerReportParts.h"
#include "ReportCatalog.h"
#include "ReportDatabaseRepair.h"
#include "ReportOutput.h"
#include "ReportRun.h"
#include "foundation/FreedMemory.h"
#include "foundation/Session.h"
#include "foundation/SharedDatabase.h"
#include "frmCustomerParts.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportExport.h"
#include "widgets/WaitCursor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// A date box shows the empty mask while it holds its lowest date.
const QDate kEmptyDate(1752, 9, 14);

QDateEdit *dateBox(QWidget *parent, const QString &name)
{
    auto *box = new QDateEdit(parent);
    box->setObjectName(name);
    box->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    box->setCalendarPopup(true);
    box->setMinimumDate(kEmptyDate);
    box->setSpecialValueText(QStringLiteral("__/__/____"));
    box->setDate(kEmptyDate);
    return box;
}

QDate dateOf(const QDateEdit *box)
{
    return box->date() == kEmptyDate ? QDate() : box->date();
}

void setDateOf(QDateEdit *box, const QDate &date)
{
    box->setDate(date.isValid() ? date : kEmptyDate);
}

template <class W> W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}
} // namespace

frmReportParms::frmReportParms(Session &session, QWidget *parent)
    : QDialog(parent), m_session(session), m_sheet(session.selectedReportType)
{
    setObjectName(QStringLiteral("frmReportParms"));
    setWindowTitle(QStringLiteral("Report Parameters"));
    createControls();
    layOut();
    connectControls();
}

frmReportParms::~frmReportParms() = default;

void frmReportParms::createControls()
{
    m_frame3D1 = named(new QGroupBox(QStringLiteral("Date Type"), this), QStringLiteral("Frame3D1"));
    m_optDate[0] =
        named(new QRadioButton(QStringLiteral("Single Date"), m_frame3D1), QStringLiteral("optDate0"));
    m_optDate[1] =
        named(new QRadioButton(QStringLiteral("Date Range"), m_frame3D1), QStringLiteral("optDate1"));
    m_optDate[0]->setChecked(true);
    m_label2 = named(new QLabel(QStringLiteral("Start Date"), m_frame3D1), QStringLiteral("Label2"));
    m_label3 = named(new QLabel(QStringLiteral("End Date"), m_frame3D1), QStringLiteral("Label3"));
    m_startDate = dateBox(m_frame3D1, QStringLiteral("tdbdStartDate"));
    m_endDate = dateBox(m_frame3D1, QStringLiteral("tdbdEndDate"));

    m_fraAdditlInfo =
        named(new QGroupBox(QStringLiteral("Additional Info"), this), QStringLiteral("fraAdditlInfo"));
    m_label6 = named(new QLabel(QStringLiteral("Shift(s)"), m_fraAdditlInfo), QStringLiteral("Label6"));
    m_txtShift = named(new QLineEdit(m_fraAdditlInfo), QStringLiteral("txtShift"));
    m_txtShift->setToolTip(QStringLiteral("For example 2, 1,3, 1-3 or 1-2,3"));
    for (int i = 0; i < 2; ++i)
        m_optAdditlInfo[i] =
            named(new QRadioButton(m_fraAdditlInfo), QStringLiteral("optAdditlInfo%1").arg(i));
    m_chkAdditlInfo = named(new QCheckBox(QStringLiteral("Mark Printed"), m_fraAdditlInfo),
                            QStringLiteral("chkAdditlInfo"));
    m_chkAdditlInfo->setChecked(true);

    m_fraJobNumber =
        named(new QGroupBox(QStringLiteral("Job Numbers"), this), QStringLiteral("fraJobNumber"));
    m_label8 = named(new QLabel(QStringLiteral("Beginning Job #"), m_fraJobNumber), QStringLiteral("Label8"));
    m_label9 = named(new QLabel(QStringLiteral("Ending Job #"), m_fraJobNumber), QStringLiteral("Label9"));
    m_cmbBeginningJob = named(new QComboBox(m_fraJobNumber), QStringLiteral("cmbBeginningJob"));
    m_cmbEndJob = named(new QComboBox(m_fraJobNumber), QStringLiteral("cmbEndJob"));
    for (QComboBox *combo : {m_cmbBeginningJob, m_cmbEndJob}) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMinimumWidth(120);
    }

    m_fraMachineLogin =
        named(new QGroupBox(QStringLiteral("Keep To"), this), QStringLiteral("fraMachineLogin"));
    m_txtMachine = named(new QLineEdit(m_fraMachineLogin), QStringLiteral("txtMachine"));
    m_txtMachine->setToolTip(QStringLiteral("One machine's number; empty for every machine"));
    m_txtLogin = named(new QLineEdit(m_fraMachineLogin), QStringLiteral("txtLogin"));
    m_txtLogin->setToolTip(QStringLiteral("One login; empty for every login"));

    m_frame3D2 = named(new QGroupBox(QStringLiteral("Report Disposition"), this), QStringLiteral("Frame3D2"));
    const QStringList outputs{QStringLiteral("Preview Window"), QStringLiteral("Send Through E-Mail"),
                              QStringLiteral("Printer"), QStringLiteral("Export To Document")};
    for (int i = 0; i < 4; ++i)
        m_optReptDisp[i] =
            named(new QRadioButton(outputs[i], m_frame3D2), QStringLiteral("optReptDisp%1").arg(i));
    m_optReptDisp[0]->setChecked(true);
    m_optReptDisp[1]->setEnabled(false);
    m_label1 =
        named(new QLabel(QStringLiteral("Export/Mail File Type"), m_frame3D2), QStringLiteral("Label1"));
    m_cmbExportType = named(new QComboBox(m_frame3D2), QStringLiteral("cmbExportType"));
    for (const ReportExport::Type &type : ReportExport::types())
        m_cmbExportType->addItem(type.text, type.code);
    m_label5 = named(new QLabel(QStringLiteral("Filename"), m_frame3D2), QStringLiteral("Label5"));
    m_txtExptFilename = named(new QLineEdit(m_frame3D2), QStringLiteral("txtExptFilename"));
    m_label4 = named(new QLabel(QStringLiteral("Send To:"), m_frame3D2), QStringLiteral("Label4"));
    m_txtToList = named(new QLineEdit(m_frame3D2), QStringLiteral("txtToList"));

    m_cmdPrintSetup =
        named(new QPushButton(QStringLiteral("Printer Setup"), this), QStringLiteral("cmdPrintSetup"));
    m_cmdParts = named(new QPushButton(QStringLiteral("Report &Parts..."), this), QStringLiteral("cmdParts"));
    m_cmdParts->setToolTip(QStringLiteral("The parts this daily report prints"));
    m_cmdParts->setVisible(false);
    m_cmdOK = named(new QPushButton(QStringLiteral("&OK"), this), QStringLiteral("cmdOKButton"));
    m_cmdCancel = named(new QPushButton(QStringLiteral("&Close"), this), QStringLiteral("cmdCancelButton"));
    m_cmdOK->setDefault(true);
}

void frmReportParms::layOut()
{
    auto *dates = new QGridLayout(m_frame3D1);
    dates->addWidget(m_optDate[0], 0, 0);
    dates->addWidget(m_optDate[1], 0, 1);
    dates->addWidget(m_label2, 1, 0);
    dates->addWidget(m_startDate, 1, 1);
    dates->addWidget(m_label3, 2, 0);
    dates->addWidget(m_endDate, 2, 1);

    auto *info = new QGridLayout(m_fraAdditlInfo);
    info->addWidget(m_label6, 0, 0);
    info->addWidget(m_txtShift, 0, 1);
    info->addWidget(m_optAdditlInfo[0], 1, 0, 1, 2);
    info->addWidget(m_optAdditlInfo[1], 2, 0, 1, 2);
    info->addWidget(m_chkAdditlInfo, 3, 0, 1, 2);

    auto *jobs = new QGridLayout(m_fraJobNumber);
    jobs->addWidget(m_label8, 0, 0);
    jobs->addWidget(m_cmbBeginningJob, 0, 1);
    jobs->addWidget(m_label9, 1, 0);
    jobs->addWidget(m_cmbEndJob, 1, 1);

    auto *keepTo = new QGridLayout(m_fraMachineLogin);
    keepTo->addWidget(new QLabel(QStringLiteral("Machine"), m_fraMachineLogin), 0, 0);
    keepTo->addWidget(m_txtMachine, 0, 1);
    keepTo->addWidget(new QLabel(QStringLiteral("Login"), m_fraMachineLogin), 1, 0);
    keepTo->addWidget(m_txtLogin, 1, 1);

    auto *output = new QGridLayout(m_frame3D2);
    for (int i = 0; i < 4; ++i)
        output->addWidget(m_optReptDisp[i], i, 0, 1, 2);
    output->addWidget(m_label1, 4, 0, 1, 2);
    output->addWidget(m_cmbExportType, 5, 0, 1, 2);
    output->addWidget(m_label5, 6, 0, 1, 2);
    output->addWidget(m_txtExptFilename, 7, 0, 1, 2);
    output->addWidget(m_label4, 8, 0, 1, 2);
    output->addWidget(m_txtToList, 9, 0, 1, 2);
    output->setRowStretch(10, 1);

    auto *left = new QVBoxLayout;
    left->addWidget(m_frame3D1);
    left->addWidget(m_fraAdditlInfo);
    left->addWidget(m_fraJobNumber);
    left->addWidget(m_fraMachineLogin);
    left->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdPrintSetup);
    buttons->addWidget(m_cmdParts);
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    auto *right = new QVBoxLayout;
    right->addWidget(m_frame3D2);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto *all = new QVBoxLayout(this);
    all->addLayout(columns);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize); // a fixed-size window that fits what it shows
    m_frame3D2->setMinimumWidth(230);
}

void frmReportParms::connectControls()
{
    for (QRadioButton *option : m_optDate)
        connect(option, &QRadioButton::toggled, this, &frmReportParms::dateOptionChosen);
    for (int i = 0; i < 2; ++i) {
        connect(m_optAdditlInfo[i], &QRadioButton::clicked, this, [this, i] {
            m_sheet.chooseOption(i);
            m_chkAdditlInfo->setEnabled(m_sheet.markPrintedEnabled);
        });
    }
    for (QRadioButton *option : m_optReptDisp)
        connect(option, &QRadioButton::toggled, this, &frmReportParms::outputChosen);
    connect(m_cmdPrintSetup, &QPushButton::clicked, this, &frmReportParms::printerSetup);
    connect(m_cmdParts, &QPushButton::clicked, this, &frmReportParms::editCustomerParts);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmReportParms::okClicked);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QWidget *box : {static_cast<QWidget *>(m_txtShift), static_cast<QWidget *>(m_txtExptFilename),
                         static_cast<QWidget *>(m_txtToList), static_cast<QWidget *>(m_cmbEndJob),
                         static_cast<QWidget *>(m_startDate), static_cast<QWidget *>(m_endDate)})
        box->installEventFilter(this);
}

bool frmReportParms::load()
{
    const QString shift = m_session.currentShift > 0 ? QString::number(m_session.currentShift) : QString();
    m_sheet.load(m_session.currentDate, shift, m_session.clock().today());
    openLocalDatabase();
    m_shared = openSharedDatabase(m_session);
    if (m_shared && m_sheet.showsJobNumbers()) {
        try {
            QSqlQuery jobs =
                m_shared->exec(QStringLiteral("SELECT \"Job Number\" FROM \"Job Lookup Table\""));
            while (jobs.next()) {
                m_cmbBeginningJob->addItem(jobs.value(0).toString());
                m_cmbEndJob->addItem(jobs.value(0).toString());
            }
        } catch (const DatabaseError &error) {
            m_session.prompter().tell(error.description(), QStringLiteral("Database Access Error"),
                                      MsgIcon::Information);
        }
        m_cmbBeginningJob->setCurrentIndex(-1);
        m_cmbEndJob->setCurrentIndex(-1);
    }
    applySheet();
    return true;
}

void frmReportParms::openLocalDatabase()
{
    const QString path = m_session.paths().reportDatabasePath();
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            m_reports = Database::open(path);
            return;
        } catch (const DatabaseError &error) {
            if (error.number() == DbErrors::Damaged && attempt == 0 &&
                ReportDatabaseRepair::repair(path, m_session.fileOps()))
                continue;
            m_session.prompter().tell(error.description(), QStringLiteral("Local Report Database Error"),
                                      MsgIcon::Information);
            return;
        }
    }
}

void frmReportParms::applySheet()
{
    m_optDate[0]->setEnabled(m_sheet.singleDateEnabled());
    m_optDate[m_sheet.dateRange ? 1 : 0]->setChecked(true);
    setDateOf(m_startDate, m_sheet.startDate);
    setDateOf(m_endDate, m_sheet.endDate);
    m_txtShift->setText(m_sheet.shiftText);
    m_fraAdditlInfo->setVisible(m_sheet.showsAdditionalInfo());
    m_fraJobNumber->setVisible(m_sheet.showsJobNumbers());
    m_fraMachineLogin->setVisible(m_sheet.showsMachineAndLogin());
    const QStringList captions = m_sheet.optionCaptions();
    for (int i = 0; i < 2; ++i) {
        m_optAdditlInfo[i]->setVisible(m_sheet.showsOptions());
        m_optAdditlInfo[i]->setText(captions.value(i));
    }
    if (m_sheet.option >= 0)
        m_optAdditlInfo[m_sheet.option]->setChecked(true);
    m_chkAdditlInfo->setVisible(m_sheet.showsMarkPrinted());
    // the quality assurance manager keeps the parts of the daily customer reports
    m_cmdParts->setVisible(!ReportCatalog::of(m_sheet.type()).customer.isEmpty() &&
                           m_session.securityLevel == "C");
    dateOptionChosen();
    outputChosen();
}

void frmReportParms::readControls()
{
    m_sheet.dateRange = m_optDate[1]->isChecked();
    m_sheet.startDate = dateOf(m_startDate);
    m_sheet.endDate = dateOf(m_endDate);
    m_sheet.shiftText = m_txtShift->text();
    m_sheet.markPrinted = m_chkAdditlInfo->isChecked();
    m_sheet.beginJob = m_cmbBeginningJob->currentText();
    m_sheet.endJob = m_cmbEndJob->currentText();
    m_sheet.machine = m_txtMachine->text();
    m_sheet.login = m_txtLogin->text();
    for (int i = 0; i < 4; ++i) {
        if (m_optReptDisp[i]->isChecked())
            m_sheet.output = ReportParmsSheet::Output(i);
    }
    m_sheet.exportType = m_cmbExportType->currentText();
    m_sheet.exportFileName = m_txtExptFilename->text();
}

QString frmReportParms::requiredFieldsMissing()
{
    readControls();
    return m_sheet.missingFields();
}

void frmReportParms::dateOptionChosen()
{
    const bool range = m_optDate[1]->isChecked();
    m_label3->setEnabled(range);
    m_endDate->setEnabled(range);
}

void frmReportParms::outputChosen()
{
    const bool toFile = m_optReptDisp[3]->isChecked();
    m_txtToList->setEnabled(false);
    m_txtExptFilename->setEnabled(toFile);
    m_cmbExportType->setEnabled(toFile);
    m_label4->setEnabled(m_txtToList->isEnabled());
    m_label5->setEnabled(toFile);
    m_label1->setEnabled(toFile);
}

void frmReportParms::printerSetup()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printer.setCopyCount(std::max(1, m_printer.copyCount()));
}

bool frmReportParms::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, edit, &QLineEdit::selectAll); // after the click that gave the focus
        // An empty date box entered starts from today, so that a date can be typed over it or
        // picked from the calendar near today.
        if (auto *box = qobject_cast<QDateEdit *>(watched); box && !dateOf(box).isValid()) {
            box->setDate(m_session.clock().today());
            box->setSelectedSection(QDateTimeEdit::MonthSection);
        }
        if (watched == m_cmbEndJob && m_cmbEndJob->currentText().isEmpty() &&
            !m_cmbBeginningJob->currentText().isEmpty())
            m_cmbEndJob->setCurrentIndex(m_cmbBeginningJob->currentIndex());
    }
    return QDialog::eventFilter(watched, event);
}

void frmReportParms::okClicked()
{
    m_cmdOK->setEnabled(false);
    m_cmdCancel->setEnabled(false);
    const QString missing = requiredFieldsMissing();
    bool stayOpen = true;
    if (!missing.isEmpty())
        m_session.prompter().ask({ReportParmsSheet::insufficientDataText(missing),
                                  QStringLiteral("Insufficient Data"), MsgIcon::Critical, MsgButtons::Ok});
    else if (const QString invalid = m_sheet.invalidInput(); !invalid.isEmpty())
        m_session.prompter().ask(
            {invalid, ReportParmsSheet::invalidInputTitle(), MsgIcon::Critical, MsgButtons::Ok});
    else
        stayOpen = runReport();
    giveBackFreedMemory(); // the report and its preview are gone by now
    m_cmdOK->setEnabled(true);
    m_cmdCancel->setEnabled(true);
    if (!stayOpen)
        reject();
}

// Stages, lays out and sends the report. False when staging failed: the window then closes. A
// damaged file met on the way is repaired as a window's is, and the report runs again.
bool frmReportParms::runReport()
{
    for (bool repaired = false;; repaired = true) {
        if (!m_shared)
            m_shared = openSharedDatabase(m_session);
        if (!m_shared)
            return true;
        std::optional<DatabaseError> damage;
        const ReportRun::Outcome outcome = runOnce(damage);
        if (outcome != ReportRun::Outcome::Damaged)
            return outcome != ReportRun::Outcome::StagingFailed;
        if (repaired || !repairAfterDamage()) {
            if (!m_session.programEnding())
                m_session.prompter().tell(damage->description(), programTitle());
            return false;
        }
    }
}

ReportRun::Outcome frmReportParms::runOnce(std::optional<DatabaseError> &damage)
{
    QString company;
    try {
        company = m_session.options().CompanyName();
    } catch (const std::exception &) {
        // the heading goes without the company name
    }
    const CKelvaraOptions &options = m_session.options();
    ReportRun run({*m_shared, m_session.paths().reportDatabasePath(), m_session.prompter(), m_session.clock(),
                   [&options](int selector) { return options.ReportFilename(selector); }, company,
                   m_session.latestProductionDate});
    std::optional<WaitCursor> wait(std::in_place);
    const ReportRun::Outcome outcome =
        run.run(m_sheet, [this, &wait](const ReportDocument &document, const QString &title, int part) {
            wait.reset(); // the preview and the questions take the normal pointer
            send(document, title, part);
            wait.emplace();
        });
    wait.reset();
    setDateOf(m_endDate, m_sheet.endDate); // the missing holds report keeps to the latest production date
    damage = run.damage();
    return outcome;
}

// The damage is in this workstation's report database (made anew without a question) or in the
// production database (the repair offered as every window offers it). True when repaired.
bool frmReportParms::repairAfterDamage()
{
    m_shared.reset();
    const QString reports = m_session.paths().reportDatabasePath();
    if (ReportDatabaseRepair::isDamaged(reports)) {
        m_reports.reset();
        const bool repaired = ReportDatabaseRepair::repair(reports, m_session.fileOps());
        openLocalDatabase();
        return repaired;
    }
    return m_session.repairDatabase(this);
}

void frmReportParms::send(const ReportDocument &document, const QString &title, int part)
{
    switch (m_sheet.output) {
    case ReportParmsSheet::Printer:
        ReportOutput::print(document, m_printer, this);
        break;
    case ReportParmsSheet::Export:
        exportDocument(document, part);
        break;
    default:
        if (m_previewer)
            m_previewer(document, title);
        else
            ReportOutput::preview(document, title, m_printer, m_session, this);
    }
}

void frmReportParms::exportDocument(const ReportDocument &document, int part)
{
    ReportOutput::exportNamed(document, m_sheet.exportCode(),
                              ReportExport::partFileName(m_sheet.exportFileName, part), m_session, this);
}

void frmReportParms::editCustomerParts()
{
    if (!m_shared)
        m_shared = openSharedDatabase(m_session);
    if (!m_shared)
        return;
    CustomerReportParts parts(*m_shared, ReportCatalog::of(m_sheet.type()).customer);
    frmCustomerParts window(m_session, parts, this);
    window.exec();
}

void frmReportParms::done(int result)
{
    m_session.selectedReportType = 0;
    m_reports.reset();
    m_shared.reset();
    QDialog::done(result);
}
