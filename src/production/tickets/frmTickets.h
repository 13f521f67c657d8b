#pragma once

#include "TicketKind.h"

#include "production/record/LineWindow.h"
#include "widgets/DataWindowParts.h"

#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;
class ShiftLinesModel;
class TicketModel;
class TicketSheet;

// The transfers window ("frmTransfer2") and the production-on-hold window ("frmOnHold2"): the
// job lines of the current date-shift above, the tickets of the selected line below with their
// total. One class; the ticket kind names the table, captions and extra rules.
class frmTickets : public LineWindow
{
    Q_OBJECT

public:
    frmTickets(Session &session, const TicketKind &kind, QWidget *parent = nullptr);
    ~frmTickets() override;

    TicketSheet *sheet() const { return m_sheet.get(); }
    TicketModel *ticketModel() const { return m_tickets; }
    // Timer1's work in the hold window: a pending edit is saved, then the lines are read again.
    void refreshPending();
    QSize sizeHint() const override { return {820, 660}; }

protected:
    bool loadData() override;
    void releaseData() override;
    void refreshData() override;
    void beforeUnload() override;
    qint64 currentJobId() const override;

private:
    void buildUi();
    void lineChanged();
    void showTickets();
    void updateButtons();
    void addTicket();
    void deleteTicket();
    void updateTicket();
    void selectLineRow(int row);
    void refreshTickets(qint64 held);

    TicketKind m_kind;
    std::unique_ptr<TicketSheet> m_sheet;
    ShiftLinesModel *m_lines = nullptr;
    TicketModel *m_tickets = nullptr;

    QLabel *m_label1 = nullptr;
    QTableView *m_tblShiftData = nullptr;
    QGroupBox *m_fraTickets = nullptr;
    QTableView *m_tblTickets = nullptr;
    DataWindowParts::RowButtons m_buttons;
    QLabel *m_lblTotal = nullptr;
    QLabel *m_lblProtected = nullptr;
    QTimer *m_timer = nullptr;
};
