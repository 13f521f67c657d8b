#include "DispositionSheet.h"

#include "production/record/CountRange.h"
#include "production/record/HeldRow.h"
#include "production/record/ProtectedLine.h"
#include "production/record/QuantityEntry.h"

#include "foundation/Database.h"
#include "foundation/DateShift.h"
#include "foundation/RejectReasons.h"
#include "foundation/SharedRow.h"

#include <QSqlQuery>

namespace {
// A receiving line removed meanwhile fails the change as a read of a missing row does.
bool receivingLineProtected(const Database &db, qint64 jobId)
{
    const std::optional<bool> protectedNow = ProtectedLine::read(db, jobId);
    if (!protectedNow)
        throw DatabaseError(DbErrors::NoCurrentRecord, QStringLiteral("No current record."));
    return *protectedNow;
}

bool sameTarget(const QVariant &a, const QVariant &b)
{
    const bool noneA = a.isNull() || a.toLongLong() == 0;
    const bool noneB = b.isNull() || b.toLongLong() == 0;
    return noneA == noneB && (noneA || a.toLongLong() == b.toLongLong());
}
} // namespace

QString DispositionSheet::invalidReasonMessage()
{
    return QStringLiteral("You cannot use this value if there are rejects.  Please select another.");
}

QString DispositionSheet::frameCaption() const
{
    const UnresolvedTicket *ticket = selected();
    if (!ticket)
        return QStringLiteral("Distributions For");
    return QStringLiteral("Distributions for ") + ticket->jobNumber + QStringLiteral(" - ") +
           ticket->jobDescription;
}

bool DispositionSheet::editable() const
{
    const UnresolvedTicket *ticket = selected();
    return ticket && !ticket->protectedRecord;
}

bool DispositionSheet::refresh(qint64 heldDistribution)
{
    const QList<Distribution> shown = m_rows;
    reloadDistributions();
    loadReceivingLines();
    if (selected())
        refreshSelectedTicket();
    return holdBackRow(m_rows, shown, &Distribution::id, heldDistribution);
}

void DispositionSheet::reloadDistributions()
{
    const UnresolvedTicket *ticket = selected();
    if (!ticket) {
        m_rows.clear();
        return;
    }
    QSqlQuery query = m_db.exec(
        QStringLiteral(
            "SELECT d.\"Distribution ID\", d.\"Job ID\", d.\"To Job ID\", d.\"Hold Ticket Number\", "
            "d.\"Reworked Quantity\", d.\"Rejects\", d.\"Reject Reason\", p.\"Date\", p.\"Shift\" "
            "FROM \"Hold Distribution\" d LEFT JOIN \"Production Table\" p ON p.\"Job ID\" = d.\"To Job ID\" "
            "WHERE d.\"Hold Ticket ID\" = :t ORDER BY d.\"Distribution ID\""),
        {{QStringLiteral("t"), ticket->ticketId}});
    // Read whole before anything shown is replaced: a read that fails leaves the rows as they were.
    QList<Distribution> rows;
    while (query.next()) {
        Distribution row;
        row.id = query.value(QStringLiteral("Distribution ID")).toLongLong();
        row.jobId = query.value(QStringLiteral("Job ID"));
        row.toJobId = query.value(QStringLiteral("To Job ID"));
        row.ticketNumber = query.value(QStringLiteral("Hold Ticket Number"));
        row.reworked = query.value(QStringLiteral("Reworked Quantity")).toLongLong();
        row.rejects = query.value(QStringLiteral("Rejects")).toLongLong();
        row.reason = query.value(QStringLiteral("Reject Reason")).toInt();
        if (!sameTarget(row.toJobId, {}) && !query.value(QStringLiteral("Date")).isNull()) {
            row.reworkedInto = shortDateText(dateFromSql(query.value(QStringLiteral("Date")))) +
                               QStringLiteral(", Shift ") + query.value(QStringLiteral("Shift")).toString();
        }
        rows.append(row);
    }
    m_rows = std::move(rows);
}

