#pragma once

// A plant database of its own on the test server (KELVARA_TEST_SERVER), dropped afterwards with
// every database a restore kept beside it.
#include "foundation/Database.h"
#include "foundation/ServerAddress.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QStringList>

class ServerPlant
{
public:
    // The reason to skip the server's tests; empty when a server is there.
    static QString missing()
    {
        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            return QStringLiteral("KELVARA_TEST_SERVER is not set: no PostgreSQL server to test on "
                                  "(scripts/test-server.sh starts one).");
        return {};
    }

    explicit ServerPlant(const QString &tag)
        : m_name(QStringLiteral("kelvara_%1_%2").arg(tag).arg(QCoreApplication::applicationPid())),
          m_uri(ServerAddress::parse(qEnvironmentVariable("KELVARA_TEST_SERVER")).on(m_name).uri())
    {
        dropAll();
    }
    ~ServerPlant()
    {
        try {
            dropAll();
        } catch (const DatabaseError &error) {
            qWarning("The test database %s was left on the server: %s", qPrintable(m_name),
                     qPrintable(error.description()));
        }
    }
    ServerPlant(const ServerPlant &) = delete;
    ServerPlant &operator=(const ServerPlant &) = delete;

    QString name() const { return m_name; }
    QString uri() const { return m_uri; }
    // The databases on the server whose names begin with this plant's.
    QStringList databases() const
    {
        QStringList names;
        const Database db = server();
        QSqlQuery query = db.exec(QStringLiteral("SELECT datname FROM pg_database WHERE "
                                                 "left(datname, length(:name)) = :name ORDER BY datname"),
                                  {{QStringLiteral("name"), m_name}});
        while (query.next())
            names << query.value(0).toString();
        return names;
    }

private:
    Database server() const
    {
        return Database::open(ServerAddress::parse(m_uri).on(QStringLiteral("postgres")).uri());
    }
    void dropAll() const
    {
        const Database db = server();
        for (const QString &name : databases())
            db.exec(QStringLiteral("DROP DATABASE \"%1\" WITH (FORCE)").arg(name));
    }

    QString m_name;
    QString m_uri;
};
