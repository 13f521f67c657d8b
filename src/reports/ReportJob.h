#pragma once

#include "ReportCatalog.h"
#include "reports/engine/ReportDocument.h"

#include <QVariantMap>

class Database;

// One run of a report up to the finished document: stage the rows into the report table of the
// local report database, read them into the layout, and drop the table again (also when a step
// failed). The document holds everything the outputs need, so the table is gone before the
// preview opens.
class ReportJob
{
public:
    ReportJob(Database &production, QString reportDatabasePath);

    // Throws DatabaseError when staging fails (a leftover table is dropped and staging retried
    // once first) and ReportError when the layout or the selection formula cannot be used.
    ReportDocument run(const ReportDescriptor &type, const QVariantMap &parameters, const QString &layoutPath,
                       const ReportRequest &request);

    // Rows staged by the last run.
    qint64 stagedRows() const { return m_staged; }

private:
    Database &m_db;
    QString m_reportDatabasePath;
    qint64 m_staged = 0;
};