void DispositionSheet::loadReceivingLines()
{
    m_targets.clear();
    const UnresolvedTicket *ticket = selected();
    if (!ticket)
        return;
    // Parts are reworked into an open line of the same job, on the ticket's date-shift or later.
    QSqlQuery query = m_db.exec(
        QStringLiteral(
            "SELECT \"Date\", \"Shift\", \"Job ID\", \"Machine Number\", \"Job Number\", \"Job Description\" "
            "FROM \"Production Table\" WHERE \"Protected Record\" = 0 AND \"Job Number\" = :jn AND "
            "(\"Date\" > :dt OR (\"Date\" = :dt AND \"Shift\" >= :sh)) "
            "ORDER BY \"Date\", \"Shift\", \"Machine Number\""),
        {{QStringLiteral("jn"), ticket->jobNumber},
         {QStringLiteral("dt"), sqlDate(ticket->date)},
         {QStringLiteral("sh"), ticket->shift}});
    while (query.next()) {
        m_targets.append({query.value(QStringLiteral("Job ID")).toLongLong(),
                          dateFromSql(query.value(QStringLiteral("Date"))),
                          query.value(QStringLiteral("Shift")).toInt(),
                          query.value(QStringLiteral("Machine Number")),
                          query.value(QStringLiteral("Job Number")).toString(),
                          query.value(QStringLiteral("Job Description")).toString()});
    }
}

void DispositionSheet::rereadAfterWrite()
{
    // What was written is committed; should the re-read fail (the file busy a moment), the rows
    // show as they were until the next change.
    try {
        reloadDistributions();
        refreshSelectedTicket();
    } catch (const KelvaraError &) {
    }
}

bool DispositionSheet::ticketLineProtected() const
{
    return ProtectedLine::closed(m_db, selected()->jobId);
}

QString DispositionSheet::receivingLineProtectedMessage()
{
    return QStringLiteral("The line that receives this row's rework has been protected: the row can no "
                          "longer be changed.");
}

EntryResult DispositionSheet::addDistribution(const QDateTime &now, int *row)
{
    if (!editable())
        return EntryResult::refused({});
    qint64 id = 0;
    try {
        Transaction transaction(m_db);
        if (ticketLineProtected()) {
            m_tickets[m_selected].protectedRecord = true;
            return EntryResult::protectedLine();
        }
        id = m_db.lastInsertId(m_db.exec(
            QStringLiteral(
                "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"Reworked Quantity\", \"Rejects\", "
                "\"Reject Reason\", \"Printed\", \"When Added\") VALUES (:t, 0, 0, 0, 0, :when)"),
            {{QStringLiteral("t"), selected()->ticketId},
             {QStringLiteral("when"), now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}}));
        transaction.commit();
    } catch (const KelvaraError &error) {
        return EntryResult::failed(error);
    }
    m_changed = true;
    rereadAfterWrite();
    if (row)
        *row = rowOfDistribution(id);
    return EntryResult::ok();
}

int DispositionSheet::rowOfDistribution(qint64 id) const
{
    for (int row = 0; row < distributionCount(); ++row) {
        if (m_rows[row].id == id)
            return row;
    }
    return -1;
}

QList<qint64> DispositionSheet::distributionIds() const
{
    QList<qint64> ids;
    for (const Distribution &row : m_rows)
        ids << row.id;
    return ids;
}

std::optional<DispositionSheet::Booking> DispositionSheet::readBooking(qint64 id) const
{
    QSqlQuery query = m_db.exec(
        QStringLiteral("SELECT \"Reworked Quantity\", \"Rejects\", \"Reject Reason\", \"To Job ID\" "
                       "FROM \"Hold Distribution\" WHERE \"Distribution ID\" = :id"),
        {{QStringLiteral("id"), id}});
    if (!query.next())
        return std::nullopt;
    return Booking{query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toInt(),
                   query.value(3)};
}

