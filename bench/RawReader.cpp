#include "RawReader.h"

#include "foundation/HistoryChain.h"
#include "production/record/JobLines.h"

#include <sqlite3.h>
#include <stdexcept>

RawReader::RawReader(const QString &path)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open the database");
    sqlite3_busy_timeout(m_db, 5000);
    // The history triggers call the program's functions (the raw figures include their work).
    HistoryChain::registerFunctions(m_db, {QStringLiteral("bench"), QString(), HistoryChain::programName()});
    run("PRAGMA journal_mode=DELETE");
    run("PRAGMA foreign_keys=ON");
}

RawReader::~RawReader()
{
    for (sqlite3_stmt *stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

sqlite3_stmt *RawReader::statement(const QByteArray &sql)
{
    sqlite3_stmt *&stmt = m_statements[sql];
    if (!stmt && sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(m_db));
    sqlite3_reset(stmt);
    return stmt;
}

void RawReader::run(const QByteArray &sql)
{
    readAll(statement(sql));
}

QByteArray RawReader::savedQuery(const char *name)
{
    sqlite3_stmt *stmt = statement("SELECT \"SQL Text\" FROM \"Saved Queries\" WHERE \"Query Name\" = ?1");
    sqlite3_bind_text(stmt, 1, name, -1, SQLITE_STATIC);
    QByteArray sql;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        sql = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    sqlite3_reset(stmt);
    return sql;
}

void RawReader::bindText(sqlite3_stmt *stmt, const char *name, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, sqlite3_bind_parameter_index(stmt, name), utf8.constData(), int(utf8.size()),
                      SQLITE_TRANSIENT);
}

void RawReader::bindInt(sqlite3_stmt *stmt, const char *name, qint64 value)
{
    sqlite3_bind_int64(stmt, sqlite3_bind_parameter_index(stmt, name), value);
}

qint64 RawReader::readAll(sqlite3_stmt *stmt)
{
    qint64 sum = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                sum += sqlite3_column_bytes(stmt, c) + (sqlite3_column_text(stmt, c) != nullptr);
            else
                sum += sqlite3_column_int64(stmt, c);
        }
    }
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(m_db));
    sqlite3_reset(stmt);
    return sum;
}

qint64 RawReader::lines(const DateShift &dateShift)
{
    sqlite3_stmt *stmt = statement(
        "SELECT \"Job ID\", \"Date\", \"Shift\", \"Machine Number\", \"Job Number\", \"Job Description\", "
        "\"Beginning Count\", "
        "\"Ending Count\", \"Matec Count\", \"From Rework\", \"Protected Record\" FROM \"Production Table\" "
        "WHERE \"Date\" = :dt AND \"Shift\" = :sh ORDER BY \"Machine Number\", \"Job ID\"");
    bindText(stmt, ":dt", dateShift.sqlDate());
    bindInt(stmt, ":sh", dateShift.shift);
    return readAll(stmt);
}

qint64 RawReader::summaries(const DateShift &dateShift)
{
    static const QByteArray jobIds = savedQuery("JobIDs");
    static const QByteArray queries[] = {savedQuery("Transfer Summary"), savedQuery("Hold Summary"),
                                         savedQuery("From Rework Summary")};
    sqlite3_stmt *ids = statement(jobIds);
    bindText(ids, ":dt", dateShift.sqlDate());
    bindInt(ids, ":sh", dateShift.shift);
    qint64 first = 0, last = 0;
    if (sqlite3_step(ids) == SQLITE_ROW) {
        first = sqlite3_column_int64(ids, 0);
        last = sqlite3_column_int64(ids, 1);
    }
    sqlite3_reset(ids);
    qint64 sum = 0;
    for (const QByteArray &sql : queries) {
        sqlite3_stmt *stmt = statement(sql);
        bindInt(stmt, ":FirstJID", first);
        bindInt(stmt, ":LastJID", last);
        sum += readAll(stmt);
    }
    return sum;
}

qint64 RawReader::activeJobs()
{
    return readAll(statement("SELECT \"Job Number\", \"Job Description\" FROM \"Job Lookup Table\" "
                             "WHERE \"Active\" <> 0 ORDER BY \"Job Number\""));
}

qint64 RawReader::previousShift(const DateShift &dateShift)
{
    sqlite3_stmt *date =
        statement(dateShift.shift <= 1 ? "SELECT \"Date\" FROM \"Production Table\" WHERE \"Date\" < :dt "
                                         "ORDER BY \"Date\" DESC LIMIT 1"
                                       : "SELECT \"Date\" FROM \"Production Table\" WHERE \"Date\" <= :dt "
                                         "ORDER BY \"Date\" DESC LIMIT 1");
    bindText(date, ":dt", dateShift.sqlDate());
    const qint64 sum = readAll(date);
    sqlite3_stmt *shift = statement("SELECT \"Shift\" FROM \"Production Table\" WHERE \"Date\" = :dt "
                                    "ORDER BY \"Shift\" DESC LIMIT 1");
    bindText(shift, ":dt", dateShift.sqlDate());
    return sum + readAll(shift);
}

qint64 RawReader::nextShift(const DateShift &dateShift)
{
    sqlite3_stmt *stmt = statement(
        dateShift.shift < 3 ? "SELECT \"Date\", \"Shift\" FROM \"Production Table\" WHERE \"Date\" = :dt "
                              "AND \"Shift\" > :sh ORDER BY \"Shift\" LIMIT 1"
                            : "SELECT \"Date\", \"Shift\" FROM \"Production Table\" WHERE \"Date\" > :dt "
                              "AND \"Shift\" = 1 ORDER BY \"Date\" LIMIT 1");
    bindText(stmt, ":dt", dateShift.sqlDate());
    if (dateShift.shift < 3)
        bindInt(stmt, ":sh", dateShift.shift);
    return readAll(stmt);
}

void RawReader::postToNextShift(const DateShift &from, const DateShift &to)
{
    static const QByteArray bringForward = savedQuery("Bring Forward Unmatched Line Items");
    run("BEGIN IMMEDIATE");
    // the same carry as the program's, so that the ratio is what the program adds around it
    static const QByteArray carrySql = JobLines::carrySql().toUtf8();
    sqlite3_stmt *carry = statement(carrySql);
    bindText(carry, ":dt", from.sqlDate());
    bindInt(carry, ":sh", from.shift);
    bindText(carry, ":nextDt", to.sqlDate());
    bindInt(carry, ":nextSh", to.shift);
    readAll(carry);
    sqlite3_stmt *copy = statement(bringForward);
    bindText(copy, ":ThisDate", from.sqlDate());
    bindInt(copy, ":ThisShift", from.shift);
    bindText(copy, ":NextDate", to.sqlDate());
    bindInt(copy, ":NextShift", to.shift);
    readAll(copy);
    run("COMMIT");
}
