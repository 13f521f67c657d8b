#include "Database.h"

#include "HistoryChain.h"
#include "ServerAddress.h"
#include "ServerLocks.h"
#include "ServerStatements.h"
#include "StatementCache.h"

#include <QAtomicInteger>
#include <QDate>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QSysInfo>
#include <sqlite3.h>

namespace {
QString newConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("kelvara-%1").arg(++counter);
}
} // namespace

QString sqlDate(const QDate &date)
{
    return date.toString(Qt::ISODate);
}

QDate dateFromSql(const QVariant &value)
{
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

DatabaseError Database::mapError(const QSqlError &error, const QString &context)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return SqlDialect().mapError(error.nativeErrorCode().toInt(), text, context);
}

Database::Database(QString connectionName, QString path, SqlDialect dialect)
    : m_connectionName(std::move(connectionName)), m_path(std::move(path)), m_dialect(dialect)
{
}

Database::Database(Database &&other) noexcept
    : m_connectionName(std::exchange(other.m_connectionName, QString())), m_path(std::move(other.m_path)),
      m_dialect(other.m_dialect), m_statements(std::move(other.m_statements)),
      m_historyWriter(std::exchange(other.m_historyWriter, nullptr)), m_server(std::move(other.m_server)),
      m_savedSql(std::move(other.m_savedSql))
{
}

Database &Database::operator=(Database &&other) noexcept
{
    if (this != &other) {
        close();
        m_connectionName = std::exchange(other.m_connectionName, QString());
        m_path = std::move(other.m_path);
        m_dialect = other.m_dialect;
        m_statements = std::move(other.m_statements);
        m_historyWriter = std::exchange(other.m_historyWriter, nullptr);
        m_server = std::move(other.m_server);
        m_savedSql = std::move(other.m_savedSql);
    }
    return *this;
}

Database::~Database()
{
    close();
}

void Database::close()
{
    if (m_statements) {
        // The engine closes no file while a compiled statement of it is left.
        m_statements->close();
        m_statements.reset();
    }
    HistoryChain::release(std::exchange(m_historyWriter, nullptr));
    m_savedSql.clear();
    if (!m_connectionName.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
        m_connectionName.clear();
    }
    // The server's statements kept go with its connection, without a word each.
    m_server.reset();
}

bool Database::isOpen() const
{
    return !m_connectionName.isEmpty() && connection().isOpen();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void *Database::sqliteHandle() const
{
    const QVariant handle = connection().driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(handle.data());
    return nullptr;
}

void *Database::serverHandle() const
{
    const QVariant handle = connection().driver()->handle();
    // Qt names the type by the struct the typedef stands for.
    if (handle.isValid() &&
        (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0))
        return *static_cast<void *const *>(handle.data());
    return nullptr;
}

void Database::openConnection(bool readOnly, bool salvage)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(m_dialect.driverName(), m_connectionName);
    db.setDatabaseName(m_path);
    db.setConnectOptions(m_dialect.connectOptions(readOnly));
    if (!db.open())
        throw mapError(db.lastError());
    auto *handle = static_cast<sqlite3 *>(sqliteHandle());
    // A "name" mistyped fails, as on the server, instead of being read as a text.
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    m_statements = std::make_shared<StatementCache>(handle, db.driver(), m_dialect);
    // The file's history triggers call these: a connection without them changes no audited row.
    m_historyWriter = HistoryChain::registerFunctions(
        handle, {HistoryChain::login(), QSysInfo::machineHostName(), HistoryChain::programName()});
    // A salvage takes the schema as it stands, even where it points past the end of a cut file.
    if (salvage)
        exec(m_dialect.salvageSchema());
    // The last statement reads the schema: a file that is not a database fails here.
    for (const QString &sql : m_dialect.connectStatements(readOnly))
        exec(sql);
}

