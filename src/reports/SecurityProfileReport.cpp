#include "SecurityProfileReport.h"

#include "ReportJob.h"
#include "ReportTypes.h"

QString SecurityProfileReport::title()
{
    return ReportTypes::securityProfile().previewTitle;
}

ReportDocument SecurityProfileReport::build(Database &production, const QString &reportDatabasePath,
                                            const QString &layoutPath, const ReportRequest &request)
{
    return ReportJob(production, reportDatabasePath)
        .run(ReportTypes::securityProfile(), {}, layoutPath, request);
}
