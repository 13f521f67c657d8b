#include "SqlDialect.h"

#include "BulkRows.h"
#include "HistoryChain.h"
#include "SavedQuerySpelling.h"
#include "ServerLocks.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <sqlite3.h>

namespace {
// How long a write waits for another workstation's write on the server, as the file's busy
// timeout does.
constexpr int kLockTimeoutMs = 5000;

// A setting the server takes as the connection starts (libpq's "options"), so that it costs no
// statement of its own: a blank or backslash in the value is escaped for the server's reading of
// the options, and the whole again for the connection string's quotes. Qt's driver reads a ';' in
// the connect options as a separator, so none is left in the value.
QString startupSetting(const QString &name, QString value)
{
    value.remove(QLatin1Char(';'));
    QString escaped;
    for (const QChar c : std::as_const(value)) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    QString setting = QStringLiteral("-c %1=%2").arg(name, escaped);
    setting.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    setting.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return setting;
}
} // namespace

bool SqlDialect::isServerName(const QString &databaseName)
{
    return databaseName.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           databaseName.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

SqlDialect SqlDialect::forName(const QString &databaseName)
{
    return SqlDialect(isServerName(databaseName) ? Engine::Server : Engine::File);
}

QString SqlDialect::driverName() const
{
    return isServer() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
}

QString SqlDialect::connectOptions(bool readOnly) const
{
    if (isServer()) {
        // The server's notices (a trigger dropped that was not there) are not the user's concern.
        // The change history records who wrote with what: see ChangeHistory.
        QStringList settings{
            startupSetting(QStringLiteral("client_min_messages"), QStringLiteral("warning")),
            startupSetting(QStringLiteral("kelvara.program"), HistoryChain::programName()),
            startupSetting(QStringLiteral("kelvara.workstation"), QSysInfo::machineHostName())};
        if (readOnly)
            settings << startupSetting(QStringLiteral("default_transaction_read_only"), QStringLiteral("on"));
        return QStringLiteral("application_name=Kelvara;options='") + settings.join(QLatin1Char(' ')) +
               QLatin1Char('\'');
    }
    const QString busyTimeout = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
    return readOnly ? busyTimeout + QStringLiteral(";QSQLITE_OPEN_READONLY") : busyTimeout;
}

QStringList SqlDialect::connectStatements(bool readOnly) const
{
    // A server connection's settings went with its start (connectOptions): no round trip more.
    if (isServer())
        return {};
    // WAL is not safe on a network share: the rollback journal it is.
    QStringList statements;
    if (!readOnly)
        statements << QStringLiteral("PRAGMA journal_mode=DELETE");
    statements << foreignKeys(true) << QStringLiteral("SELECT count(*) FROM sqlite_master");
    return statements;
}

QString SqlDialect::salvageSchema() const
{
    return QStringLiteral("PRAGMA writable_schema=ON");
}

QStringList SqlDialect::beginWrite() const
{
    if (!isServer())
        return {QStringLiteral("BEGIN IMMEDIATE")};
    // One writer at a time, as on a file: every rule that reads old values in its WHERE clause
    // then sees the state no other workstation is changing meanwhile.
    return {QStringLiteral("BEGIN"), QStringLiteral("SET LOCAL lock_timeout = %1").arg(kLockTimeoutMs),
            ServerLocks::takeWrite()};
}

QString SqlDialect::commit() const
{
    return QStringLiteral("COMMIT");
}

QString SqlDialect::rollback() const
{
    return QStringLiteral("ROLLBACK");
}

QString SqlDialect::foreignKeys(bool on) const
{
    // The server checks its foreign keys at the end of a statement; copies run in key order.
    if (isServer())
        return QStringLiteral("SELECT %1").arg(on ? 1 : 0);
    return on ? QStringLiteral("PRAGMA foreign_keys=ON") : QStringLiteral("PRAGMA foreign_keys=OFF");
}

QString SqlDialect::integrityCheck() const
{
    // The server keeps its own files whole; its indexes are checked by amcheck (the Repair command).
    if (isServer())
        return QStringLiteral("SELECT CASE WHEN pg_is_in_recovery() THEN 'in recovery' ELSE 'ok' END");
    return QStringLiteral("PRAGMA integrity_check");
}

QString SqlDialect::weekday(const QString &isoDate) const
{
    if (isServer())
        return QStringLiteral("CAST(EXTRACT(DOW FROM CAST(%1 AS date)) AS INTEGER)").arg(isoDate);
    return QStringLiteral("CAST(strftime('%w', %1) AS INTEGER)").arg(isoDate);
}

QString SqlDialect::newRowId() const
{
    return isServer() ? QStringLiteral("SELECT lastval()") : QStringLiteral("SELECT last_insert_rowid()");
}

QString SqlDialect::engineWord() const
{
    return isServer() ? QStringLiteral("server") : QStringLiteral("file");
}

QStringList SqlDialect::schemaPreamble() const
{
    // Login names compare without regard to case on the server too.
    if (isServer())
        return {QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext")};
    return {};
}

QString SqlDialect::columnDefinition(const QString &fileDefinition) const
{
    if (!isServer())
        return fileDefinition;
    // Counter keys as identity columns, 64-bit integers (SQLite's INTEGER), and login names as
    // case-blind text (citext) as NOCASE keeps them on a file.
    static const QList<QPair<QString, QString>> words = {
        {QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"),
         QStringLiteral("bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")},
        {QStringLiteral("TEXT PRIMARY KEY NOT NULL COLLATE NOCASE"),
         QStringLiteral("citext PRIMARY KEY NOT NULL")},
        {QStringLiteral("INTEGER"), QStringLiteral("bigint")},
        {QStringLiteral("REAL"), QStringLiteral("double precision")},
        {QStringLiteral("BLOB"), QStringLiteral("bytea")},
    };
    for (const auto &[file, server] : words) {
        if (fileDefinition.startsWith(file))
            return server + fileDefinition.mid(file.size());
    }
    return fileDefinition;
}

QString SqlDialect::tableCount() const
{
    return isServer() ? QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()")
                      : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                       "AND name NOT LIKE 'sqlite%'");
}

QString SqlDialect::tableNamed() const
{
    return isServer()
               ? QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema() "
                                "AND tablename = :name")
               : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = :name");
}

