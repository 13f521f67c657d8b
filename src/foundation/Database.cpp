#include "Database.h"

#include <QAtomicInteger>
#include <QDate>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <sqlite3.h>

namespace {
const QString kBusyTimeout = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");

QString newConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("kelvara-%1").arg(++counter);
}

const QRegularExpression &placeholderPattern()
{
    static const QRegularExpression pattern(QStringLiteral(":([A-Za-z_][A-Za-z0-9_]*)"));
    return pattern;
}

// The placeholders of a statement, skipping quoted text and bracketed names.
QStringList placeholdersOf(const QString &sql)
{
    QString bare = sql;
    static const QRegularExpression quoted(QStringLiteral("'[^']*'|\\[[^\\]]*\\]"));
    bare.replace(quoted, QStringLiteral(" "));
    QStringList names;
    auto it = placeholderPattern().globalMatch(bare);
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        if (!names.contains(name))
            names.append(name);
    }
    return names;
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

QString Database::placeholderName(const QString &name)
{
    QString result;
    for (QChar c : name) {
        if (c.isLetterOrNumber() || c == '_')
            result += c;
    }
    return result;
}

DatabaseError Database::mapError(const QSqlError &error, const QString &context)
{
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    // Judged on the engine's own text: the statement (context) may itself hold the words.
    const bool exists = code == SQLITE_ERROR && text.contains(QStringLiteral("already exists"));
    if (!context.isEmpty())
        text = context + QStringLiteral(": ") + text;
    switch (code) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return DatabaseError(
            DbErrors::Damaged,
            QStringLiteral("The database file is damaged or is not a database (%1).").arg(text));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DatabaseError(
            DbErrors::Locked,
            QStringLiteral("The database is locked by another user; try again in a moment (%1).").arg(text));
    case SQLITE_READONLY:
        return DatabaseError(
            DbErrors::ReadOnly,
            QStringLiteral("The database cannot be changed: the file or its folder is read-only (%1).")
                .arg(text));
    case SQLITE_CANTOPEN:
        return DatabaseError(DbErrors::FileNotFound,
                             QStringLiteral("The database file cannot be opened (%1).").arg(text));
    default:
        break;
    }
    if (exists)
        return DatabaseError(DbErrors::TableExists, text);
    return DatabaseError(DbErrors::Other, text);
}

Database::Database(QString connectionName, QString path)
    : m_connectionName(std::move(connectionName)), m_path(std::move(path))
{
}

Database::Database(Database &&other) noexcept
    : m_connectionName(std::exchange(other.m_connectionName, QString())), m_path(std::move(other.m_path))
{
}

Database &Database::operator=(Database &&other) noexcept
{
    if (this != &other) {
        close();
        m_connectionName = std::exchange(other.m_connectionName, QString());
        m_path = std::move(other.m_path);
    }
    return *this;
}

Database::~Database()
{
    close();
}

void Database::close()
{
    if (m_connectionName.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
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

void Database::openConnection(const QString &connectOptions)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_path);
    db.setConnectOptions(connectOptions);
    if (!db.open())
        throw mapError(db.lastError());
}

Database Database::open(const QString &path, Mode mode)
{
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
    result.openConnection(mode != ReadWrite ? kBusyTimeout + QStringLiteral(";QSQLITE_OPEN_READONLY")
                                            : kBusyTimeout);
    if (mode == Salvage)
        result.exec(QStringLiteral("PRAGMA writable_schema=ON"));
    // The file is shared over the network: rollback journal, not WAL. Reading the schema is the
    // first real access, so a file that is not a database fails here.
    if (mode == ReadWrite)
        result.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    result.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    result.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return result;
}

Database Database::createFile(const QString &path)
{
    if (QFileInfo::exists(path))
        throw DatabaseError(DbErrors::Other, QStringLiteral("The file '%1' already exists.").arg(path));
    Database result(newConnectionName(), path);
    result.openConnection(kBusyTimeout);
    result.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    result.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    return result;
}

QSqlQuery Database::exec(const QString &sql, const QVariantMap &params) const
{
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw mapError(query.lastError(), sql.left(200));
    QVariantMap normalized;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        normalized.insert(placeholderName(it.key()), it.value());
    for (const QString &name : placeholdersOf(sql)) {
        if (!normalized.contains(name))
            throw DatabaseError(DbErrors::Other,
                                QStringLiteral("No value given for the parameter '%1'.").arg(name));
        query.bindValue(':' + name, normalized.value(name));
    }
    if (!query.exec())
        throw mapError(query.lastError(), sql.left(200));
    return query;
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
    QSqlQuery query =
        exec(QStringLiteral("SELECT [SQL Text] FROM [Saved Queries] WHERE [Query Name] = :name"),
             {{QStringLiteral("name"), name}});
    if (!query.next())
        throw DatabaseError(DbErrors::Other,
                            QStringLiteral("The saved query '%1' does not exist in the database.").arg(name));
    return query.value(0).toString();
}

QSqlQuery Database::execSaved(const QString &name, const QVariantMap &params) const
{
    return exec(savedQuerySql(name), params);
}

qint64 Database::lastInsertId(const QSqlQuery &query) const
{
    return query.lastInsertId().toLongLong();
}

void Database::beginTransaction()
{
    exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void Database::commit()
{
    exec(QStringLiteral("COMMIT"));
}

void Database::rollback()
{
    exec(QStringLiteral("ROLLBACK"));
}
