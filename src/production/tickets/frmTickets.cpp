#include "frmTickets.h"

#include "ShiftLinesModel.h"
#include "TicketModel.h"
#include "TicketSheet.h"
#include "production/record/CountEntryDelegate.h"
#include "production/record/QuantityFormat.h"

#include "foundation/Session.h"
#include "widgets/DataWindowParts.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kRefreshInterval = 60000;

void setUpShiftLines(QTableView *grid)
{
    DataWindowParts::setUpLineGrid(grid);
    grid->setColumnWidth(ShiftLinesModel::JobIdColumn, 70);
    grid->setColumnWidth(ShiftLinesModel::MachineColumn, 124);
    grid->setColumnWidth(ShiftLinesModel::JobNumberColumn, 110);
    grid->horizontalHeader()->setStretchLastSection(true);
}
} // namespace

frmTickets::frmTickets(Session &session, const TicketKind &kind, QWidget *parent)
    : LineWindow(session, kind.windowName, kind.title, parent), m_kind(kind)
{
    buildUi();
    resize(sizeHint());
}

frmTickets::~frmTickets()
{
    m_timer->stop();
}

void frmTickets::buildUi()
{
    m_label1 = DataWindowParts::makeCaptionLabel(QStringLiteral("Label1"), this);

    auto *frame3D1 = new QGroupBox(tr("Jobs Run This Shift"), this);
    frame3D1->setObjectName(QStringLiteral("Frame3D1"));
    m_lines = new ShiftLinesModel(this);
    m_tblShiftData = DataWindowParts::makeGrid(QStringLiteral("tblShiftData"), m_lines, frame3D1);
    setUpShiftLines(m_tblShiftData);
    (new QVBoxLayout(frame3D1))->addWidget(m_tblShiftData);

    m_fraTickets = new QGroupBox(m_kind.emptyFrameCaption, this);
    m_fraTickets->setObjectName(m_kind.frameName);
    m_tickets = new TicketModel(m_kind, session().prompter(), this);
    watchModel(m_tickets, m_kind.gridName);
    m_tblTickets = DataWindowParts::makeGrid(m_kind.gridName, m_tickets, m_fraTickets);
    auto *delegate = new CountEntryDelegate(m_tblTickets);
    m_tblTickets->setItemDelegate(delegate);
    setEntryGrid(m_tblTickets, delegate, m_tickets, [this] { refreshTickets(0); });
    DataWindowParts::setUpEntryGrid(m_tblTickets, 16);
    for (int column = 0; column < m_tickets->columnCount(); ++column)
        m_tblTickets->setColumnWidth(column, column == 0 ? 80 : 150);
    m_buttons = DataWindowParts::makeRowButtons(m_kind.buttonNoun, m_kind.buttonNoun, 130, m_fraTickets);
    auto *ticketLayout = new QVBoxLayout(m_fraTickets);
    ticketLayout->addLayout(m_buttons.row);
    ticketLayout->addWidget(m_tblTickets);

    QPushButton *ok = DataWindowParts::makeOkButton(this);
    auto *label2 = new QLabel(tr("Total:"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    m_lblTotal = new QLabel(this);
    m_lblTotal->setObjectName(m_kind.totalLabelName);
    m_lblTotal->setMinimumWidth(90);
    m_lblTotal->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = m_lblTotal->font();
    bold.setBold(true);
    m_lblTotal->setFont(bold);
    QHBoxLayout *bottom = DataWindowParts::makeOkRow(ok, makeHistoryCommand(this));
    bottom->addWidget(label2);
    bottom->addWidget(m_lblTotal);

    m_lblProtected = DataWindowParts::makeNoteLabel(
        QStringLiteral("lblProtected"),
        tr("This line is protected: its tickets cannot be added, changed or deleted."), this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addWidget(frame3D1, 3);
    layout->addWidget(m_fraTickets, 2);
    layout->addWidget(m_lblProtected);
    layout->addLayout(bottom);

    addGrid(m_tblTickets, m_kind.ticketsSection);
    onDeleteKey(m_tblTickets, [this] { deleteTicket(); });
    addGrid(m_tblShiftData, m_kind.linesSection);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(kRefreshInterval);

    connect(m_tblShiftData->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmTickets::lineChanged);
    connect(m_tickets, &SheetEntryModel::stored, this, &frmTickets::showTickets);
    connectCommand(m_buttons.add, [this] { addTicket(); });
    connectCommand(m_buttons.remove, [this] { deleteTicket(); });
    connectCommand(m_buttons.update, [this] { updateTicket(); });
    connect(m_timer, &QTimer::timeout, this, &frmTickets::refreshPending);
}

bool frmTickets::loadData()
{
    const DateShift dateShift = session().currentDateShift();
    m_label1->setText(dateShift.caption());
    m_sheet = std::make_unique<TicketSheet>(db(), m_kind);
    if (!runStep({}, [&] { m_sheet->load(dateShift); }))
        return false;
    m_lines->reset(m_sheet.get());
    m_tickets->reset(m_sheet.get());
    selectLineRow(m_sheet->selectedLine());
    showTickets();
    if (m_kind.refreshTimer)
        m_timer->start();
    setHeldBack(false);
    watchChanges({m_kind.table}, dateShift);
    m_tblShiftData->setFocus();
    return true;
}

void frmTickets::refreshData()
{
    refreshTickets(editedKey(m_tblTickets));
}

void frmTickets::refreshTickets(qint64 held)
{
    // The selected line's tickets and total; the rows follow by id, so the open cell stays, and
    // the held ticket (typed into) keeps what it was read with.
    if (!m_sheet || !tryReread([&] { setHeldBack(m_sheet->refresh(held)); }))
        return;
    m_tickets->follow();
    showTickets();
}

void frmTickets::releaseData()
{
    m_timer->stop();
    m_tickets->reset(nullptr);
    m_lines->reset(nullptr);
    m_sheet.reset();
}

void frmTickets::selectLineRow(int row)
{
    if (row < 0)
        return;
    QSignalBlocker block(m_tblShiftData->selectionModel());
    m_tblShiftData->setCurrentIndex(m_lines->index(row, 0));
}

qint64 frmTickets::currentJobId() const
{
    const int row = m_sheet ? m_sheet->selectedLine() : -1;
    return row >= 0 && row < m_sheet->lineCount() ? m_sheet->line(row).jobId : 0;
}

void frmTickets::lineChanged()
{
    if (!m_sheet)
        return;
    // A refused entry keeps its line: the cell stays open with what was typed.
    if (!commitOpenEditor()) {
        selectLineRow(m_sheet->selectedLine());
        return;
    }
    const int row = m_tblShiftData->currentIndex().row();
    if (!runStep(QStringLiteral("Line Change"), [&] { m_sheet->selectLine(row); }))
        return;
    m_tickets->reset(m_sheet.get());
    showTickets();
}

void frmTickets::showTickets()
{
    if (!m_sheet)
        return;
    m_fraTickets->setTitle(m_sheet->frameCaption());
    m_lblTotal->setText(QuantityFormat::grouped(m_sheet->total(), true));
    m_tblTickets->setEditTriggers(
        m_sheet->editable() ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked
                            : QAbstractItemView::NoEditTriggers);
    m_lblProtected->setVisible(m_sheet->selected() && !m_sheet->editable());
    updateButtons();
}

void frmTickets::updateButtons()
{
    const bool editable = m_sheet && m_sheet->editable();
    const bool any = m_sheet && m_sheet->ticketCount() > 0;
    m_buttons.enable(editable, any);
}

void frmTickets::addTicket()
{
    if (!m_sheet || !m_sheet->editable())
        return;
    int row = -1;
    const EntryResult result = m_sheet->addTicket(&row);
    m_tickets->follow();
    m_tickets->settle({}, {}, result);
    showTickets();
    if (row < 0)
        return;
    const QModelIndex cell = m_tickets->index(row, TicketModel::NumberColumn);
    m_tblTickets->setCurrentIndex(cell);
    m_tblTickets->setFocus();
    m_tblTickets->edit(cell);
}

void frmTickets::deleteTicket()
{
    if (!m_sheet || !m_sheet->editable())
        return;
    const EntryResult result = m_sheet->deleteTicket(m_tblTickets->currentIndex().row());
    m_tickets->follow();
    m_tickets->settle({}, {}, result);
    showTickets();
    if (m_sheet->ticketCount() > 0) {
        m_tblTickets->setCurrentIndex(
            m_tickets->index(m_sheet->ticketCount() - 1, TicketModel::NumberColumn));
        m_tblTickets->setFocus();
    } else {
        m_buttons.add->setFocus();
    }
}

void frmTickets::updateTicket()
{
    if (!m_sheet)
        return;
    // The current cell stays on its ticket: the rows follow by id.
    runStep(QStringLiteral("Update"), [&] { m_sheet->reloadTickets(); });
    m_tickets->follow();
    showTickets();
    m_tblTickets->setFocus();
}

void frmTickets::refreshPending()
{
    if (!m_sheet || !hasUnsavedEntry())
        return;
    // What was typed is saved first; a refused entry stays in its cell and nothing is re-read.
    if (!commitOpenEditor())
        return;
    m_tblTickets->setFocus();
    if (!runStep(QStringLiteral("Timer1"), [&] { m_sheet->load(m_sheet->dateShift()); }))
        return;
    m_lines->reset(m_sheet.get());
    m_tickets->reset(m_sheet.get());
    selectLineRow(m_sheet->selectedLine());
    showTickets();
}

void frmTickets::beforeUnload()
{
    m_timer->stop();
    try {
        m_sheet->cleanUp();
    } catch (const KelvaraError &error) {
        // Nothing typed is lost: empty rows stay until a window of this kind closes again.
        session().prompter().tell(
            tr("The empty ticket rows could not be removed:\n%1\n\nThey are removed the "
               "next time this window is closed.")
                .arg(error.description()),
            programTitle(), MsgIcon::Exclamation);
    }
}
