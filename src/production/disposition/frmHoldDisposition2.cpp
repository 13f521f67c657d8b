#include "frmHoldDisposition2.h"

#include "DispositionSheet.h"
#include "DistributionDelegate.h"
#include "DistributionModel.h"
#include "UnresolvedTicketsModel.h"

#include "foundation/RejectReasons.h"
#include "foundation/Session.h"
#include "widgets/DataWindowParts.h"
#include "widgets/WaitCursor.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Design widths of the ticket grid: the ticket's identity and figures first, the ten reason
// totals of its line narrow at the end.
void setTicketWidths(QTableView *grid)
{
    const QList<int> widths{84, 44, 92, 60, 104, 90, 190, 140, 104, 120, 124};
    for (int column = 0; column < grid->model()->columnCount(); ++column)
        grid->setColumnWidth(column, column < widths.size() ? widths[column] : 106);
}

void setDistributionWidths(QTableView *grid)
{
    const QList<int> widths{60, 76, 128, 330, 124, 110, 250, 104};
    for (int column = 0; column < widths.size(); ++column)
        grid->setColumnWidth(column, widths[column]);
}
} // namespace

frmHoldDisposition2::frmHoldDisposition2(Session &session, QWidget *parent)
    : LineWindow(session, QStringLiteral("frmHoldDisposition2"), tr("Disposition Of Hold"), parent)
{
    setPlacement(Placement::Maximized);
    buildUi();
    resize(1200, 680);
}

frmHoldDisposition2::~frmHoldDisposition2() = default;

void frmHoldDisposition2::buildUi()
{
    auto *frame3D1 = new QGroupBox(tr("Jobs With Unresolved Hold Items"), this);
    frame3D1->setObjectName(QStringLiteral("Frame3D1"));
    m_tickets = new UnresolvedTicketsModel(this);
    m_tickets->setStepRunner(
        [this](const std::function<void()> &work) { return runStep(QStringLiteral("Fetch"), work); });
    m_tblShiftData = DataWindowParts::makeGrid(QStringLiteral("tblShiftData"), m_tickets, frame3D1);
    DataWindowParts::setUpLineGrid(m_tblShiftData);
    setTicketWidths(m_tblShiftData);
    (new QVBoxLayout(frame3D1))->addWidget(m_tblShiftData);

    m_fraHolds = new QGroupBox(tr("Distributions For"), this);
    m_fraHolds->setObjectName(QStringLiteral("fraHolds"));
    m_distributions = new DistributionModel(session().prompter(), this);
    watchModel(m_distributions, QStringLiteral("tblHolds"));
    m_tblHolds = DataWindowParts::makeGrid(QStringLiteral("tblHolds"), m_distributions, m_fraHolds);
    auto *delegate = new DistributionDelegate(m_tblHolds);
    m_tblHolds->setItemDelegate(delegate);
    setEntryGrid(m_tblHolds, delegate, m_distributions, [this] { refreshDistributions(0); });
    m_tblHolds->installEventFilter(this);
    DataWindowParts::setUpEntryGrid(m_tblHolds, 16);
    setDistributionWidths(m_tblHolds);
    m_buttons = DataWindowParts::makeRowButtons(QStringLiteral("Hold"), QStringLiteral("Distribution"), 150,
                                                m_fraHolds);
    auto *holdLayout = new QVBoxLayout(m_fraHolds);
    holdLayout->addLayout(m_buttons.row);
    holdLayout->addWidget(m_tblHolds);

    // Its click closes the window as below: disabled meanwhile, so a second click cannot start
    // another close while the first one asks (makeOkButton would connect a plain close).
    auto *cmdOK = DataWindowParts::makeButton(QStringLiteral("cmdOKButton"), tr("&OK"), this, 100);
    QHBoxLayout *bottom = DataWindowParts::makeOkRow(cmdOK, makeHistoryCommand(this));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame3D1, 3);
    layout->addWidget(m_fraHolds, 2);
    layout->addLayout(bottom);

    addGrid(m_tblHolds, QStringLiteral("HOLDS"));
    onDeleteKey(m_tblHolds, [this] { deleteDistribution(); });
    addGrid(m_tblShiftData, QStringLiteral("URHOLDTIX"));

    connect(m_tblShiftData->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmHoldDisposition2::ticketChanged);
    connect(m_distributions, &SheetEntryModel::stored, this, [this] {
        m_tickets->ticketChanged(m_sheet ? m_sheet->selectedTicket() : -1);
        showDistributions();
    });
    connect(m_distributions, &DistributionModel::reasonRefused, this, [this](const QModelIndex &index) {
        const QPersistentModelIndex cell(index);
        QTimer::singleShot(0, this, [this, cell] {
            if (!cell.isValid())
                return;
            m_tblHolds->setCurrentIndex(cell);
            m_tblHolds->edit(cell);
        });
    });
    connectCommand(m_buttons.add, [this] { addDistribution(); });
    connectCommand(m_buttons.remove, [this] { deleteDistribution(); });
    connectCommand(m_buttons.update, [this] { updateDistribution(); });
    connect(cmdOK, &QPushButton::clicked, this, [this, cmdOK] {
        cmdOK->setEnabled(false);
        if (!close())
            cmdOK->setEnabled(true);
    });
}

