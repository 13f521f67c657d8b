#pragma once

#include "SqlDialect.h"

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

// Runs the program's statements on a PostgreSQL connection as they are written (one text both
// engines read), each text's parameter names found once per connection. A statement with parameters is
// prepared once per connection and kept by its text for the next run; its values are bound by name (see
// Database::exec). One without runs as it stands, since the server prepares no DDL and no BEGIN.
// Each result is read whole, so a caller's rows stay readable while other statements run on the
// connection: while a caller holds the rows of a prepared statement, that statement is busy and
// the same text run again meanwhile gets one of its own.
//
// A connection the server dropped (a restart, the network) fails the statement that finds it
// with lostMessage(); the next statement opens the connection again (the same address, the same
// connect statements, no statement kept) unless a transaction had begun before the drop: the
// server has lost that one whole, so its statements fail until a COMMIT (which fails too) or a
// ROLLBACK (which has nothing left to undo and says nothing) ends it.
class ServerStatements : public std::enable_shared_from_this<ServerStatements>
{
public:
    struct Prepared
    {
        QSqlQuery query;
        QString sql;
        quint64 generation = 0; // the statements' generation it was prepared in
    };

    ServerStatements(QString connectionName, SqlDialect dialect, QStringList connectStatements);
    ~ServerStatements();

    // Runs the connect statements on the connection just opened.
    void start();
    // Throws DatabaseError mapped from the server's SQLSTATE.
    QSqlQuery run(const QString &sql, const QVariantMap &params);
    // Statements without parameters sent as one text, in one round trip, each one's outcome
    // checked: the first that fails is thrown, and those after it have not run. A first statement
    // BEGIN leaves the transaction begun even when a later one fails (the server then holds it
    // failed, until a ROLLBACK).
    void runTogether(const QStringList &statements);
    // The connection was found dropped, and no statement has opened it again since.
    bool lost() const { return m_lost; }

    // A busy statement comes back once no caller holds its rows.
    void giveBack(const std::shared_ptr<Prepared> &statement);

    static QString lostMessage();

private:
    struct Text
    {
        QString sql;
        QStringList parameters; // distinct names, without their ':'
    };
    const Text &text(const QString &sql);
    std::shared_ptr<Prepared> checkOut(const QString &sql, const Text &statement);
    // Lets the statements kept go, and those still busy once they come back.
    void forgetStatements();
    void reopen();
    [[noreturn]] void fail(const QSqlQuery &query, const QString &sql);

    QString m_connectionName;
    SqlDialect m_dialect;
    QStringList m_connectStatements;
    QHash<QString, Text> m_texts;
    QHash<QString, QList<std::shared_ptr<Prepared>>> m_idle;
    quint64 m_generation = 1; // a new one on each change to the tables and each new connection
    bool m_lost = false;
    bool m_inTransaction = false; // a BEGIN ran, and no COMMIT or ROLLBACK since
};
