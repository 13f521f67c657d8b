#include "DispositionSheet.h"

// The upper grid's unresolved hold tickets, read a page at a time as the grid scrolls, and the
// ticket selected.

#include "foundation/Database.h"
#include "foundation/RejectReasons.h"

#include <QSqlQuery>

namespace {
UnresolvedTicket ticketFrom(const QSqlQuery &query)
{
    UnresolvedTicket ticket;
    ticket.date = dateFromSql(query.value(QStringLiteral("Date")));
    ticket.shift = query.value(QStringLiteral("Shift")).toInt();
    ticket.machineNumber = query.value(QStringLiteral("Machine Number"));
    ticket.jobId = query.value(QStringLiteral("Job ID")).toLongLong();
    ticket.ticketId = query.value(QStringLiteral("Hold Ticket ID")).toLongLong();
    ticket.jobNumber = query.value(QStringLiteral("Job Number")).toString();
    ticket.jobDescription = query.value(QStringLiteral("Job Description")).toString();
    ticket.ticketNumber = query.value(QStringLiteral("Hold Ticket Number"));
    ticket.quantity = query.value(QStringLiteral("Hold Quantity")).toLongLong();
    ticket.remaining = query.value(QStringLiteral("Hold Remaining")).toLongLong();
    ticket.protectedRecord = query.value(QStringLiteral("Protected Record")).toInt() != 0;
    ticket.reasons = RejectReasons::read(query);
    return ticket;
}
} // namespace

void DispositionSheet::load()
{
    m_tickets.clear();
    m_listed.clear();
    m_read = 0;
    m_more = true;
    // A plant may hold a hundred thousand unresolved tickets: the first page is read here, the
    // rest as the grid scrolls down to them.
    fetchMore();
    selectTicket(m_tickets.isEmpty() ? -1 : 0);
}

// The next page of the saved query's rows in its order. Each read starts a little before where
// the last one ended and leaves out the tickets listed already: tickets alike in every sorted
// field may come in another order from one read to the next, and tickets disposed of or added
// meanwhile move the rows after them, and neither must leave a ticket out.
QList<UnresolvedTicket> DispositionSheet::readNextPage()
{
    if (!m_more)
        return {};
    const qint64 from = qMax<qint64>(0, m_read - kOverlap);
    const qint64 wanted = m_read - from + kPage;
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT * FROM (") + m_db.savedQuerySql(QStringLiteral("Unresolved Hold")) +
                      QStringLiteral(") AS u LIMIT :n OFFSET :o"),
                  {{QStringLiteral("n"), wanted}, {QStringLiteral("o"), from}});
    QList<UnresolvedTicket> tickets;
    qint64 rows = 0;
    while (query.next()) {
        ++rows;
        UnresolvedTicket ticket = ticketFrom(query);
        if (!m_listed.contains(ticket.ticketId))
            tickets.append(std::move(ticket));
    }
    m_read = from + rows;
    m_more = rows == wanted;
    return tickets;
}

void DispositionSheet::addTickets(QList<UnresolvedTicket> tickets)
{
    for (const UnresolvedTicket &ticket : tickets)
        m_listed.insert(ticket.ticketId);
    m_tickets += std::move(tickets);
}

const UnresolvedTicket *DispositionSheet::selected() const
{
    return m_selected >= 0 && m_selected < ticketCount() ? &m_tickets[m_selected] : nullptr;
}

void DispositionSheet::selectTicket(int row)
{
    const int selected = row >= 0 && row < ticketCount() ? row : -1;
    // Another ticket's rows are never shown under this one, even when its read fails.
    if (selected != m_selected)
        m_rows.clear();
    m_selected = selected;
    reloadDistributions();
    loadReceivingLines();
}