EntryResult DispositionSheet::change(int row, const std::function<EntryResult(Booking &)> &apply)
{
    if (!editable() || row < 0 || row >= distributionCount())
        return EntryResult::protectedLine();
    const Distribution &shown = m_rows[row];
    const Booking read{shown.reworked, shown.rejects, shown.reason, shown.toJobId};
    // The row as shown, each value as it was read (a null as 0, no receiving line as 0).
    SharedRow stored(QStringLiteral("\"Hold Distribution\""), QStringLiteral("\"Distribution ID\""),
                     shown.id);
    const QVariant zero = qint64(0);
    stored.expect(QStringLiteral("\"Reworked Quantity\""), read.reworked, zero)
        .expect(QStringLiteral("\"Rejects\""), read.rejects, zero)
        .expect(QStringLiteral("\"Reject Reason\""), read.reason, zero)
        .expect(QStringLiteral("\"To Job ID\""), read.toJobId.toLongLong(), zero);
    try {
        Transaction transaction(m_db);
        if (ticketLineProtected()) {
            m_tickets[m_selected].protectedRecord = true;
            return EntryResult::protectedLine();
        }
        if (!stored.holds(m_db)) {
            transaction.commit();
            rereadAfterWrite();
            return EntryResult::stale();
        }
        // Rework booked into a line protected since can never be changed again: said plainly,
        // rather than as a failure to try again.
        if (!sameTarget(read.toJobId, {}) && ProtectedLine::closed(m_db, read.toJobId.toLongLong()))
            return EntryResult::refused(receivingLineProtectedMessage());
        Booking next = read;
        const EntryResult result = apply(next);
        if (!result.stored)
            return result;
        stored.set(QStringLiteral("\"Reworked Quantity\""), next.reworked)
            .set(QStringLiteral("\"Rejects\""), next.rejects)
            .set(QStringLiteral("\"Reject Reason\""), next.reason)
            .set(QStringLiteral("\"To Job ID\""), next.toJobId)
            .set(QStringLiteral("\"Printed\""), 0)
            .write(m_db);
        moveRejects(read, next);
        recalcHoldRemaining();
        transaction.commit();
    } catch (const CountRangeError &error) {
        return EntryResult::refused(error.description());
    } catch (const KelvaraError &error) {
        return EntryResult::failed(error);
    }
    m_changed = true;
    rereadAfterWrite();
    return EntryResult::ok();
}

void DispositionSheet::moveRejects(const Booking &from, const Booking &to)
{
    // Relative to what the line holds now, so bookings made on other workstations stay.
    const qint64 jobId = selected()->jobId;
    auto add = [&](int reason, qint64 delta) {
        if (reason <= 0 || reason > RejectReasons::kCount || delta == 0)
            return;
        const qint64 total = m_db.scalar(QStringLiteral("SELECT COALESCE(%1, 0) FROM \"Production Table\" "
                                                        "WHERE \"Job ID\" = :j")
                                             .arg(RejectReasons::column(reason)),
                                         {{QStringLiteral("j"), jobId}})
                                 .toLongLong() +
                             delta;
        CountRange::check(total,
                          QStringLiteral("the line's %1 rejects").arg(RejectReasons::names().at(reason)));
        m_db.exec(QStringLiteral("UPDATE \"Production Table\" SET %1 = :t WHERE \"Job ID\" = :j")
                      .arg(RejectReasons::column(reason)),
                  {{QStringLiteral("t"), total}, {QStringLiteral("j"), jobId}});
    };
    if (from.reason == to.reason) {
        add(to.reason, to.rejects - from.rejects);
        return;
    }
    add(from.reason, -from.rejects);
    add(to.reason, to.rejects);
}

void DispositionSheet::recalcHoldRemaining()
{
    const UnresolvedTicket &ticket = m_tickets[m_selected];
    const qint64 quantity = m_db.scalar(QStringLiteral("SELECT \"Hold Quantity\" FROM \"Hold Table\" "
                                                       "WHERE \"Hold Ticket ID\" = :t"),
                                        {{QStringLiteral("t"), ticket.ticketId}})
                                .toLongLong();
    QSqlQuery summary = m_db.execSaved(QStringLiteral("Hold Distribution Summary"),
                                       {{QStringLiteral("JID"), ticket.jobId},
                                        {QStringLiteral("HTN"), ticket.ticketNumber},
                                        {QStringLiteral("HTID"), ticket.ticketId}});
    qint64 total = 0;
    if (summary.next()) {
        total = summary.value(QStringLiteral("TotRework")).toLongLong() +
                summary.value(QStringLiteral("TotRejects")).toLongLong();
    }
    summary.finish();
    CountRange::check(quantity - total, QStringLiteral("the ticket's Hold Remaining"));
    m_db.exec(
        QStringLiteral("UPDATE \"Hold Table\" SET \"Hold Remaining\" = :r WHERE \"Hold Ticket ID\" = :t"),
        {{QStringLiteral("r"), quantity - total}, {QStringLiteral("t"), ticket.ticketId}});
}