bool frmHoldDisposition2::loadData()
{
    m_sheet = std::make_unique<DispositionSheet>(db());
    if (!runStep({}, [&] { m_sheet->load(); }))
        return false;
    m_tickets->reset(m_sheet.get());
    m_distributions->reset(m_sheet.get());
    if (m_sheet->selectedTicket() >= 0) {
        QSignalBlocker block(m_tblShiftData->selectionModel());
        m_tblShiftData->setCurrentIndex(m_tickets->index(m_sheet->selectedTicket(), 0));
    }
    showDistributions();
    setHeldBack(false);
    watchChanges({QStringLiteral("Hold Distribution"), QStringLiteral("Hold Table"),
                  QStringLiteral("Production Table")});
    m_tblShiftData->setFocus();
    return true;
}

void frmHoldDisposition2::refreshData()
{
    refreshDistributions(editedKey(m_tblHolds));
}

void frmHoldDisposition2::refreshDistributions(qint64 held)
{
    // The selected ticket's rows; they follow by id, so the open cell stays, and the held row
    // (typed into) keeps what it was read with.
    if (!m_sheet || !tryReread([&] { setHeldBack(m_sheet->refresh(held)); }))
        return;
    m_distributions->follow();
    m_tickets->ticketChanged(m_sheet->selectedTicket());
    showDistributions();
}

void frmHoldDisposition2::releaseData()
{
    m_distributions->reset(nullptr);
    m_tickets->reset(nullptr);
    m_sheet.reset();
}

void frmHoldDisposition2::ticketChanged()
{
    if (!m_sheet)
        return;
    // A refused entry keeps its ticket: the cell stays open with what was typed.
    if (!commitOpenEditor()) {
        QSignalBlocker block(m_tblShiftData->selectionModel());
        m_tblShiftData->setCurrentIndex(m_tickets->index(m_sheet->selectedTicket(), 0));
        return;
    }
    WaitCursor wait;
    const int row = m_tblShiftData->currentIndex().row();
    runStep(QStringLiteral("Ticket Change"), [&] { m_sheet->selectTicket(row); });
    m_distributions->reset(m_sheet.get());
    showDistributions();
}

qint64 frmHoldDisposition2::currentJobId() const
{
    const UnresolvedTicket *ticket = m_sheet ? m_sheet->selected() : nullptr;
    return ticket ? ticket->jobId : 0;
}

