#include "ReportJob.h"

#include "ReportStaging.h"
#include "foundation/Database.h"

ReportJob::ReportJob(Database &production, QString reportDatabasePath)
    : m_db(production), m_reportDatabasePath(std::move(reportDatabasePath))
{
}

ReportDocument ReportJob::run(const ReportDescriptor &type, const QVariantMap &parameters,
                              const QString &layoutPath, const ReportRequest &request)
{
    ReportStaging staging(m_db, m_reportDatabasePath);
    struct CleanUp
    {
        ReportStaging &staging;
        const QString &table;
        ~CleanUp() { staging.cleanUp(table); }
    } cleanUp{staging, type.table};
    m_staged = staging.stage(type.staging.name, type.table, parameters);
    return buildReport(layoutPath, staging.reportConnection(), request);
}
