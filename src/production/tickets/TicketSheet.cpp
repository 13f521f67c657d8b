#include "TicketSheet.h"

#include "production/record/CountRange.h"
#include "production/record/HeldRow.h"
#include "production/record/ProtectedLine.h"
#include "production/record/QuantityEntry.h"

#include "foundation/Database.h"
#include "foundation/SharedRow.h"

#include <QSqlQuery>

namespace {
QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// The equality that also matches two nulls.
bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.toLongLong() == b.toLongLong();
}
} // namespace

void TicketSheet::load(const DateShift &dateShift)
{
    m_dateShift = dateShift;
    m_lines.clear();
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT \"Job ID\", \"Machine Number\", \"Job Number\", \"Job "
                                 "Description\", \"Protected Record\" "
                                 "FROM \"Production Table\" WHERE \"Date\" = :dt AND \"Shift\" = :sh "
                                 "ORDER BY \"Machine Number\", \"Job ID\""),
                  {{QStringLiteral("dt"), dateShift.sqlDate()}, {QStringLiteral("sh"), dateShift.shift}});
    while (query.next()) {
        m_lines.append({query.value(QStringLiteral("Job ID")).toLongLong(),
                        query.value(QStringLiteral("Machine Number")),
                        query.value(QStringLiteral("Job Number")).toString(),
                        query.value(QStringLiteral("Job Description")).toString(),
                        query.value(QStringLiteral("Protected Record")).toInt() != 0});
    }
    m_selected = -1;
    m_tickets.clear();
    m_total = 0;
    m_newTicket = false;
    if (!m_lines.isEmpty())
        selectLine(0);
}

const ShiftLine *TicketSheet::selected() const
{
    return m_selected >= 0 && m_selected < lineCount() ? &m_lines[m_selected] : nullptr;
}

void TicketSheet::selectLine(int row)
{
    const int selected = row >= 0 && row < lineCount() ? row : -1;
    // A new row left with nothing typed belongs to the line it was added to: it goes with it.
    // Another line's tickets are never shown under this one, even when its read fails.
    if (selected != m_selected) {
        m_newTicket = false;
        m_tickets.clear();
        m_total = 0;
    }
    m_selected = selected;
    reloadTickets();
}

void TicketSheet::reloadTickets()
{
    const ShiftLine *line = selected();
    if (!line) {
        m_tickets.clear();
        m_total = 0;
        return;
    }
    const QString remaining = QStringLiteral("Hold Remaining");
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT %1, \"Job ID\", %2, %3%4 FROM %5 WHERE \"Job ID\" = :j ORDER BY %1")
                      .arg(quoted(m_kind.idField), quoted(m_kind.numberField), quoted(m_kind.quantityField),
                           m_kind.hasRemaining ? QStringLiteral(", ") + quoted(remaining) : QString(),
                           quoted(m_kind.table)),
                  {{QStringLiteral("j"), line->jobId}});
    // Read whole before anything shown is replaced: a read that fails leaves the rows as they were.
    QList<Ticket> tickets;
    while (query.next()) {
        Ticket ticket;
        ticket.id = query.value(m_kind.idField).toLongLong();
        ticket.jobId = query.value(QStringLiteral("Job ID")).toLongLong();
        ticket.number = query.value(m_kind.numberField);
        ticket.quantity = query.value(m_kind.quantityField);
        if (m_kind.hasRemaining)
            ticket.remaining = query.value(remaining);
        tickets.append(ticket);
    }
    if (m_newTicket)
        tickets.append({0, line->jobId, {}, {}, {}});
    m_total = readTotal(line->jobId);
    m_tickets = std::move(tickets);
}

bool TicketSheet::refresh(qint64 heldTicket)
{
    const QList<Ticket> shown = m_tickets;
    reloadTickets();
    return holdBackRow(m_tickets, shown, &Ticket::id, heldTicket);
}

void TicketSheet::rereadAfterWrite()
{
    // What was written is committed; should the re-read fail (the file busy a moment), the rows
    // show as they were until the next change of line.
    try {
        reloadTickets();
    } catch (const KelvaraError &) {
    }
}

