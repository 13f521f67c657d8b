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