void Database::openServerConnection(bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(m_dialect.driverName(), m_connectionName);
    const ServerAddress address = ServerAddress::parse(m_path);
    address.applyTo(db, m_dialect.connectOptions(readOnly));
    if (!db.open())
        throw m_dialect.mapConnectError(db.lastError().databaseText(), address.uri());
    m_server = std::make_shared<ServerStatements>(m_connectionName, m_dialect,
                                                  m_dialect.connectStatements(readOnly));
    m_server->start();
}

void Database::createServerDatabase(const QString &uri)
{
    // A new database is made from the server's own database "postgres".
    const ServerAddress address = ServerAddress::parse(uri);
    Database maintenance = openServer(address.on(QStringLiteral("postgres")).uri(), ReadWrite, false);
    if (maintenance
            .scalar(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = :name"),
                    {{QStringLiteral("name"), address.database}})
            .toLongLong() == 0)
        // Text sorts and compares by its characters' codes, as on a file, whatever the
        // server's language.
        maintenance.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 LC_COLLATE 'C'")
                             .arg(quotedName(address.database)));
}

bool Database::exists(const QString &path)
{
    if (!SqlDialect::isServerName(path))
        return QFileInfo::exists(path);
    const ServerAddress address = ServerAddress::parse(path);
    return openServer(address.on(QStringLiteral("postgres")).uri(), ReadWrite, false)
               .scalar(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = :name"),
                       {{QStringLiteral("name"), address.database}})
               .toLongLong() > 0;
}

Database Database::openEmpty(const QString &path)
{
    return SqlDialect::isServerName(path) ? openServer(path, ReadWrite, true) : open(path);
}

void Database::remove(const QString &path)
{
    if (!SqlDialect::isServerName(path)) {
        QFile::remove(path);
        return;
    }
    const ServerAddress address = ServerAddress::parse(path);
    openServer(address.on(QStringLiteral("postgres")).uri(), ReadWrite, false)
        .exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quotedName(address.database)));
}

Database Database::openServer(const QString &uri, Mode mode, bool create)
{
    if (create)
        createServerDatabase(uri);
    Database result(newConnectionName(), uri, SqlDialect(SqlDialect::Engine::Server));
    result.openServerConnection(mode != ReadWrite);
    if (create && result.scalar(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = "
                                               "current_schema()"))
                          .toLongLong() > 0)
        throw DatabaseError(DbErrors::Other,
                            QStringLiteral("The database '%1' on the server holds tables already.")
                                .arg(ServerAddress::parse(uri).database));
    // Every write takes the write lock through the program's own function.
    if (create) {
        const QString schema =
            quotedName(result.scalar(QStringLiteral("SELECT current_schema()")).toString());
        for (const QString &sql : ServerLocks::createStatements(schema))
            result.exec(sql);
    }
    return result;
}

Database Database::open(const QString &path, Mode mode)
{
    if (SqlDialect::isServerName(path))
        return openServer(path, mode, false);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile())
        throw DatabaseError(DbErrors::FileNotFound,
                            QStringLiteral("Could not find the database file '%1'.").arg(path));
    if (mode == ReadWrite && (!info.isWritable() || !QFileInfo(info.absolutePath()).isWritable()))
        throw DatabaseError(DbErrors::ReadOnly,
                            QStringLiteral("The database file '%1' cannot be changed: the file or "
                                           "its folder is read-only.")
                                .arg(path));
    // The result owns the connection from here on and is destroyed after the local handle, so
    // a failed open removes its connection cleanly.
    Database result(newConnectionName(), path);
    result.openConnection(mode != ReadWrite, mode == Salvage);
    return result;
}

Database Database::createFile(const QString &path)
{
    if (SqlDialect::isServerName(path))
        return openServer(path, ReadWrite, true);
    if (QFileInfo::exists(path))
        throw DatabaseError(DbErrors::Other, QStringLiteral("The file '%1' already exists.").arg(path));
    Database result(newConnectionName(), path);
    result.openConnection(false);
    return result;
}

