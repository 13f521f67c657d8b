#pragma once

#include "DatabaseError.h"

#include <QString>
#include <QStringList>
#include <memory>

class BulkRows;
class Database;

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
    // a database fails at the open. None on a server, whose settings go with the connect options.
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
    // A connection to the server that failed: the driver gives no SQLSTATE then, only the client
    // library's text, which says whether the server was reached at all and what it refused.
    DatabaseError mapConnectError(const QString &text, const QString &address) const;
    // The statement that reads the key a row just inserted on this connection was given.
    QString newRowId() const;

    // One of two things made for each engine (trigger texts, how they are checked): this engine's.
    template <class T> const T &forEngine(const T &file, const T &server) const
    {
        return isServer() ? server : file;
    }
    // "file" or "server", as the copy's report names a side.
    QString engineWord() const;
    // Statements that make a new database ready for the tables (the server's case-blind text).
    QStringList schemaPreamble() const;
    // A column's definition, written in the file's words ("INTEGER PRIMARY KEY AUTOINCREMENT"),
    // in this engine's.
    QString columnDefinition(const QString &fileDefinition) const;
    // One row: the number of tables of the database's own schema; tableNamed: of those named :name.
    QString tableCount() const;
    QString tableNamed() const;
    // One row: the last key the counter of table :t (key column :c) handed out, when it has one.
    QString lastKey() const;
    // Sets that counter to :n, so that the next key is :n + 1 (1 when :n is 0).
    QStringList setLastKey() const;
    // Begins a read-only transaction that sees one moment however long it runs.
    QStringList beginSnapshot() const;
    // Whether a local database file can be attached to the connection (a workstation's report
    // database is read and written beside the production tables by one statement).
    bool attachesFiles() const;
    // Whether other connections hear of a commit from the database itself (the server's NOTIFY,
    // sent by the tables' triggers); a file's find out by polling its version (ChangeWatch).
    bool announcesChanges() const;
    // Whether the database can hold the security levels' login roles (a server's).
    bool hasLoginRoles() const;
    // A saved query's text copied from the other engine's database, in this engine's words.
    QString savedQueryFromOtherEngine(const QString &text) const;
    // What writes many rows to a table of db (this dialect's) fastest: a file's batched INSERTs, a
    // server's COPY. binary marks the BLOB columns.
    std::unique_ptr<BulkRows> bulkRows(Database &db, const QString &table, const QStringList &columns,
                                       const QList<bool> &binary) const;

private:
    DatabaseError userError(int nativeCode, const QString &engineText) const;
    DatabaseError serverError(const QString &sqlState, const QString &engineText) const;

    Engine m_engine;
};
