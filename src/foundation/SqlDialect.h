#pragma once

#include "DatabaseError.h"

#include <QString>
#include <QStringList>

// What differs between database engines, kept in one place so that another engine is another
// dialect: the Qt driver and its connect options, the statements run on every new connection,
// how a write transaction starts, how the engine's errors map to the numbers callers test, and
// the checks the maintenance tasks run. There are two: SQLite's, for a file shared between
// workstations over the network (it keeps the rollback journal and waits a few seconds for a lock
// held by another workstation), and PostgreSQL's, for a plant on a database server. The program's
// SQL is one text both engines read ("double-quoted" names, IS [NOT] DISTINCT FROM, ON CONFLICT);
// what the engines name differently (the day of the week) is the dialect's.
class SqlDialect
{
public:
    enum class Engine { File, Server };
    explicit SqlDialect(Engine engine = Engine::File) : m_engine(engine) {}
    // A DatabaseName that names a database on a PostgreSQL server (postgresql://...), not a file.
    static bool isServerName(const QString &databaseName);
    static SqlDialect forName(const QString &databaseName);

    Engine engine() const { return m_engine; }
    bool isServer() const { return m_engine == Engine::Server; }
    QString driverName() const;
    QString connectOptions(bool readOnly) const;
    // Run on each new connection, in order; the last reads the schema, so that a file that is not
    // a database fails at the open.
    QStringList connectStatements(bool readOnly) const;

    // Reads a schema that points past the end of a file cut short.
    QString salvageSchema() const;
    // A transaction that takes the write lock at its start: two workstations that read, then
    // write, cannot both read the same state.
    QStringList beginWrite() const;
    QString commit() const;
    QString rollback() const;
    // Foreign keys off (for copying rows in any order) or on again.
    QString foreignKeys(bool on) const;
    // One row with the text "ok" when the file is sound.
    QString integrityCheck() const;
    // The day of the week, Sunday 0, of an ISO date (an expression), as an integer.
    QString weekday(const QString &isoDate) const;

    // The engine's error code (as the driver reports it) and text, mapped to DbErrors with a
    // description in the plant's words; the statement (context) and the engine's text go to the
    // error's detail, for the error log.
    DatabaseError mapError(int nativeCode, const QString &text, const QString &context = {}) const;
    // The same for the server, whose errors carry their SQLSTATE as text ("23505").
    DatabaseError mapServerError(const QString &sqlState, const QString &text,
                                 const QString &context = {}) const;
    // The statement that reads the key a row just inserted on this connection was given.
    QString newRowId() const;

private:
    DatabaseError userError(int nativeCode, const QString &engineText) const;
    DatabaseError serverError(const QString &sqlState, const QString &engineText) const;

    Engine m_engine;
};
