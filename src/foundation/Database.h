#pragma once

#include "DatabaseError.h"
#include "SqlDialect.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>
#include <memory>

class ServerStatements;
class StatementCache;
namespace HistoryChain {
class Writer;
}

// One connection to a production (or report) database: a SQLite file, or a database on a
// PostgreSQL server when the name is a postgresql:// URI. Each window opens its own at load and
// closes it at unload. Every value a user typed is bound as a parameter. Statements are
// compiled once per connection and used again (see StatementCache), and a saved query's text is
// read once per connection. What is particular to the engine is the dialect's.
class Database
{
public:
    // Salvage: read-only, and the schema is taken as it stands even where it points past the end
    // of a file that was cut short, so that the repair can read what the file still holds.
    enum Mode { ReadWrite, ReadOnly, Salvage };

    // Opens an existing file or server database; throws DatabaseError with the numbers above.
    static Database open(const QString &path, Mode mode = ReadWrite);
    // Creates a new, empty file (an existing file is an error); no schema. On a server the
    // database is created when it is not there yet; one that holds tables already is an error.
    static Database createFile(const QString &path);
    // The server database at the URI made bare when it is not there (a restore fills it from an
    // archive that holds the program's functions already).
    static void createServerDatabase(const QString &uri);
    // Whether the file or the server database is there.
    static bool exists(const QString &path);
    // An existing database that holds no tables, given what createFile gives a new one.
    static Database openEmpty(const QString &path);
    // The file removed, or the server database dropped (its connections ended); nothing when it
    // is not there.
    static void remove(const QString &path);

    Database(Database &&other) noexcept;
    Database &operator=(Database &&other) noexcept;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database();

    void close();
    bool isOpen() const;
    QString path() const { return m_path; }
    QSqlDatabase connection() const;
    // The SQLite handle, for the online backup API.
    void *sqliteHandle() const;
    // The server connection's libpq handle (PGconn *), for COPY; null on a file.
    void *serverHandle() const;

    // Runs sql with params bound by name (":name"; blanks and other non-word characters in the
    // map's names are dropped, so "This Date" binds ":ThisDate"). The rows stay readable while the
    // query is held; let it go (or read to the end) so that the connection holds no read lock.
    QSqlQuery exec(const QString &sql, const QVariantMap &params = {}) const;
    // Runs an INSERT and returns the id of the row it made.
    qint64 insert(const QString &sql, const QVariantMap &params = {}) const;
    // A single value: the first column of the first row; throws NoCurrentRecord when no row.
    QVariant scalar(const QString &sql, const QVariantMap &params = {}) const;
    // Runs a saved query by its name with named parameters.
    QSqlQuery execSaved(const QString &name, const QVariantMap &params = {}) const;
    // The saved query's text, without a closing semicolon.
    QString savedQuerySql(const QString &name) const;
    qint64 lastInsertId(const QSqlQuery &query) const;
    // Forgets the saved queries' text read so far (after the saved queries were rewritten).
    void forgetSavedQueries() { m_savedSql.clear(); }

    const SqlDialect &dialect() const { return m_dialect; }
    // What brings a server database set up by an earlier version up to this one's functions and
    // triggers: the administrator's "kelvara --setup-server '<address>'" (the address without this
    // login's name); empty for a file, which the program brings up to date itself.
    QString setupCommand() const;
    // "ok" when the engine finds the file sound, else the first problem it reports.
    QString integrityCheck() const;
    void setForeignKeys(bool on);

    void beginTransaction();
    void commit();
    void rollback();

    // Maps a QtSql error of a SQLite file's connection to the engine numbers above.
    static DatabaseError mapError(const QSqlError &error, const QString &context = {});

private:
    Database(QString connectionName, QString path, SqlDialect dialect = SqlDialect());
    // Adds and opens this object's connection to its file; throws the mapped error.
    void openConnection(bool readOnly, bool salvage = false);
    void openServerConnection(bool readOnly);
    static Database openServer(const QString &uri, Mode mode, bool create);

    QString m_connectionName;
    QString m_path;
    SqlDialect m_dialect;
    std::shared_ptr<StatementCache> m_statements;
    HistoryChain::Writer *m_historyWriter = nullptr; // the connection's own, deleted as it closes
    std::shared_ptr<ServerStatements> m_server;
    mutable QHash<QString, QString> m_savedSql;
};

// Rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(Database &db) : m_db(db) { m_db.beginTransaction(); }
    ~Transaction()
    {
        if (!m_done) {
            try {
                m_db.rollback();
            } catch (...) {
            }
        }
    }
    void commit()
    {
        m_db.commit();
        m_done = true;
    }

private:
    Database &m_db;
    bool m_done = false;
};

// Dates are stored as ISO text; yes/no as 1/0.
QString sqlDate(const QDate &date);
QDate dateFromSql(const QVariant &value);