void frmHoldDisposition2::showDistributions()
{
    if (!m_sheet)
        return;
    const bool editable = m_sheet->editable();
    const bool any = m_sheet->distributionCount() > 0;
    m_fraHolds->setTitle(m_sheet->frameCaption());
    m_tblHolds->setEditTriggers(
        editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                       QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked
                 : QAbstractItemView::NoEditTriggers);
    m_buttons.enable(editable, any);
}

void frmHoldDisposition2::addDistribution()
{
    if (!m_sheet || !m_sheet->editable())
        return;
    int row = -1;
    const EntryResult result = m_sheet->addDistribution(session().clock().now(), &row);
    m_distributions->follow();
    m_distributions->settle({}, {}, result);
    showDistributions();
    if (row < 0)
        return;
    // The receiving line is picked first.
    const QModelIndex cell = m_distributions->index(row, DistributionModel::ReworkedIntoColumn);
    m_tblHolds->setCurrentIndex(cell);
    m_tblHolds->setFocus();
    m_tblHolds->edit(cell);
}

void frmHoldDisposition2::deleteDistribution()
{
    if (!m_sheet || !m_sheet->editable())
        return;
    const EntryResult result = m_sheet->deleteDistribution(m_tblHolds->currentIndex().row());
    m_distributions->follow();
    m_distributions->settle({}, {}, result);
    m_tickets->ticketChanged(m_sheet->selectedTicket());
    showDistributions();
    afterDelete();
}

void frmHoldDisposition2::afterDelete()
{
    if (m_sheet->distributionCount() > 0) {
        m_tblHolds->setCurrentIndex(m_distributions->index(m_sheet->distributionCount() - 1, 0));
        m_tblHolds->setFocus();
    } else {
        m_buttons.add->setFocus();
    }
}

void frmHoldDisposition2::updateDistribution()
{
    // Entries are saved as each cell is left (and before every command): Update reads the
    // ticket's rows again.
    if (!m_sheet)
        return;
    runStep(QStringLiteral("Update"), [&] { m_sheet->selectTicket(m_sheet->selectedTicket()); });
    m_distributions->follow();
    showDistributions();
    m_tblHolds->setFocus();
}

void frmHoldDisposition2::placeInFrame()
{
    DataWindow::placeInFrame();
    m_tblShiftData->horizontalScrollBar()->setValue(0);
    m_tblHolds->horizontalScrollBar()->setValue(0);
}

void frmHoldDisposition2::beforeUnload()
{
    WaitCursor wait;
    try {
        m_sheet->finish();
    } catch (const KelvaraError &error) {
        // The distributions are saved; only the status waits for the next change.
        session().prompter().tell(tr("The tickets with nothing left on hold could not be marked as disposed "
                                     "of:\n%1\n\nThey are marked the next time this window closes after a "
                                     "change.")
                                      .arg(error.description()),
                                  programTitle(), MsgIcon::Exclamation);
    }
}

bool frmHoldDisposition2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tblHolds && event->type() == QEvent::KeyPress &&
        chooseReasonByKey(static_cast<QKeyEvent *>(event)))
        return true;
    return DataWindow::eventFilter(watched, event);
}

bool frmHoldDisposition2::chooseReasonByKey(const QKeyEvent *key)
{
    const QModelIndex index = m_tblHolds->currentIndex();
    // While the list is open, the keys go to it, not to the grid.
    const bool reasonCell = index.isValid() && index.column() == DistributionModel::ReasonColumn &&
                            (index.flags() & Qt::ItemIsEditable);
    // Alt+Down still opens the list.
    if (!reasonCell || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const int last = int(RejectReasons::names().size()) - 1;
    const int now = index.data(DistributionModel::ValueRole).toInt();
    int next = now;
    switch (key->key()) {
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = last;
        break;
    case Qt::Key_Up:
        next = std::max(now - 1, 0);
        break;
    case Qt::Key_Down:
        next = std::min(now + 1, last);
        break;
    default:
        return false;
    }
    if (next != now)
        m_distributions->setData(index, next);
    return true;
}
