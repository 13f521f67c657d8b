#include "CustomerReportParts.h"

#include "foundation/Database.h"

CustomerReportParts::CustomerReportParts(Database &production, QString customer)
    : m_db(production), m_customer(std::move(customer))
{
}

QStringList CustomerReportParts::parts() const
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT \"Job Number\" FROM \"Customer Report Parts\""
                                               " WHERE \"Customer\" = :c ORDER BY \"Job Number\""),
                                {{QStringLiteral("c"), m_customer}});
    QStringList parts;
    while (query.next())
        parts << query.value(0).toString();
    return parts;
}

QStringList CustomerReportParts::otherJobs() const
{
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT j.\"Job Number\" FROM \"Job Lookup Table\" j WHERE NOT EXISTS"
                                 " (SELECT 1 FROM \"Customer Report Parts\" c WHERE c.\"Customer\" = :c"
                                 " AND c.\"Job Number\" = j.\"Job Number\") ORDER BY j.\"Job Number\""),
                  {{QStringLiteral("c"), m_customer}});
    QStringList jobs;
    while (query.next())
        jobs << query.value(0).toString();
    return jobs;
}

bool CustomerReportParts::add(const QString &jobNumber)
{
    const QSqlQuery query = m_db.exec(
        QStringLiteral("INSERT INTO \"Customer Report Parts\" (\"Customer\", \"Job Number\")"
                       " SELECT :c, \"Job Number\" FROM \"Job Lookup Table\" WHERE \"Job Number\" = :j"
                       " ON CONFLICT DO NOTHING"),
        {{QStringLiteral("c"), m_customer}, {QStringLiteral("j"), jobNumber}});
    return query.numRowsAffected() > 0;
}

bool CustomerReportParts::remove(const QString &jobNumber)
{
    const QSqlQuery query = m_db.exec(
        QStringLiteral(
            "DELETE FROM \"Customer Report Parts\" WHERE \"Customer\" = :c AND \"Job Number\" = :j"),
        {{QStringLiteral("c"), m_customer}, {QStringLiteral("j"), jobNumber}});
    return query.numRowsAffected() > 0;
}
