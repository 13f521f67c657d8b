#include "frmJobList2.h"

#include "JobListDelegate.h"
#include "JobListModel.h"

#include "foundation/Session.h"
#include "widgets/DataWindowParts.h"
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using DataWindowParts::makeButton;

namespace {
const QString kWidthsSection = QStringLiteral("JOBLIST");

} // namespace

frmJobList2::frmJobList2(Session &session, QWidget *parent)
    : LineWindow(session, QStringLiteral("frmJobList2"), tr("Job List for Shift"), parent)
{
    m_sheet = std::make_unique<JobListSheet>(session.prompter(), session.clock());
    buildUi();
    resize(sizeHint());
}

QSize frmJobList2::sizeHint() const
{
    // Room for the three columns and a shift of twenty machines.
    return {720, 680};
}

void frmJobList2::buildUi()
{
    m_lblDate = DataWindowParts::makeCaptionLabel(QStringLiteral("lblDate"), this);
    m_lblProtected = DataWindowParts::makeNoteLabel(
        QStringLiteral("lblProtected"),
        tr("This date-shift is protected: its lines cannot be added, changed or deleted."), this);

    m_model = new JobListModel(*m_sheet, session().prompter(), this);
    watchModel(m_model, QStringLiteral("Table1"));
    m_table = DataWindowParts::makeGrid(QStringLiteral("Table1"), m_model, this);
    auto *delegate = new JobListDelegate(m_table);
    m_table->setItemDelegate(delegate);
    rereadOnEditorClose(delegate, [this] { refreshData(); });
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    DataWindowParts::setUpEntryGrid(m_table, 22);
    m_table->setAlternatingRowColors(true);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(JobListModel::MachineColumn, 100);
    m_table->setColumnWidth(JobListModel::JobNumberColumn, 150);
    m_table->setColumnWidth(JobListModel::DescriptionColumn, 320);
    addGrid(m_table, kWidthsSection);
    onDeleteKey(m_table, [this] { deleteCurrentLine(); });

    auto *frame = new QGroupBox(tr("Line-Item Controls"), this);
    frame->setObjectName(QStringLiteral("Frame3D2"));
    auto *cmdNewDate = makeButton(QStringLiteral("cmdNewDate"), tr("&New Date"), frame, 110);
    auto *cmdPrevShift = makeButton(QStringLiteral("cmdPrevShiftButton"), tr("&Previous Shift"), frame, 110);
    auto *cmdNextShift = makeButton(QStringLiteral("cmdNxtShiftButton"), tr("Ne&xt Shift"), frame, 110);
    auto *cmdOK =
        DataWindowParts::makeCloseButton(QStringLiteral("cmdOKButton"), tr("&OK"), this, frame, 110);
    QPushButton *history = makeHistoryCommand(frame);
    auto *buttons = new QHBoxLayout(frame);
    buttons->addWidget(cmdNewDate);
    buttons->addWidget(cmdPrevShift);
    buttons->addWidget(cmdNextShift);
    buttons->addWidget(history);
    buttons->addStretch();
    buttons->addWidget(cmdOK);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblDate);
    layout->addWidget(m_lblProtected);
    layout->addWidget(m_table, 1);
    layout->addWidget(frame);

    connectCommand(cmdNewDate, [this] { newDate(); });
    connectCommand(cmdNextShift, [this] { nextShift(); });
    connectCommand(cmdPrevShift, [this] { previousShift(); });
}

bool frmJobList2::loadData()
{
    m_store = std::make_unique<JobLines>(db());
    m_sheet->setStore(m_store.get());
    QList<JobChoice> jobs;
    runStep(QStringLiteral("Start"), [&] { jobs = m_store->activeJobs(); });
    m_sheet->setJobs(jobs);

    m_dateShift = session().currentDateShift();
    m_lblDate->setText(m_dateShift.caption());
    QList<JobLine> lines;
    m_sheet->setLines(m_dateShift, {});
    m_model->reset();
    // A date-shift whose lines could not be read is not shown as empty: that invites typing its
    // lines again. The failure was reported and the window closes.
    if (!runStep(QStringLiteral("sSQL Initialize"), [&] { lines = m_sheet->readLines(); }))
        return false;
    if (lines.isEmpty() && !bringForward(lines))
        return false;

    m_sheet->setLines(m_dateShift, lines);
    m_model->reset();
    showProtection();
    setHeldBack(false);
    watchChanges({QStringLiteral("Production Table")}, m_dateShift);
    m_table->setFocus();
    m_table->setCurrentIndex(m_model->index(0, JobListModel::MachineColumn));
    return true;
}

