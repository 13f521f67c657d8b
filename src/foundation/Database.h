#pragma once

#include "KelvaraError.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>

// Engine error numbers the callers test.
namespace DbErrors {
constexpr qint32 FileNotFound = 3024; // no database file at the path
constexpr qint32 Damaged = 3049;      // not a database, or a damaged one
constexpr qint32 ReadOnly = 3051;     // the file or its folder cannot be written
constexpr qint32 TableExists = 3010;
constexpr qint32 NoCurrentRecord = 3021;
constexpr qint32 Locked = 3261; // another user holds the file past the busy timeout
constexpr qint32 Other = 3000;
} // namespace DbErrors

class DatabaseError : public KelvaraError
{
public:
    using KelvaraError::KelvaraError;
};

// One connection to a SQLite production (or report) database file. Each window opens its own at
// load and closes it at unload. Every value a user typed is bound as a parameter.
class Database
{
public:
    // Salvage: read-only, and the schema is taken as it stands even where it points past the end
    // of a file that was cut short, so that the repair can read what the file still holds.
    enum Mode { ReadWrite, ReadOnly, Salvage };

    // Opens an existing file; throws DatabaseError with the numbers above.
    static Database open(const QString &path, Mode mode = ReadWrite);
    // Creates a new, empty file (an existing file is an error); no schema.
    static Database createFile(const QString &path);

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

    // Prepares sql, binds params by name (":name"; blanks and other non-word characters in the
    // map's names are dropped, so "This Date" binds ":ThisDate") and runs it.
    QSqlQuery exec(const QString &sql, const QVariantMap &params = {}) const;
    // A single value: the first column of the first row; throws NoCurrentRecord when no row.
    QVariant scalar(const QString &sql, const QVariantMap &params = {}) const;
    // Runs a saved query by its name with named parameters.
    QSqlQuery execSaved(const QString &name, const QVariantMap &params = {}) const;
    QString savedQuerySql(const QString &name) const;
    qint64 lastInsertId(const QSqlQuery &query) const;

    void beginTransaction();
    void commit();
    void rollback();

    // Maps a QtSql error to the engine numbers above.
    static DatabaseError mapError(const QSqlError &error, const QString &context = {});
    static QString placeholderName(const QString &name);

private:
    Database(QString connectionName, QString path);
    // Adds and opens this object's connection to its file; throws the mapped error.
    void openConnection(const QString &connectOptions);

    QString m_connectionName;
    QString m_path;
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
