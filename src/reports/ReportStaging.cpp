#include "ReportStaging.h"

#include "foundation/Database.h"

namespace {
QString bracketed(const QString &name)
{
    return '[' + QString(name).replace(']', QLatin1String("]]")) + ']';
}
} // namespace

ReportStaging::ReportStaging(Database &production, const QString &reportDatabasePath) : m_db(production)
{
    m_db.exec(QStringLiteral("ATTACH DATABASE :path AS [Reports]"),
              {{QStringLiteral("path"), reportDatabasePath}});
    m_attached = true;
    // The report database is this workstation's scratch file, emptied after every run: it needs
    // no journal on disk and no wait for the disk, and one found damaged is made anew.
    m_db.exec(QStringLiteral("PRAGMA [Reports].journal_mode=MEMORY"));
    m_db.exec(QStringLiteral("PRAGMA [Reports].synchronous=OFF"));
}

ReportStaging::~ReportStaging()
{
    if (!m_attached)
        return;
    try {
        m_db.exec(QStringLiteral("DETACH DATABASE [Reports]"));
    } catch (const DatabaseError &) {
        // the connection closes with the window anyway
    }
}

qint64 ReportStaging::stage(const QString &savedQuery, const QString &table, const QVariantMap &params)
{
    try {
        m_db.execSaved(savedQuery, params);
    } catch (const DatabaseError &error) {
        if (error.number() != DbErrors::TableExists)
            throw;
        cleanUp(table);
        m_db.execSaved(savedQuery, params);
    }
    return m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM [Reports].") + bracketed(table)).toLongLong();
}

void ReportStaging::cleanUp(const QString &table) noexcept
{
    try {
        m_db.exec(QStringLiteral("DROP TABLE IF EXISTS [Reports].") + bracketed(table));
    } catch (...) {
        // a table that cannot be dropped now is dropped by the retry of the next run
    }
}
