#pragma once

#include <QString>
#include <QVariantMap>

class Database;

// Copies a report's rows into its table of the local report database by running a staging saved
// query of the production database, and drops the table again afterwards. The report database is
// attached to the production connection as "Reports" for as long as this object lives.
class ReportStaging
{
public:
    // Throws DatabaseError when the report database cannot be attached.
    ReportStaging(Database &production, const QString &reportDatabasePath);
    ~ReportStaging();
    ReportStaging(const ReportStaging &) = delete;
    ReportStaging &operator=(const ReportStaging &) = delete;

    // Runs the saved query. A table left over from an earlier run (3010) is dropped and the query
    // run once more. Returns the number of rows staged; other errors reach the caller.
    qint64 stage(const QString &savedQuery, const QString &table, const QVariantMap &params);
    // Drops the report table; every error is passed over.
    void cleanUp(const QString &table) noexcept;

private:
    Database &m_db;
    bool m_attached = false;
};