qint64 TicketSheet::readTotal(qint64 jobId) const
{
    const QVariant sum = m_db.scalar(QStringLiteral("SELECT SUM(%1) FROM %2 WHERE \"Job ID\" = :j")
                                         .arg(quoted(m_kind.quantityField), quoted(m_kind.table)),
                                     {{QStringLiteral("j"), jobId}});
    return sum.isNull() ? 0 : sum.toLongLong();
}

int TicketSheet::rowOfTicket(qint64 id) const
{
    for (int row = 0; row < ticketCount(); ++row) {
        if (m_tickets[row].id == id)
            return row;
    }
    return -1;
}

QList<qint64> TicketSheet::ticketIds() const
{
    QList<qint64> ids;
    for (const Ticket &ticket : m_tickets)
        ids << ticket.id;
    return ids;
}

QString TicketSheet::frameCaption() const
{
    const ShiftLine *line = selected();
    if (!line)
        return m_kind.emptyFrameCaption;
    return m_kind.frameCaption + line->jobNumber + QStringLiteral(" - ") + line->jobDescription;
}

bool TicketSheet::editable() const
{
    const ShiftLine *line = selected();
    return line && !line->protectedRecord;
}

void TicketSheet::markSelectedProtected()
{
    if (m_selected >= 0)
        m_lines[m_selected].protectedRecord = true;
}

EntryResult TicketSheet::addTicket(int *row)
{
    if (!editable())
        return EntryResult::refused({});
    const qint64 jobId = selected()->jobId;
    try {
        if (ProtectedLine::closed(m_db, jobId)) {
            markSelectedProtected();
            return EntryResult::protectedLine();
        }
    } catch (const KelvaraError &error) {
        return EntryResult::failed(error);
    }
    // The row is stored with its first value (insertTicket): an empty row in the table would be
    // another workstation's clean-up to remove while this user is still typing.
    if (!m_newTicket) {
        m_newTicket = true;
        m_tickets.append({0, jobId, {}, {}, {}});
    }
    if (row)
        *row = rowOfTicket(0);
    return EntryResult::ok();
}

EntryResult TicketSheet::insertTicket(const QString &field, const QVariant &value)
{
    // Nothing typed yet: the row stays new.
    if (value.isNull())
        return EntryResult::ok();
    const qint64 jobId = selected()->jobId;
    const bool quantity = field == m_kind.quantityField;
    QString sql;
    if (!m_kind.hasRemaining)
        sql = QStringLiteral("INSERT INTO %1 (\"Job ID\", %2) VALUES (:j, :v)")
                  .arg(quoted(m_kind.table), quoted(field));
    else if (quantity) // all of a new hold is still on hold
        sql = QStringLiteral("INSERT INTO \"Hold Table\" (\"Job ID\", \"Hold Quantity\", \"Hold Remaining\") "
                             "VALUES (:j, :v, :r)");
    else // a hold starts with nothing on hold; the quantity follows when it is typed
        sql = QStringLiteral(
            "INSERT INTO \"Hold Table\" (\"Job ID\", \"Hold Ticket Number\", \"Hold Quantity\", "
            "\"Hold Remaining\") VALUES (:j, :v, 0, 0)");
    QVariantMap params{{QStringLiteral("j"), jobId}, {QStringLiteral("v"), value}};
    if (m_kind.hasRemaining && quantity)
        params.insert(QStringLiteral("r"), value);
    qint64 id = 0;
    try {
        Transaction transaction(m_db);
        if (ProtectedLine::closed(m_db, jobId)) {
            markSelectedProtected();
            return EntryResult::protectedLine();
        }
        id = m_db.lastInsertId(m_db.exec(sql, params));
        m_claims.claim(id);
        transaction.commit();
    } catch (const KelvaraError &error) {
        return EntryResult::failed(error);
    }
    m_newTicket = false;
    m_storedNew = id;
    m_written.append(id);
    rereadAfterWrite();
    return EntryResult::ok();
}

