#pragma once

#include "TicketKind.h"
#include "production/record/EntryResult.h"

#include "foundation/DateShift.h"
#include "foundation/RowClaims.h"

#include <QList>
#include <QVariant>
#include <optional>

class Database;

// A job line of the date-shift as the ticket windows list it.
struct ShiftLine
{
    qint64 jobId = 0;
    QVariant machineNumber;
    QString jobNumber;
    QString jobDescription;
    bool protectedRecord = false;
};

// One transfer or hold ticket. Number and quantity are null while a new row is being entered;
// a new row not stored yet has id 0.
struct Ticket
{
    qint64 id = 0;
    qint64 jobId = 0;
    QVariant number;
    QVariant quantity;
    QVariant remaining; // holds only
    bool operator==(const Ticket &) const = default;
};

// The transfer or hold tickets of a date-shift's lines: the lines, the tickets and total of the
// selected line, and what adding, typing and deleting do. Every write goes to the one field the
// user changed, checks that the row still holds what was read, and refuses a protected line.
class TicketSheet
{
public:
    TicketSheet(Database &db, TicketKind kind)
        : m_db(db), m_kind(std::move(kind)), m_claims(db, m_kind.hasRemaining ? 2 : 1)
    {
    }

    const TicketKind &kind() const { return m_kind; }

    // Reads the date-shift's lines and selects the first.
    void load(const DateShift &dateShift);
    const DateShift &dateShift() const { return m_dateShift; }
    int lineCount() const { return int(m_lines.size()); }
    const ShiftLine &line(int row) const { return m_lines.at(row); }
    int selectedLine() const { return m_selected; }
    const ShiftLine *selected() const;
    // Selects a line and reads its tickets.
    void selectLine(int row);
    void reloadTickets();
    // Reads the selected line's tickets again for what other workstations stored; the ticket of
    // heldTicket (the one typed into now) keeps the values it was read with, so that its save
    // still finds a change made elsewhere. True when it was held back with other values.
    bool refresh(qint64 heldTicket);

    int ticketCount() const { return int(m_tickets.size()); }
    const Ticket &ticket(int row) const { return m_tickets.at(row); }
    int rowOfTicket(qint64 id) const;
    // The ids of the tickets shown, in order (0 for the new row not stored yet).
    QList<qint64> ticketIds() const;
    // The id the new row got as its first value was stored; 0 before any.
    qint64 lastStoredNewTicket() const { return m_storedNew; }
    qint64 total() const { return m_total; }
    // "Transfers for 10-1042 - Bezel, front panel, black"
    QString frameCaption() const;

    // Tickets of the selected line may be added, changed and deleted.
    bool editable() const;

    // A new empty ticket row of the selected line; its row in ticket(). It is stored with the
    // first value typed into it, so that no other workstation's clean-up meets it empty.
    EntryResult addTicket(int *row = nullptr);
    bool hasNewTicket() const { return m_newTicket; }
    EntryResult setNumber(int row, const QString &typed);
    EntryResult setQuantity(int row, const QString &typed);
    EntryResult deleteTicket(int row);

    // As the window closes: the empty ticket rows this sheet stored are removed, a number without
    // quantity gets 0. The same is done on the date-shift's rows that a window of a program no
    // longer running left half typed; a row whose window is still open is left alone (it may
    // still be typed in): every window claims the rows it stores or changes (RowClaims).
    void cleanUp();

private:
    EntryResult write(int row, const QString &field, const QVariant &value);
    EntryResult insertTicket(const QString &field, const QVariant &value);
    void recomputeRemaining(qint64 ticketId);
    void markSelectedProtected();
    qint64 readTotal(qint64 jobId) const;
    void rereadAfterWrite();
    QString emptyRow() const;
    QList<qint64> leftByOthers() const;
    void cleanRows(const QList<qint64> &ids);

    Database &m_db;
    TicketKind m_kind;
    DateShift m_dateShift;
    QList<ShiftLine> m_lines;
    int m_selected = -1;
    QList<Ticket> m_tickets;
    qint64 m_total = 0;
    bool m_newTicket = false; // the selected line shows a new row not stored yet
    QList<qint64> m_written;  // the rows this sheet stored or changed: what its clean-up covers
    qint64 m_storedNew = 0;
    RowClaims m_claims;
};
