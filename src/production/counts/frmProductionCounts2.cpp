#include "frmProductionCounts2.h"

#include "CountsGrid.h"
#include "ProductionCountsModel.h"
#include "frmMonitorColumns.h"
#include "production/record/CountEntryDelegate.h"
#include "production/record/JobLines.h"
#include "production/record/MonitorCounts.h"

#include "foundation/Session.h"
#include "widgets/DataWindowParts.h"
#include "widgets/GridColumns.h"
#include "widgets/WaitCursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kWidthsSection = QStringLiteral("PRODUCTIONCOUNTS");
constexpr int kRefreshInterval = 60000;

QString noLinesMessage()
{
    return QStringLiteral("It seems that you have not yet set up the "
                          "job list for this shift.  You first need "
                          "to access the Job List for this Date and "
                          "Shift to cause it to be set up.");
}

// Design widths: the whole grid fits a 1280 pixel wide screen.
void setDesignWidths(QTableView *grid)
{
    using M = ProductionCountsModel;
    const QList<QPair<int, int>> widths{{M::JobIdColumn, 62},     {M::DateColumn, 88},
                                        {M::ShiftColumn, 46},     {M::MachineColumn, 72},
                                        {M::JobNumberColumn, 96}, {M::DescriptionColumn, 220},
                                        {M::BeginningColumn, 88}, {M::TransfersColumn, 78},
                                        {M::EndingColumn, 88},    {M::NetFinishedGoodsColumn, 88},
                                        {M::ToHoldColumn, 70},    {M::FromReworkColumn, 74},
                                        {M::MattecColumn, 88},    {M::RejectsColumn, 74}};
    for (const auto &[column, width] : widths)
        grid->setColumnWidth(column, width);
}
} // namespace

frmProductionCounts2::frmProductionCounts2(Session &session, std::shared_ptr<RejectsHandOver> handOver,
                                           QWidget *parent)
    : LineWindow(session, QStringLiteral("frmProductionCounts2"), tr("Production Counts"), parent),
      m_summaries(session.classIds()),
      m_handOver(handOver ? std::move(handOver) : std::make_shared<RejectsHandOver>()), m_sheet(m_summaries)
{
    setPlacement(Placement::Maximized);
    buildUi();
    resize(1200, 640);
}

frmProductionCounts2::~frmProductionCounts2()
{
    m_timer->stop();
}

void frmProductionCounts2::buildUi()
{
    m_label1 = DataWindowParts::makeCaptionLabel(QStringLiteral("Label1"), this);
    m_lblReadOnly = DataWindowParts::makeNoteLabel(QStringLiteral("lblReadOnly"), QString(), this);

    m_model = new ProductionCountsModel(m_sheet, session().prompter(), this);
    watchModel(m_model, QStringLiteral("Table1"));
    m_table = new CountsGrid(this);
    m_table->setObjectName(QStringLiteral("Table1"));
    m_table->setModel(m_model);
    setEntryGrid(m_table, CountEntryDelegate::installOn(m_table), m_model, [this] { refreshData(); });
    setDesignWidths(m_table);
    GridColumns::giveSpareWidthTo(m_table, ProductionCountsModel::DescriptionColumn);
    addGrid(m_table, kWidthsSection);

    m_chkEndCountsDirty = new QCheckBox(tr("&Post to Next Shift"), this);
    m_chkEndCountsDirty->setObjectName(QStringLiteral("chkEndCountsDirty"));
    using DataWindowParts::makeButton;
    QPushButton *ok = DataWindowParts::makeOkButton(this);
    auto *cmdRejects = makeButton(QStringLiteral("cmdRejects"), tr("&Rejects"), this, 100);
    m_cmdReadCounters = makeButton(QStringLiteral("cmdReadCounters"), tr("Read &Counters"), this, 100);
    m_cmdImportMonitor =
        makeButton(QStringLiteral("cmdImportMonitor"), tr("Import &Monitor Counts..."), this, 100);
    QPushButton *history = makeHistoryCommand(this);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(kRefreshInterval);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_chkEndCountsDirty);
    bottom->addStretch();
    bottom->addWidget(ok);
    bottom->addSpacing(40);
    bottom->addWidget(cmdRejects);
    bottom->addSpacing(40);
    bottom->addWidget(m_cmdReadCounters);
    bottom->addWidget(m_cmdImportMonitor);
    bottom->addWidget(history);
    bottom->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addWidget(m_lblReadOnly);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);

    connect(m_model, &ProductionCountsModel::endCountEntered, this,
            [this] { m_chkEndCountsDirty->setChecked(true); });
    connect(m_model, &ProductionCountsModel::entryRefused, m_table, &CountsGrid::holdCursorOnce);
    connectCommand(cmdRejects, [this] { showRejects(); });
    connectCommand(m_cmdReadCounters, [this] { readCounters(); });
    connectCommand(m_cmdImportMonitor, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, tr("Import Monitor Counts"), {}, tr("Monitor exports (*.csv *.txt *.tsv);;All files (*)"));
        if (!path.isEmpty())
            importMonitorCounts(path);
    });
    connect(m_timer, &QTimer::timeout, this, &frmProductionCounts2::refreshWhileEditing);
}