EntryResult TicketSheet::setNumber(int row, const QString &typed)
{
    const QuantityEntry::Number number = QuantityEntry::ticketNumber(typed);
    if (!number.valid)
        return EntryResult::refused(number.message);
    return write(row, m_kind.numberField, number.value);
}

EntryResult TicketSheet::setQuantity(int row, const QString &typed)
{
    const QuantityEntry::Quantity count = QuantityEntry::quantity(typed);
    if (!count.value)
        return EntryResult::refused(count.message);
    return write(row, m_kind.quantityField, qint64(*count.value));
}

EntryResult TicketSheet::write(int row, const QString &field, const QVariant &value)
{
    if (!editable() || row < 0 || row >= ticketCount())
        return EntryResult::protectedLine();
    const Ticket &ticket = m_tickets[row];
    if (ticket.id == 0)
        return insertTicket(field, value);
    const QVariant old = field == m_kind.numberField ? ticket.number : ticket.quantity;
    const bool quantityChanged = field == m_kind.quantityField;
    if (sameValue(old, value) && !(m_kind.hasRemaining && quantityChanged))
        return EntryResult::ok();
    try {
        Transaction transaction(m_db);
        if (ProtectedLine::closed(m_db, ticket.jobId)) {
            markSelectedProtected();
            return EntryResult::protectedLine();
        }
        if (!SharedRow(quoted(m_kind.table), quoted(m_kind.idField), ticket.id)
                 .change(quoted(field), value, old)
                 .write(m_db)) {
            transaction.commit();
            rereadAfterWrite();
            return EntryResult::stale();
        }
        if (m_kind.hasRemaining)
            recomputeRemaining(ticket.id);
        m_claims.claim(ticket.id);
        transaction.commit();
    } catch (const CountRangeError &error) {
        rereadAfterWrite();
        return EntryResult::refused(error.description());
    } catch (const KelvaraError &error) {
        return EntryResult::failed(error);
    }
    if (!m_written.contains(ticket.id))
        m_written.append(ticket.id);
    rereadAfterWrite();
    return EntryResult::ok();
}

void TicketSheet::recomputeRemaining(qint64 ticketId)
{
    // What is still on hold is the quantity less what the ticket's distribution rows already
    // reworked or rejected; a ticket with parts left is no longer disposed of.
    const qint64 remaining =
        m_db.scalar(QStringLiteral(
                        "SELECT \"Hold Quantity\" - COALESCE((SELECT SUM(COALESCE(d.\"Reworked Quantity\""
                        ", 0) + COALESCE(d.\"Rejects\", 0)) FROM \"Hold Distribution\" d WHERE "
                        "d.\"Hold Ticket ID\" = h.\"Hold Ticket ID\"), 0) FROM \"Hold Table\" h "
                        "WHERE h.\"Hold Ticket ID\" = :id"),
                    {{QStringLiteral("id"), ticketId}})
            .toLongLong();
    CountRange::check(remaining, QStringLiteral("the ticket's Hold Remaining"));
    m_db.exec(
        QStringLiteral("UPDATE \"Hold Table\" SET \"Hold Remaining\" = :r WHERE \"Hold Ticket ID\" = :id"),
        {{QStringLiteral("r"), remaining}, {QStringLiteral("id"), ticketId}});
    m_db.exec(
        QStringLiteral("UPDATE \"Hold Table\" SET \"Disposed of\" = 0 WHERE \"Hold Ticket ID\" = :id AND "
                       "\"Hold Remaining\" <> 0"),
        {{QStringLiteral("id"), ticketId}});
}