QSqlQuery Database::exec(const QString &sql, const QVariantMap &params) const
{
    if (!m_statements && !m_server)
        throw DatabaseError(DbErrors::Other, QStringLiteral("The database connection is closed."));
    QSqlQuery query = m_server ? m_server->run(sql, params) : m_statements->run(sql, params);
    // A change to the saved queries made on this connection is seen by its next saved query.
    if (!m_savedSql.isEmpty() && query.numRowsAffected() > 0 && sql.contains(QLatin1String("Saved Queries")))
        m_savedSql.clear();
    return query;
}

qint64 Database::insert(const QString &sql, const QVariantMap &params) const
{
    return lastInsertId(exec(sql, params));
}

QString Database::integrityCheck() const
{
    return scalar(m_dialect.integrityCheck()).toString();
}

void Database::setForeignKeys(bool on)
{
    exec(m_dialect.foreignKeys(on));
}

QVariant Database::scalar(const QString &sql, const QVariantMap &params) const
{
    QSqlQuery query = exec(sql, params);
    if (!query.next())
        throw DatabaseError(DbErrors::NoCurrentRecord, QStringLiteral("No current record."));
    return query.value(0);
}

QString Database::savedQuerySql(const QString &name) const
{
    const auto known = m_savedSql.constFind(name);
    if (known != m_savedSql.cend())
        return *known;
    // Every saved query's text at once: on a server each read is a round trip, and a window's
    // load runs several of them.
    QSqlQuery query = exec(QStringLiteral("SELECT \"Query Name\", \"SQL Text\" FROM \"Saved Queries\""));
    m_savedSql.clear();
    while (query.next()) {
        // without a closing semicolon, so that it can be part of a larger statement
        QString sql = query.value(1).toString().trimmed();
        while (sql.endsWith(QLatin1Char(';')))
            sql = sql.chopped(1).trimmed();
        m_savedSql.insert(query.value(0).toString(), sql);
    }
    const auto read = m_savedSql.constFind(name);
    if (read == m_savedSql.cend())
        throw DatabaseError(DbErrors::Other,
                            QStringLiteral("The saved query '%1' does not exist in the database.").arg(name));
    return *read;
}

QSqlQuery Database::execSaved(const QString &name, const QVariantMap &params) const
{
    return exec(savedQuerySql(name), params);
}

qint64 Database::lastInsertId(const QSqlQuery &query) const
{
    // The server's driver cannot tell a new row's key; the key's sequence on this connection can.
    if (m_server)
        return scalar(m_dialect.newRowId()).toLongLong();
    return query.lastInsertId().toLongLong();
}

namespace {
// After the write lock could not be had: throws the administrator's command where the server
// database has no lock functions (one set up before the program took its locks through them).
void throwWhenLockFunctionsMissing(const Database &db)
{
    if (!db.dialect().isServer() ||
        !db.scalar(QStringLiteral("SELECT to_regprocedure('kelvara_write_lock()') IS NULL")).toBool())
        return;
    throw DatabaseError(
        DbErrors::Other,
        QStringLiteral("The database %1 on the server was set up by an earlier version of the program: it "
                       "lacks the program's lock functions, and nothing can be stored in it until the "
                       "server's administrator runs once:\n\n    %2")
            .arg(ServerAddress::parse(db.path()).database, db.setupCommand()));
}
} // namespace

QString Database::setupCommand() const
{
    if (!m_dialect.isServer())
        return {};
    ServerAddress administrator = ServerAddress::parse(m_path);
    administrator.user.clear();
    return QStringLiteral("kelvara --setup-server '%1'").arg(administrator.uri());
}

void Database::beginTransaction()
{
    const QStringList statements = m_dialect.beginWrite();
    if (!m_server) {
        for (const QString &sql : statements)
            exec(sql);
        return;
    }
    // On the server the transaction begins and takes the write lock in one round trip.
    try {
        m_server->runTogether(statements);
    } catch (...) {
        // The lock was not had: the transaction just begun ends here, not in a caller's rollback.
        exec(m_dialect.rollback());
        if (!m_server->lost())
            throwWhenLockFunctionsMissing(*this);
        throw;
    }
}

void Database::commit()
{
    exec(m_dialect.commit());
}

void Database::rollback()
{
    exec(m_dialect.rollback());
}