bool frmProductionCounts2::loadData()
{
    m_chkEndCountsDirty->setChecked(false);
    CountsCursor rules(m_model->columnOf(QStringLiteral("Beginning Count")),
                       m_model->columnOf(QStringLiteral("Ending Count")),
                       m_model->columnOf(QStringLiteral("Mattec Count")));
    m_store = std::make_unique<JobLines>(db());
    m_dateShift = session().currentDateShift();
    m_label1->setText(m_dateShift.caption());
    QList<JobLine> lines;
    if (!runStep({}, [&] { lines = m_store->of(m_dateShift); }))
        return false;
    if (lines.isEmpty()) {
        session().prompter().tell(noLinesMessage(), programTitle());
        return false;
    }

    fillSummaries();
    const EditRights rights =
        EditRights::evaluate(session().securityLevel, m_dateShift, session().clock().now());
    m_sheet.setRights(rights);
    m_sheet.setLines(lines);
    rules.setBeginningLocked(!rights.beginningCountEditable);
    m_table->setCursorRules(rules);
    m_model->reset(m_store.get());
    m_chkEndCountsDirty->setEnabled(m_sheet.mayPost());
    // The same rights as typing an Ending Count.
    m_cmdReadCounters->setEnabled(rights.updateAllowed && session().readCounters);
    m_cmdImportMonitor->setEnabled(rights.updateAllowed);
    showReadOnlyNote();
    m_timer->start();
    setHeldBack(false);
    // Tickets, holds, rework and rejects all show in the figures of a line.
    watchChanges({QStringLiteral("Production Table"), QStringLiteral("Transfer Table"),
                  QStringLiteral("Hold Table"), QStringLiteral("Hold Distribution")},
                 m_dateShift);
    m_table->setCurrentIndex(m_model->index(0, ProductionCountsModel::EndingColumn));
    m_table->setFocus();
    return true;
}

void frmProductionCounts2::releaseData()
{
    m_timer->stop();
    m_model->reset(nullptr);
    m_store.reset();
}

void frmProductionCounts2::fillSummaries()
{
    // The counts stay usable; the ticket totals show as 0 until the window is opened again.
    if (!runStep({}, [&] { m_summaries.fill(db(), m_dateShift); }))
        m_summaries.Clear();
}

void frmProductionCounts2::showReadOnlyNote()
{
    bool anyProtected = false;
    for (int row = 0; row < m_sheet.count(); ++row)
        anyProtected = anyProtected || m_sheet.line(row).protectedRecord;
    if (anyProtected)
        m_lblReadOnly->setText(tr("This date-shift is protected: its counts cannot be changed."));
    else if (!m_sheet.rights().updateAllowed)
        m_lblReadOnly->setText(
            tr("The counts of this shift cannot be changed at this time with your security "
               "level."));
    m_lblReadOnly->setVisible(anyProtected || !m_sheet.rights().updateAllowed);
}

