#include "MaintenanceEngine.h"

#include "foundation/Database.h"
#include "foundation/FileSalvage.h"

#include <QFile>
#include <QSqlQuery>
#include <QStringList>

#include <sqlite3.h>

namespace {
QString alreadyThere(const QString &path)
{
    return QStringLiteral("The work file '%1' is in the way.").arg(path);
}
} // namespace

QString MaintenanceEngine::backup(const QString &from, const QString &to)
{
    if (QFile::exists(to))
        return alreadyThere(to);
    try {
        const Database source = Database::open(from, Database::ReadOnly);
        auto *sourceHandle = static_cast<sqlite3 *>(source.sqliteHandle());
        if (!sourceHandle)
            return QStringLiteral("The database engine gives no handle for the backup.");
        sqlite3 *target = nullptr;
        const QByteArray targetName = to.toUtf8();
        int rc = sqlite3_open_v2(targetName.constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_backup *copy = sqlite3_backup_init(target, "main", sourceHandle, "main");
            if (copy) {
                sqlite3_backup_step(copy, -1);
                sqlite3_backup_finish(copy);
            }
            rc = sqlite3_errcode(target);
        }
        const QString error = rc == SQLITE_OK ? QString() : QString::fromUtf8(sqlite3_errmsg(target));
        sqlite3_close(target);
        if (!error.isEmpty())
            QFile::remove(to);
        return error;
    } catch (const DatabaseError &error) {
        return error.description();
    }
}

QString MaintenanceEngine::compact(const QString &from, const QString &to)
{
    if (QFile::exists(to))
        return alreadyThere(to);
    try {
        const Database source = Database::open(from);
        source.exec(QStringLiteral("VACUUM INTO :target"), {{QStringLiteral("target"), to}});
        return {};
    } catch (const DatabaseError &error) {
        QFile::remove(to);
        return error.description();
    }
}

QString MaintenanceEngine::rebuild(const QString &from, const QString &to, const QString &scratchFolder)
{
    m_lastRebuild = {};
    if (QFile::exists(to))
        return alreadyThere(to);
    m_lastRebuild = FileSalvage::rebuild(from, to, scratchFolder);
    return m_lastRebuild.ok ? QString() : m_lastRebuild.failure;
}

QString MaintenanceEngine::check(const QString &path)
{
    try {
        const Database db = Database::open(path, Database::ReadOnly);
        // The whole report, one problem a line: the caller decides how much of it the user reads.
        QSqlQuery query = db.exec(QStringLiteral("PRAGMA integrity_check"));
        QStringList problems;
        while (query.next())
            problems << query.value(0).toString();
        if (problems == QStringList{QStringLiteral("ok")})
            return {};
        return QStringLiteral("The file '%1' does not pass the integrity check:\n").arg(path) +
               problems.join('\n');
    } catch (const DatabaseError &error) {
        return error.description();
    }
}

std::optional<qint64> MaintenanceEngine::jobLines(const QString &path)
{
    try {
        return jobLinesOf(Database::open(path, Database::ReadOnly));
    } catch (const DatabaseError &) {
        return std::nullopt;
    }
}

std::optional<qint64> MaintenanceEngine::jobLinesOf(const Database &db)
{
    // The tables every production database has from its creation on.
    static const QStringList tables = {QStringLiteral("Production Table"), QStringLiteral("Job Lookup Table"),
                                       QStringLiteral("Hold Table"), QStringLiteral("Security Table")};
    const QString tableNamed = db.dialect().tableNamed();
    try {
        for (const QString &table : tables) {
            if (db.scalar(tableNamed, {{QStringLiteral("name"), table}}).toInt() != 1)
                return std::nullopt;
        }
        return db.scalar(QStringLiteral("SELECT COUNT(*) FROM \"Production Table\"")).toLongLong();
    } catch (const DatabaseError &) {
        return std::nullopt;
    }
}