EntryResult TicketSheet::deleteTicket(int row)
{
    if (!editable())
        return EntryResult::refused({});
    if (row < 0 || row >= ticketCount()) {
        EntryResult none =
            EntryResult::box(m_kind.noTicketsToDelete, QStringLiteral("Delete Error"), MsgIcon::Information);
        return none;
    }
    if (m_tickets[row].id == 0) {
        // Never stored: nothing to delete but the row on screen.
        m_newTicket = false;
        m_tickets.removeAt(row);
        return EntryResult::ok();
    }
    try {
        Transaction transaction(m_db);
        if (ProtectedLine::closed(m_db, m_tickets[row].jobId)) {
            markSelectedProtected();
            return EntryResult::protectedLine();
        }
        m_db.exec(
            QStringLiteral("DELETE FROM %1 WHERE %2 = :id").arg(quoted(m_kind.table), quoted(m_kind.idField)),
            {{QStringLiteral("id"), m_tickets[row].id}});
        transaction.commit();
    } catch (const KelvaraError &error) {
        EntryResult refusal = EntryResult::deleteRefused(error, m_kind.stillReferred);
        rereadAfterWrite();
        return refusal;
    }
    rereadAfterWrite();
    return EntryResult::ok();
}

namespace {
// The rows the clean-up may change: a line protected meanwhile is left alone (the database
// refuses changes to it).
const QString kUnprotected =
    QStringLiteral(" AND \"Job ID\" NOT IN (SELECT \"Job ID\" FROM \"Production Table\" "
                   "WHERE \"Protected Record\" <> 0)");
} // namespace

QString TicketSheet::emptyRow() const
{
    // A hold row starts with quantity 0 rather than null: an empty one is 0 with no number and
    // nothing distributed.
    if (m_kind.hasRemaining)
        return QStringLiteral("\"Hold Ticket Number\" IS NULL AND COALESCE(\"Hold Quantity\", 0) = 0 "
                              "AND NOT EXISTS (SELECT 1 FROM \"Hold Distribution\" d WHERE "
                              "d.\"Hold Ticket ID\" = \"Hold Table\".\"Hold Ticket ID\")");
    return QStringLiteral("%1 IS NULL AND %2 IS NULL")
        .arg(quoted(m_kind.numberField), quoted(m_kind.quantityField));
}

QList<qint64> TicketSheet::leftByOthers() const
{
    // Half typed: empty, or without quantity; on this date-shift's lines.
    QSqlQuery query = m_db.exec(
        QStringLiteral(
            "SELECT %1 FROM %2 WHERE \"Job ID\" IN (SELECT \"Job ID\" FROM \"Production Table\" WHERE "
            "\"Date\" = :dt AND \"Shift\" = :sh) AND ((%3) OR %4 IS NULL)")
                .arg(quoted(m_kind.idField), quoted(m_kind.table), emptyRow(), quoted(m_kind.quantityField)) +
            kUnprotected,
        {{QStringLiteral("dt"), m_dateShift.sqlDate()}, {QStringLiteral("sh"), m_dateShift.shift}});
    QList<qint64> ids;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (!m_written.contains(id) && !m_claims.claimedByAnyone(id))
            ids << id;
    }
    return ids;
}

void TicketSheet::cleanRows(const QList<qint64> &ids)
{
    const QString table = quoted(m_kind.table);
    const QString key = quoted(m_kind.idField);
    const QString quantity = quoted(m_kind.quantityField);
    for (const qint64 id : ids) {
        const QVariantMap row{{QStringLiteral("id"), id}};
        m_db.exec(QStringLiteral("DELETE FROM %1 WHERE %2 = :id AND ").arg(table, key) + emptyRow() +
                      kUnprotected,
                  row);
        m_db.exec(
            QStringLiteral("UPDATE %1 SET %2 = 0 WHERE %3 = :id AND %2 IS NULL").arg(table, quantity, key) +
                kUnprotected,
            row);
    }
}

void TicketSheet::cleanUp()
{
    // This sheet's own rows, and the half-typed rows no open window claims: a row of another
    // workstation may be half typed (a number and no quantity yet), and changing it under that
    // user refuses their next entry.
    // Looked for first without the write lock, so that a close with nothing to clean writes
    // nothing; then again under it, where no window can claim a row meanwhile.
    const bool othersLeft = m_dateShift.isValid() && !leftByOthers().isEmpty();
    if (othersLeft || !m_written.isEmpty()) {
        Transaction transaction(m_db);
        cleanRows(m_written);
        if (othersLeft)
            cleanRows(leftByOthers());
        transaction.commit();
    }
    m_written.clear();
    m_claims.releaseAll();
}
