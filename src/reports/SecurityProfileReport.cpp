#include "SecurityProfileReport.h"

#include "ReportCatalog.h"
#include "ReportJob.h"

QString SecurityProfileReport::title()
{
    return ReportCatalog::of(ReportTypes::SecurityProfile).previewTitle;
}

ReportDocument SecurityProfileReport::build(Database &production, const QString &reportDatabasePath,
                                            const QString &layoutPath, const ReportRequest &request)
{
    return ReportJob(production, reportDatabasePath)
        .run(ReportCatalog::of(ReportTypes::SecurityProfile), {}, layoutPath, request);
}
