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

QString SqlDialect::sameValue(const QString &left, const QString &right) const
{
    return left + QStringLiteral(" IS ") + right;
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