void frmJobList2::releaseData()
{
    m_sheet->setLines(m_dateShift, {});
    m_sheet->setStore(nullptr);
    m_model->reset();
    m_store.reset();
}

void frmJobList2::refreshData()
{
    QList<JobLine> lines;
    if (!m_store || !tryReread([&] { lines = m_sheet->readLines(); }))
        return;
    const QModelIndex current = m_table->currentIndex();
    const bool editing = m_table->indexWidget(current) != nullptr;
    const qint64 held = editing && !m_model->isNewLine(current.row()) && m_model->sheetRow(current.row()) >= 0
                            ? m_model->lineAt(current.row()).jobId
                            : 0;
    setHeldBack(m_sheet->follow(std::move(lines), held));
    m_model->follow();
    showProtection();
}

bool frmJobList2::hasUnsavedEntry() const
{
    return m_model->hasUnsavedEntry();
}

bool frmJobList2::bringForward(QList<JobLine> &lines)
{
    runStep(QStringLiteral("build sSQL for previous shift"), [&] { m_sheet->findPreviousShift(); });
    QList<JobLine> previous;
    const bool opened =
        runStep(QStringLiteral("open previous shift"), [&] { previous = m_sheet->readPreviousLines(); });
    // Without a previous shift the date-shift is empty indeed: the user starts it on the grid's
    // new line. Once lines may have been copied, only a successful read shows them.
    if (!opened || previous.isEmpty())
        return true;
    return runStep(QStringLiteral("bringing data forward"), [&] { m_sheet->copyPreviousLines(); }) &&
           runStep(QStringLiteral("wrap-up"), [&] { lines = m_sheet->readLines(); });
}

void frmJobList2::showProtection()
{
    m_lblProtected->setVisible(m_sheet->anyProtected());
}

void frmJobList2::deleteCurrentLine()
{
    const int row = m_table->currentIndex().row();
    if (row < 0 || m_model->isProtected(row))
        return;
    if (m_model->isNewLine(row)) {
        m_model->removeLine(row);
        return;
    }
    const MsgAnswer answer =
        session().prompter().ask({JobListSheet::deleteQuestion(m_model->lineAt(row)), tr("Confirm Delete"),
                                  MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return;
    try {
        const QString message = JobListSheet::removalMessage(m_model->removeLine(row));
        if (!message.isEmpty())
            session().prompter().tell(message, programTitle(), MsgIcon::Exclamation);
    } catch (const KelvaraError &error) {
        reportFailure(QStringLiteral("deleting a line"), error);
    }
}

qint64 frmJobList2::currentJobId() const
{
    const int row = m_table->currentIndex().row();
    return row >= 0 && row < m_model->rowCount() && !m_model->isNewLine(row) ? m_model->lineAt(row).jobId : 0;
}

void frmJobList2::nextShift()
{
    if (confirmDiscard())
        reloadFor(m_dateShift.next());
}

void frmJobList2::previousShift()
{
    if (confirmDiscard())
        reloadFor(m_dateShift.previous());
}

void frmJobList2::newDate()
{
    if (!confirmDiscard())
        return;
    const DateShift before = session().currentDateShift();
    session().chooseDateShift();
    const DateShift chosen = session().currentDateShift();
    if (!chosen.isValid()) {
        // A chooser that leaves no date-shift changes nothing here.
        session().setCurrentDateShift(before);
        return;
    }
    if (chosen != m_dateShift)
        reloadFor(chosen);
}

void frmJobList2::reloadFor(const DateShift &dateShift)
{
    session().setCurrentDateShift(dateShift);
    reload();
}
