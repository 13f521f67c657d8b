#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;

// Where a plant's database lives on a PostgreSQL server, read from the DatabaseName option's
// connection URI: postgresql://[user@]host[:port]/dbname[?keyword=value&...], the keywords being
// libpq's (host= names a socket folder, sslmode=, connect_timeout=, ...). No password is taken:
// the server's own authentication (peer, GSSAPI, or libpq's password file) says who connects.
// A name (database, role, table) as the server reads it in a statement: in double quotes, a quote
// inside doubled. For names the server cannot take as a parameter.
QString quotedName(const QString &name);

struct ServerAddress
{
    QString host;
    int port = -1;
    QString database;
    QString user;
    QStringList options; // further libpq keywords, as keyword=value

    // Throws DatabaseError (3000) with a message for the user when the URI cannot be used.
    static ServerAddress parse(const QString &uri);
    // The same server and login, another database on it (the server's own "postgres" for
    // creating or renaming one).
    ServerAddress on(const QString &otherDatabase) const;
    QString uri() const;
    // The same as libpq's keyword=value connection string, for the server's own programs
    // (pg_dump --dbname=...).
    QString connectionString() const;
    // Sets the connection's host, port, login and database, and the libpq options.
    void applyTo(QSqlDatabase &db, const QString &moreOptions) const;
};
