#include "SqlDialect.h"

#include <sqlite3.h>

QString SqlDialect::driverName() const
{
    return QStringLiteral("QSQLITE");
}

QString SqlDialect::connectOptions(bool readOnly) const
{
    const QString busyTimeout = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
    return readOnly ? busyTimeout + QStringLiteral(";QSQLITE_OPEN_READONLY") : busyTimeout;
}

QStringList SqlDialect::connectStatements(bool readOnly) const
{
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

QString SqlDialect::beginWrite() const
{
    return QStringLiteral("BEGIN IMMEDIATE");
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
    return on ? QStringLiteral("PRAGMA foreign_keys=ON") : QStringLiteral("PRAGMA foreign_keys=OFF");
}

QString SqlDialect::integrityCheck() const
{
    return QStringLiteral("PRAGMA integrity_check");
}

DatabaseError SqlDialect::mapError(int nativeCode, const QString &engineText, const QString &context) const
{
    const int code = nativeCode & 0xFF;
    QString text = engineText;
    // Judged on the engine's own text: the statement (context) may itself hold the words.
    const bool exists = code == SQLITE_ERROR && text.contains(QStringLiteral("already exists"));
    // A protection trigger's refusal is a message for the user, not a failure of the program.
    if (code == SQLITE_CONSTRAINT && text.startsWith(DbErrors::protectedMarker()))
        return DatabaseError(DbErrors::Protected, text.mid(DbErrors::protectedMarker().size()));
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
