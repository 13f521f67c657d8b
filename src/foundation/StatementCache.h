#pragma once

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <vector>

class QSqlDriver;

// The value params gives a statement's parameter name: the map's own, or one whose name matches
// once blanks and other non-word characters are dropped ("This Date" for :ThisDate).
QVariant parameterValue(const QVariantMap &params, const QString &name, bool *found);
#include "SqlDialect.h"
struct sqlite3;
struct sqlite3_stmt;

// The prepared statements of one connection, kept by their SQL text and used again: a statement
// is compiled, and its parameter names worked out, once per connection. A run hands out its rows
// as a QSqlQuery; while the caller holds that query, the statement is busy (the same text run
// again meanwhile gets a statement of its own), and when the caller lets it go the statement is
// reset (so it holds no lock on the file) and kept for the next run.
class StatementCache : public std::enable_shared_from_this<StatementCache>
{
public:
    struct Statement
    {
        QString sql;
        sqlite3_stmt *handle = nullptr;
        QStringList parameters; // the name of each parameter, without its ':'
        QSqlRecord record;      // the result's column names
    };

    StatementCache(sqlite3 *db, const QSqlDriver *driver, const SqlDialect &dialect);
    ~StatementCache();

    // Binds params by name (see Database::exec) and runs sql; throws DatabaseError.
    QSqlQuery run(const QString &sql, const QVariantMap &params);
    // Finalizes every statement; rows still held by a caller end. Runs before the connection
    // closes.
    void close();
    // A busy statement comes back, reset.
    void giveBack(Statement *statement);

private:
    Statement *checkOut(const QString &sql);
    Statement *prepare(const QString &sql);
    bool onlyComments(const QString &sql, const void *tail) const;
    void bind(Statement &statement, const QVariantMap &params);
    [[noreturn]] void fail(Statement *statement, int code);

    sqlite3 *m_db;
    const QSqlDriver *m_driver;
    SqlDialect m_dialect;
    std::vector<std::unique_ptr<Statement>> m_statements;
    QHash<QString, QList<Statement *>> m_idle;
    bool m_closed = false;
};