void frmProductionCounts2::placeInFrame()
{
    DataWindow::placeInFrame();
    // The grid scrolled while it was narrow: show it from its first column, with the cursor's
    // cell in view.
    m_table->horizontalScrollBar()->setValue(0);
    m_table->scrollTo(m_table->currentIndex());
}

void frmProductionCounts2::refreshWhileEditing()
{
    if (isLoaded() && m_table->isEditing())
        refreshData();
}

void frmProductionCounts2::refreshData()
{
    QList<JobLine> lines;
    const auto read = [&] {
        lines = m_store->of(m_dateShift);
        m_summaries.fill(db(), m_dateShift);
    };
    if (!m_store || !tryReread(read))
        return;
    followLines(std::move(lines));
}

void frmProductionCounts2::followLines(QList<JobLine> lines)
{
    QLineEdit *editor = m_table->isEditing() ? entryDelegate()->currentEditor() : nullptr;
    const int row = m_model->sheetRow(m_table->currentIndex().row());
    const qint64 held = editor && row >= 0 ? m_sheet.line(row).jobId : 0;
    const QString typed = editor && editor->isModified() ? editor->text() : QString();
    setHeldBack(m_sheet.follow(std::move(lines), held));
    m_model->follow();
    m_chkEndCountsDirty->setEnabled(m_sheet.mayPost());
    showReadOnlyNote();
    if (held && m_sheet.rowOf(held) < 0 && !typed.isEmpty()) {
        session().prompter().tell(tr("The line you were typing in has been removed on another "
                                     "workstation; your entry \"%1\" was not stored.")
                                      .arg(typed),
                                  programTitle(), MsgIcon::Exclamation);
    }
}

qint64 frmProductionCounts2::currentJobId() const
{
    const int row = m_table->currentIndex().row();
    return row >= 0 && row < m_sheet.count() ? m_sheet.line(row).jobId : 0;
}

void frmProductionCounts2::showRejects()
{
    if (!confirmDiscard())
        return;
    {
        WaitCursor wait;
        m_sheet.fillRejectsByLine(m_handOver->rejectsByLine);
    }
    openRejectsWindow();
}

void frmProductionCounts2::openRejectsWindow()
{
    // The one place the rejects window is opened from: whoever shows it listens to this signal
    // and gives the rejects window this window's hand-over.
    emit rejectsRequested();
}

bool frmProductionCounts2::hasUnsavedEntry() const
{
    return m_table->isEditing() && entryDelegate()->hasModifiedEditor();
}

void frmProductionCounts2::postToNextShift()
{
    std::optional<Posting> posting;
    try {
        WaitCursor wait;
        posting = m_store->postToNextShift(m_dateShift);
    } catch (const KelvaraError &error) {
        reportFailure(QStringLiteral("Form_Unload Event"), error);
        return;
    }
    const QString summary = posting ? posting->summary() : QString();
    if (!summary.isEmpty())
        session().prompter().tell(summary, tr("Post to Next Shift"), MsgIcon::Information);
}

void frmProductionCounts2::beforeUnload()
{
    // A window that may not update this date-shift writes nothing into the next one either.
    if (m_chkEndCountsDirty->isChecked() && m_sheet.mayPost())
        postToNextShift();
}