QString SqlDialect::lastKey() const
{
    // A table's counter on the server is its identity column's sequence.
    return isServer() ? QStringLiteral("SELECT pg_sequence_last_value(CAST(pg_get_serial_sequence("
                                       "quote_ident(:t), :c) AS regclass))")
                      : QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = :t");
}

QStringList SqlDialect::setLastKey() const
{
    // A sequence never used hands out its first value next, one that was hands out the next one.
    if (isServer())
        return {QStringLiteral("SELECT setval(CAST(pg_get_serial_sequence(quote_ident(:t), :c) AS regclass), "
                               "greatest(:n, 1), :n > 0)")};
    return {QStringLiteral("DELETE FROM sqlite_sequence WHERE name = :t"),
            QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT :t, :n WHERE :n > 0")};
}

QStringList SqlDialect::beginSnapshot() const
{
    if (!isServer())
        return {QStringLiteral("BEGIN")};
    // The session waits in its transaction while other work goes on, for as long as that takes.
    return {QStringLiteral("SET idle_in_transaction_session_timeout = 0"),
            QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")};
}

bool SqlDialect::attachesFiles() const
{
    return !isServer();
}

bool SqlDialect::announcesChanges() const
{
    return isServer();
}

bool SqlDialect::hasLoginRoles() const
{
    return isServer();
}

QString SqlDialect::savedQueryFromOtherEngine(const QString &text) const
{
    return isServer() ? SavedQuerySpelling::toServer(text) : SavedQuerySpelling::toFile(text);
}

std::unique_ptr<BulkRows> SqlDialect::bulkRows(Database &db, const QString &table, const QStringList &columns,
                                               const QList<bool> &binary) const
{
    return isServer() ? BulkRows::serverCopy(db, table, columns, binary)
                      : BulkRows::inserts(db, table, columns);
}

DatabaseError SqlDialect::mapError(int nativeCode, const QString &engineText, const QString &context) const
{
    DatabaseError error = userError(nativeCode, engineText);
    // The statement goes to the error log only: the user reads what happened, not the SQL.
    error.setDetail(context.isEmpty() ? engineText : context + QStringLiteral(": ") + engineText);
    return error;
}

DatabaseError SqlDialect::userError(int nativeCode, const QString &engineText) const
{
    const int code = nativeCode & 0xFF;
    // A protection trigger's refusal is a message for the user, not a failure of the program.
    if (code == SQLITE_CONSTRAINT && engineText.startsWith(DbErrors::protectedMarker()))
        return DatabaseError(DbErrors::Protected, engineText.mid(DbErrors::protectedMarker().size()));
    switch (code) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return DatabaseError(DbErrors::Damaged,
                             QStringLiteral("The database file is damaged or is not a database."));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DatabaseError(DbErrors::Locked, QStringLiteral("Another workstation is writing to the "
                                                              "database; try again in a moment."));
    case SQLITE_READONLY:
        return DatabaseError(
            DbErrors::ReadOnly,
            QStringLiteral("The database cannot be changed: the file or its folder is read-only."));
    case SQLITE_CANTOPEN:
        return DatabaseError(DbErrors::FileNotFound, QStringLiteral("The database file cannot be opened."));
    default:
        break;
    }
    // The primary code alone does not tell a foreign key from other constraints; the text does.
    if (nativeCode == SQLITE_CONSTRAINT_FOREIGNKEY ||
        (code == SQLITE_CONSTRAINT && engineText.contains(QStringLiteral("FOREIGN KEY"))))
        return DatabaseError(DbErrors::HasRelated,
                             QStringLiteral("Other records still refer to this one. Delete those first."));
    if (code == SQLITE_ERROR && engineText.contains(QStringLiteral("already exists")))
        return DatabaseError(DbErrors::TableExists, engineText);
    return DatabaseError(DbErrors::Other, engineText);
}

DatabaseError SqlDialect::mapServerError(const QString &sqlState, const QString &engineText,
                                         const QString &context) const
{
    DatabaseError error = serverError(sqlState, engineText);
    error.setDetail(context.isEmpty() ? engineText : context + QStringLiteral(": ") + engineText);
    return error;
}

DatabaseError SqlDialect::serverError(const QString &sqlState, const QString &engineText) const
{
    // A trigger's refusal reads "ERROR:  Protected date-shift: ..." with the server's own prefix.
    const qsizetype marker = engineText.indexOf(DbErrors::protectedMarker());
    if (sqlState == QLatin1String("P0001") && marker >= 0)
        return DatabaseError(
            DbErrors::Protected,
            engineText.mid(marker + DbErrors::protectedMarker().size()).section('\n', 0, 0).trimmed());
    if (sqlState == QLatin1String("55P03") || sqlState == QLatin1String("40001") ||
        sqlState == QLatin1String("40P01"))
        return DatabaseError(DbErrors::Locked, QStringLiteral("Another workstation is writing to the "
                                                              "database; try again in a moment."));
    if (sqlState == QLatin1String("23503"))
        return DatabaseError(DbErrors::HasRelated,
                             QStringLiteral("Other records still refer to this one. Delete those first."));
    if (sqlState == QLatin1String("42P07"))
        return DatabaseError(DbErrors::TableExists, engineText);
    if (sqlState == QLatin1String("42501") || sqlState == QLatin1String("25006"))
        return DatabaseError(DbErrors::ReadOnly,
                             QStringLiteral("The database server does not let your login change this."));
    if (sqlState == QLatin1String("3D000"))
        return DatabaseError(DbErrors::FileNotFound,
                             QStringLiteral("The database does not exist on the server."));
    // Connection failures (class 08, or none at all when the server cannot be reached).
    if (sqlState.startsWith(QLatin1String("08")) || sqlState.startsWith(QLatin1String("57P")) ||
        sqlState.isEmpty())
        return DatabaseError(DbErrors::FileNotFound,
                             QStringLiteral("The database server cannot be reached."));
    return DatabaseError(DbErrors::Other, engineText);
}

DatabaseError SqlDialect::mapConnectError(const QString &text, const QString &address) const
{
    // The server's reasons, in the words its client library and the server print them (English; a
    // server set to another language for its messages gets the general message, with its text in
    // the detail).
    static const QList<std::pair<QRegularExpression, QString>> reasons{
        {QRegularExpression(QStringLiteral("database \".*\" does not exist")),
         QStringLiteral("The database does not exist on the server.")},
        {QRegularExpression(QStringLiteral("role \".*\" does not exist|authentication failed")),
         QStringLiteral("The database server did not accept your login or its password.")},
        {QRegularExpression(QStringLiteral("permission denied for database")),
         QStringLiteral("The database server does not let your login connect to this database: a login "
                        "connects once it has a security level (Security Administration, or the "
                        "server's administrator).")},
        {QRegularExpression(QStringLiteral("no pg_hba.conf entry")),
         QStringLiteral("The database server does not accept logins from this workstation (pg_hba.conf).")},
        {QRegularExpression(QStringLiteral("too many clients|connection slots are reserved")),
         QStringLiteral("The database server has no connection free just now. Try again in a moment.")},
        {QRegularExpression(QStringLiteral("the database system is (starting|shutting|in recovery|not)")),
         QStringLiteral("The database server is starting or stopping. Try again in a moment.")},
        {QRegularExpression(QStringLiteral("timeout expired")),
         QStringLiteral("The database server did not answer in time. Try again in a moment.")},
    };
    QString message = QStringLiteral("The database server cannot be reached.");
    for (const auto &[words, reason] : reasons) {
        if (words.match(text).hasMatch()) {
            message = reason;
            break;
        }
    }
    DatabaseError error(DbErrors::FileNotFound, message);
    error.setDetail(address + QStringLiteral(": ") + text);
    return error;
}
