#pragma once

#include "production/record/EntryResult.h"

#include "foundation/RejectReasons.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QVariant>
#include <functional>
#include <optional>

class Database;

// A hold ticket not yet disposed of, with its job line ("Unresolved Hold").
struct UnresolvedTicket
{
    QDate date;
    int shift = 0;
    QVariant machineNumber;
    qint64 jobId = 0;
    qint64 ticketId = 0;
    QString jobNumber;
    QString jobDescription;
    QVariant ticketNumber;
    qint64 quantity = 0;
    qint64 remaining = 0;
    bool protectedRecord = false;
    RejectReasons::Counts reasons{}; // of the ticket's line
};

// One row of a ticket's distribution: parts reworked into a receiving line and parts rejected.
struct Distribution
{
    qint64 id = 0;
    QVariant jobId;
    QVariant toJobId;
    QVariant ticketNumber;
    qint64 reworked = 0;
    qint64 rejects = 0;
    int reason = 0;
    QString reworkedInto; // "12/08/2026, Shift 2" of the receiving line; empty when none
    bool operator==(const Distribution &) const = default;
};

// A line that may receive the reworked parts of the selected ticket.
struct ReceivingLine
{
    qint64 jobId = 0;
    QDate date;
    int shift = 0;
    QVariant machineNumber;
    QString jobNumber;
    QString jobDescription;
};

// The disposition of hold tickets: the unresolved tickets, the distribution rows of the
// selected one, and what each change does. Every change runs in one transaction that re-reads
// the row (a row changed elsewhere since it was read is refused and read again), moves the
// rejects between the reason totals of the ticket's line relative to what is stored there, and
// recomputes the ticket's remaining quantity.
class DispositionSheet
{
public:
    explicit DispositionSheet(Database &db) : m_db(db) {}

    static QString invalidReasonMessage();
    // A change to a row whose receiving line was protected since: it can never be saved.
    static QString receivingLineProtectedMessage();

    // Reads the first page of the unresolved tickets (saved query "Unresolved Hold", which
    // decides which tickets and in which order) and selects the first.
    void load();
    // The tickets read so far, and whether more are to be read (the grid reads them as it
    // scrolls down to them).
    int ticketCount() const { return int(m_tickets.size()); }
    bool canFetchMore() const { return m_more; }
    void fetchMore() { addTickets(readNextPage()); }
    // The next page of tickets, to be added to the list (a grid announces the rows between).
    QList<UnresolvedTicket> readNextPage();
    void addTickets(QList<UnresolvedTicket> tickets);
    const UnresolvedTicket &ticket(int row) const { return m_tickets.at(row); }
    int selectedTicket() const { return m_selected; }
    const UnresolvedTicket *selected() const;
    void selectTicket(int row);
    // Reads the selected ticket's rows, figures and receiving lines again for what other
    // workstations stored; the row of heldDistribution (the one typed into now) keeps the values
    // it was read with, so that its save still finds a change made elsewhere. True when it was
    // held back with other values.
    bool refresh(qint64 heldDistribution);
    QString frameCaption() const;
    bool editable() const;

    int distributionCount() const { return int(m_rows.size()); }
    const Distribution &distribution(int row) const { return m_rows.at(row); }
    int rowOfDistribution(qint64 id) const;
    QList<qint64> distributionIds() const;
    const QList<ReceivingLine> &receivingLines() const { return m_targets; }

    EntryResult addDistribution(const QDateTime &now, int *row = nullptr);
    // A null jobId clears the receiving line.
    EntryResult setReceivingLine(int row, const QVariant &jobId);
    EntryResult setReworked(int row, const QString &typed);
    EntryResult setRejects(int row, const QString &typed);
    EntryResult setReason(int row, int reason);
    EntryResult deleteDistribution(int row);

    // A distribution row was saved since the load.
    bool changed() const { return m_changed; }
    // As the window closes: after a change, tickets with nothing remaining are disposed of.
    void finish();

private:
    struct Booking
    {
        qint64 reworked = 0;
        qint64 rejects = 0;
        int reason = 0;
        QVariant toJobId;
    };
    EntryResult change(int row, const std::function<EntryResult(Booking &)> &apply);
    std::optional<Booking> readBooking(qint64 id) const;
    void moveRejects(const Booking &from, const Booking &to);
    void recalcHoldRemaining();
    bool ticketLineProtected() const;
    void reloadDistributions();
    void rereadAfterWrite();
    void refreshSelectedTicket();
    void loadReceivingLines();

    static constexpr int kPage = 200;
    static constexpr int kOverlap = 50;

    Database &m_db;
    QList<UnresolvedTicket> m_tickets;
    QSet<qint64> m_listed; // the Hold Ticket IDs in m_tickets
    qint64 m_read = 0;     // rows of the saved query read so far
    bool m_more = false;
    int m_selected = -1;
    QList<Distribution> m_rows;
    QList<ReceivingLine> m_targets;
    bool m_changed = false;
};
