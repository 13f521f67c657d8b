#include "MissingHoldTickets.h"

#include "foundation/Database.h"
#include "foundation/Prompter.h"

#include <QLocale>
#include <QSqlError>

namespace {
const QString kHoles = QStringLiteral("Holes Report");

// Calls add(n) for every missing number of the ascending ticket numbers.
template <class Add> void forEachMissing(const QVector<qint64> &ascending, Add &&add)
{
    for (int i = 1; i < ascending.size(); ++i) {
        for (qint64 n = ascending[i - 1] + 1; n < ascending[i]; ++n)
            add(n);
    }
}

QString shortDate(const QDate &date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}
} // namespace

MissingHoldTickets::MissingHoldTickets(Database &production, QString reportDatabasePath, Prompter &prompter)
    : m_db(production), m_reportDatabasePath(std::move(reportDatabasePath)), m_prompter(prompter)
{
}

qint64 MissingHoldTickets::missingCount(const QVector<qint64> &ascending)
{
    qint64 missing = 0;
    for (int i = 1; i < ascending.size(); ++i)
        missing += std::max<qint64>(0, ascending[i] - ascending[i - 1] - 1);
    return missing;
}

QVector<qint64> MissingHoldTickets::missingNumbers(const QVector<qint64> &ascending)
{
    QVector<qint64> numbers;
    forEachMissing(ascending, [&](qint64 n) { numbers.append(n); });
    return numbers;
}

QString MissingHoldTickets::rangeQuestion(const Ticket &first, const Ticket &last)
{
    return QStringLiteral(
               "The range of Hold Tickets in question is from %1, which was written on %2, Shift %3 "
               "to %4, which was written on %5, Shift %6.  Do you want to continue?")
        .arg(first.number)
        .arg(shortDate(first.date))
        .arg(first.shift)
        .arg(last.number)
        .arg(shortDate(last.date))
        .arg(last.shift);
}

// The numbered tickets of the range, ascending and without repeats. A ticket entered without a
// number has no place in the sequence and is passed over.
QVector<qint64> MissingHoldTickets::readTickets(const QDate &start, const QDate &end, Ticket &first,
                                                Ticket &last) const
{
    // the query's own parameter names: HighDt takes the start of the range, LowDt its end
    QSqlQuery query =
        m_db.execSaved(QStringLiteral("zz Stage Holes In Holds Report Query"),
                       {{QStringLiteral("HighDt"), sqlDate(start)}, {QStringLiteral("LowDt"), sqlDate(end)}});
    QVector<qint64> numbers;
    QVariant lastDate, lastShift; // kept as read: only the two ends are turned into dates
    while (query.next()) {
        const QVariant number = query.value(0);
        if (number.isNull())
            continue;
        const qint64 n = number.toLongLong();
        if (numbers.isEmpty())
            first = {n, dateFromSql(query.value(1)), query.value(2).toInt()};
        last.number = n;
        lastDate = query.value(1);
        lastShift = query.value(2);
        if (numbers.isEmpty() || numbers.back() != n)
            numbers.append(n);
    }
    last.date = dateFromSql(lastDate);
    last.shift = lastShift.toInt();
    return numbers;
}

bool MissingHoldTickets::confirmLargeRange(qint64 missing, qint64 low, qint64 high)
{
    const QString text =
        QStringLiteral("%1 hold ticket numbers are missing between %2 and %3.  A ticket number typed wrong "
                       "can cause such a gap.")
            .arg(QLocale().toString(missing))
            .arg(low)
            .arg(high);
    if (m_unattended) {
        m_prompter.tell(text + QStringLiteral("  The report was not made; check the ticket numbers."),
                        QStringLiteral("Missing Hold Tickets"), MsgIcon::Exclamation);
        return false;
    }
    return m_prompter.ask({text + QStringLiteral("  Do you want to list them all?"),
                           QStringLiteral("Missing Hold Tickets"), MsgIcon::Exclamation,
                           MsgButtons::YesNo}) == MsgAnswer::Yes;
}

// Empties (or makes) "Holes Report" and writes the gaps, all in one transaction: the table is
// never left half filled.
void MissingHoldTickets::writeHoles(const QVector<qint64> &ascending)
{
    Database reports = Database::open(m_reportDatabasePath);
    Transaction transaction(reports);
    reports.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"Holes Report\" (\"Hold Ticket Number\" INTEGER NOT "
                       "NULL, CONSTRAINT \"Primary Key\" PRIMARY KEY (\"Hold Ticket Number\"))"));
    reports.exec(QStringLiteral("DELETE FROM \"Holes Report\""));
    QSqlQuery insert(reports.connection());
    insert.prepare(QStringLiteral("INSERT INTO \"Holes Report\" (\"Hold Ticket Number\") VALUES (?)"));
    forEachMissing(ascending, [&](qint64 n) {
        insert.bindValue(0, n);
        if (!insert.exec())
            throw Database::mapError(insert.lastError(), kHoles);
    });
    transaction.commit();
}

bool MissingHoldTickets::run(const QDate &start, const QDate &end)
{
    Ticket first, last;
    const QVector<qint64> numbers = readTickets(start, end, first, last);
    if (numbers.isEmpty()) {
        m_prompter.tell(QStringLiteral("There were no records found to report on."), programTitle());
        return false;
    }
    if (!m_unattended && m_prompter.ask({rangeQuestion(first, last), QStringLiteral("Ticket Range"),
                                         MsgIcon::Question, MsgButtons::YesNo}) != MsgAnswer::Yes)
        return false;
    const qint64 missing = missingCount(numbers);
    if (missing > kAskAbove && !confirmLargeRange(missing, numbers.front(), numbers.back()))
        return false;
    writeHoles(numbers);
    return true;
}
