#pragma once

#include "SqlDialect.h"

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Runs the program's statements on a PostgreSQL connection: each text is spelled for the server
// and its parameter names found once per connection. A statement with parameters is prepared and
// its values bound by name (see Database::exec); one without runs as it stands, since the server
// prepares no DDL and no BEGIN. Each result is read whole, so a caller's rows stay readable
// while other statements run on the connection.
class ServerStatements
{
public:
    ServerStatements(QString connectionName, SqlDialect dialect);

    // Throws DatabaseError mapped from the server's SQLSTATE.
    QSqlQuery run(const QString &sql, const QVariantMap &params);

private:
    struct Text
    {
        QString spelled;
        QStringList parameters; // distinct names, without their ':'
    };
    const Text &text(const QString &sql);
    [[noreturn]] void fail(const QSqlQuery &query, const QString &sql) const;

    QString m_connectionName;
    SqlDialect m_dialect;
    QHash<QString, Text> m_texts;
};
