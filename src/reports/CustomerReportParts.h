#pragma once

#include <QString>
#include <QStringList>

class Database;

// Which parts (job numbers) each customer's daily report prints, kept in the production database's
// [Customer Report Parts]. Throws DatabaseError.
class CustomerReportParts
{
public:
    CustomerReportParts(Database &production, QString customer);

    QString customer() const { return m_customer; }
    // The customer's parts in job number order.
    QStringList parts() const;
    // Every job of the Job Lookup Table not on the customer's report yet.
    QStringList otherJobs() const;
    // Adding a part already there, or removing one no longer there (another workstation was
    // quicker), changes nothing; false then.
    bool add(const QString &jobNumber);
    bool remove(const QString &jobNumber);

private:
    Database &m_db;
    QString m_customer;
};