void frmProductionCounts2::readCounters()
{
    if (!confirmDiscard())
        return;
    QList<JobLine> lines;
    for (int row = 0; row < m_sheet.count(); ++row)
        lines << m_sheet.line(row);
    QList<MachineCount> counts;
    if (!runStep({},
                 [&] { counts = session().readCounters(db(), m_dateShift, MachineFill::machinesOf(lines)); }))
        return;
    if (counts.isEmpty()) {
        session().prompter().tell(tr("None of the machines of this shift has a connection: set them up in "
                                     "Tools, Machine Connections."),
                                  tr("Read Counters"), MsgIcon::Information);
        return;
    }
    const QList<MachineFill> fills = MachineFill::plan(lines, counts);
    QStringList differing;
    for (const MachineFill &fill : fills) {
        if (fill.kind == MachineFill::Differs)
            differing << fill.describe();
    }
    const bool change =
        !differing.isEmpty() &&
        session().prompter().ask({tr("These lines hold an Ending Count that differs from the machine's "
                                     "counter:\n\n%1\n\nReplace them with the counters?")
                                      .arg(differing.join(QLatin1Char('\n'))),
                                  tr("Read Counters"), MsgIcon::Question, MsgButtons::YesNo,
                                  MsgAnswer::No}) == MsgAnswer::Yes;
    CountsSheet::MachineResult result;
    if (!runStep({}, [&] { result = m_sheet.applyMachineFills(*m_store, fills, change); }))
        return;
    m_model->follow();
    if (result.stored > 0)
        m_chkEndCountsDirty->setChecked(true);
    if (!result.notStored.isEmpty())
        session().prompter().tell(
            tr("Not filled from the machines:\n\n%1").arg(result.notStored.join(QLatin1Char('\n'))),
            tr("Read Counters"), MsgIcon::Exclamation);
}

void frmProductionCounts2::importMonitorCounts(const QString &path)
{
    if (!confirmDiscard())
        return;
    const QString title = tr("Import Monitor Counts");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        session().prompter().tell(tr("The file %1 cannot be read: %2").arg(path, file.errorString()), title,
                                  MsgIcon::Exclamation);
        return;
    }
    const QByteArray text = file.readAll();
    QSettings &options = session().options().store();
    MonitorCounts::File read = MonitorCounts::read(text, options);
    // A header that names the columns in words of its own: the user says once which is which.
    if (!read.error.isEmpty() && !read.header.isEmpty()) {
        frmMonitorColumns chooser(read.header, MonitorCounts::mappingFor(read.header, options), this);
        if (chooser.exec() != QDialog::Accepted)
            return;
        MonitorCounts::storeMapping(chooser.mapping(), options);
        read = MonitorCounts::read(text, options);
    }
    if (!read.error.isEmpty()) {
        session().prompter().tell(read.error, title, MsgIcon::Exclamation);
        return;
    }
    QList<JobLine> lines;
    for (int row = 0; row < m_sheet.count(); ++row)
        lines << m_sheet.line(row);
    const MonitorCounts::Plan plan = MonitorCounts::plan(lines, m_dateShift, read.rows);
    if (session().prompter().ask(
            {tr("%1\n\nStore these Mattec Counts?").arg(plan.describe().join(QLatin1Char('\n'))), title,
             MsgIcon::Question, MsgButtons::OkCancel}) != MsgAnswer::Ok)
        return;
    const bool differs =
        std::any_of(plan.matches.cbegin(), plan.matches.cend(),
                    [](const MonitorCounts::Match &m) { return m.kind == MonitorCounts::Match::Differs; });
    const bool change =
        differs &&
        session().prompter().ask({tr("Replace the Mattec Counts typed that differ from the file?"), title,
                                  MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No}) == MsgAnswer::Yes;
    bool stored = false;
    QList<JobLine> fresh;
    if (!runStep({}, [&] {
            stored = MonitorCounts::store(db(), plan, change);
            fresh = m_store->of(m_dateShift);
        }))
        return;
    followLines(std::move(fresh));
    if (!stored) {
        session().prompter().tell(
            tr("A line was changed on another workstation meanwhile: nothing was stored. "
               "Import the file again."),
            title, MsgIcon::Exclamation);
        return;
    }
    MonitorCounts::storeMapping(MonitorCounts::mappingFor(read.header, options), options);
}
