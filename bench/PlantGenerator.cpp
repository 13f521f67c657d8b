#include "PlantGenerator.h"

#include "foundation/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <random>

namespace {
// Prepared once, run many times: the generator writes hundreds of thousands of rows.
QSqlQuery prepare(const Database &db, const QString &sql)
{
    QSqlQuery query(db.connection());
    if (!query.prepare(sql))
        throw Database::mapError(query.lastError(), sql);
    return query;
}

void run(QSqlQuery &query, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec())
        throw Database::mapError(query.lastError());
}
} // namespace

qint64 PlantGenerator::fill(Database &db, const PlantSize &size, const QDate &lastDate)
{
    std::mt19937 random(7);
    auto between = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };

    Transaction transaction(db);
    QSqlQuery job = prepare(db, QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES (?, ?, 1, NULL)"));
    for (int j = 0; j < size.jobs; ++j)
        run(job, {QStringLiteral("J-%1").arg(j, 5, 10, QLatin1Char('0')), QStringLiteral("Part %1").arg(j)});

    QSqlQuery line = prepare(
        db, QStringLiteral(
                "INSERT INTO \"Production Table\" (\"Date\", \"Shift\", \"Machine Number\", \"Job Number\", "
                "\"Job Description\", "
                "\"Beginning Count\", \"Ending Count\", \"Matec Count\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery transfer =
        prepare(db, QStringLiteral("INSERT INTO \"Transfer Table\" (\"Job ID\", \"Transfer Number\""
                                   ", \"Transfer Quantity\") VALUES (?, ?, ?)"));
    QSqlQuery hold = prepare(db, QStringLiteral("INSERT INTO \"Hold Table\" (\"Job ID\", \"Hold Ticket "
                                                "Number\", \"Hold Quantity\", \"Hold Remaining\", "
                                                "\"Disposed of\") VALUES (?, ?, ?, 0, 1)"));
    QSqlQuery distribution =
        prepare(db, QStringLiteral(
                        "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"To Job ID\", \"Reworked "
                        "Quantity\", \"Rejects\", "
                        "\"Reject Reason\", \"When Added\") VALUES (?, ?, ?, ?, 3, '2020-01-01 08:00:00')"));

    std::vector<qint64> counters(size_t(size.machines), 100000);
    qint64 lines = 0, transferNumber = 1, holdNumber = 1;
    const QDate first = lastDate.addYears(-size.years).addDays(1);
    for (QDate date = first; date <= lastDate; date = date.addDays(1)) {
        const QString day = sqlDate(date);
        for (int shift = 1; shift <= 3; ++shift) {
            for (int m = 0; m < size.machines; ++m) {
                const QString jobNumber = QStringLiteral("J-%1").arg(
                    (m * 7 + date.dayOfYear() / 10) % size.jobs, 5, 10, QLatin1Char('0'));
                const qint64 beginning = counters[size_t(m)];
                const qint64 ending = beginning + between(500, 3000);
                counters[size_t(m)] = ending;
                run(line, {day, shift, m + 1, jobNumber, QStringLiteral("Part"), beginning, ending,
                           ending - beginning});
                const qint64 id = line.lastInsertId().toLongLong();
                ++lines;
                run(transfer, {id, transferNumber++, between(10, 200)});
                if (between(0, 9) == 0) {
                    run(hold, {id, holdNumber++, 100});
                    run(distribution, {hold.lastInsertId(), id, 60, 40});
                }
            }
        }
    }
    transaction.commit();
    return lines;
}