void DispositionSheet::refreshSelectedTicket()
{
    UnresolvedTicket &ticket = m_tickets[m_selected];
    QSqlQuery query = m_db.exec(
        QStringLiteral(
            "SELECT h.\"Hold Quantity\", h.\"Hold Remaining\", p.* FROM \"Hold Table\" h "
            "JOIN \"Production Table\" p ON p.\"Job ID\" = h.\"Job ID\" WHERE h.\"Hold Ticket ID\" = :t"),
        {{QStringLiteral("t"), ticket.ticketId}});
    if (!query.next())
        return;
    ticket.quantity = query.value(QStringLiteral("Hold Quantity")).toLongLong();
    ticket.remaining = query.value(QStringLiteral("Hold Remaining")).toLongLong();
    ticket.protectedRecord = query.value(QStringLiteral("Protected Record")).toInt() != 0;
    ticket.reasons = RejectReasons::read(query);
}

EntryResult DispositionSheet::setReceivingLine(int row, const QVariant &jobId)
{
    const bool none = jobId.isNull() || jobId.toLongLong() == 0;
    if (!none) {
        bool offered = false;
        for (const ReceivingLine &line : m_targets)
            offered = offered || line.jobId == jobId.toLongLong();
        if (!offered)
            return EntryResult::refused(
                QStringLiteral("Parts can be reworked only into an unprotected line of "
                               "the same job on the ticket's date-shift or later."));
    }
    return change(row, [&](Booking &booking) {
        if (!none && receivingLineProtected(m_db, jobId.toLongLong())) {
            return EntryResult::refused(QStringLiteral("The receiving line has been protected meanwhile; "
                                                       "please choose another."));
        }
        booking.toJobId = none ? QVariant(QMetaType::fromType<qint64>()) : QVariant(jobId.toLongLong());
        return EntryResult::ok();
    });
}

EntryResult DispositionSheet::setReworked(int row, const QString &typed)
{
    const QuantityEntry::Quantity count = QuantityEntry::quantity(typed);
    if (!count.value)
        return EntryResult::refused(count.message);
    return change(row, [&](Booking &booking) {
        booking.reworked = *count.value;
        return EntryResult::ok();
    });
}

EntryResult DispositionSheet::setRejects(int row, const QString &typed)
{
    const QuantityEntry::Quantity count = QuantityEntry::quantity(typed);
    if (!count.value)
        return EntryResult::refused(count.message);
    return change(row, [&](Booking &booking) {
        booking.rejects = *count.value;
        // Rejects need a reason: without one they are booked as "Other".
        if (booking.rejects != 0 && booking.reason == 0)
            booking.reason = 10;
        return EntryResult::ok();
    });
}

EntryResult DispositionSheet::setReason(int row, int reason)
{
    if (reason < 0 || reason > RejectReasons::kCount)
        return EntryResult::refused({});
    if (row >= 0 && row < distributionCount() && reason == 0 && m_rows[row].rejects != 0) {
        EntryResult invalid =
            EntryResult::box(invalidReasonMessage(), QStringLiteral("Invalid Reason"), MsgIcon::Critical);
        return invalid;
    }
    return change(row, [&](Booking &booking) {
        booking.reason = reason;
        return EntryResult::ok();
    });
}

EntryResult DispositionSheet::deleteDistribution(int row)
{
    if (!editable())
        return EntryResult::refused({});
    if (row < 0 || row >= distributionCount()) {
        EntryResult none =
            EntryResult::box(QStringLiteral("There are no hold distributions to delete.  Please add one or "
                                            "more before attempting to delete."),
                             QStringLiteral("Delete Error"), MsgIcon::Information);
        return none;
    }
    const qint64 id = m_rows[row].id;
    try {
        Transaction transaction(m_db);
        if (ticketLineProtected()) {
            m_tickets[m_selected].protectedRecord = true;
            return EntryResult::protectedLine();
        }
        // What the row booked as it is stored now is taken back, once.
        if (const std::optional<Booking> stored = readBooking(id)) {
            moveRejects(*stored, Booking{0, 0, stored->reason, {}});
            m_db.exec(QStringLiteral("DELETE FROM \"Hold Distribution\" WHERE \"Distribution ID\" = :id"),
                      {{QStringLiteral("id"), id}});
            recalcHoldRemaining();
        }
        transaction.commit();
    } catch (const KelvaraError &error) {
        EntryResult refusal = EntryResult::deleteRefused(error);
        rereadAfterWrite();
        return refusal;
    }
    m_changed = true;
    rereadAfterWrite();
    return EntryResult::ok();
}

void DispositionSheet::finish()
{
    if (m_changed)
        m_db.execSaved(QStringLiteral("Update Disposal Status"));
}
