#pragma once

#include "foundation/Database.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// Copies a report's rows into its table of the local report database by running a staging saved
// query of the production database, and drops the table again afterwards.
//
// On a file the report database is attached to the production connection as "Reports" for as
// long as this object lives, and the saved query ("CREATE TABLE [Reports].[table] AS SELECT ...")
// runs as it stands. On a server there is nothing to attach: the saved query's SELECT runs on the
// server with the same parameters and its rows are written into the table of the report
// database, opened on a connection of its own, in one transaction.
class ReportStaging
{
public:
    // A staging query taken apart for the server: the table of the report database it writes, the
    // columns an INSERT names, and the SELECT that reads the rows.
    struct Statement
    {
        bool creates = false; // CREATE TABLE [Reports].[table] AS SELECT ...; else INSERT INTO
        QString table;
        QStringList columns;
        QString select;
        // Nothing when the text is neither form.
        static std::optional<Statement> parse(const QString &sql);
    };

    // Throws DatabaseError when the report database cannot be attached or opened.
    ReportStaging(Database &production, const QString &reportDatabasePath);
    ~ReportStaging();
    ReportStaging(const ReportStaging &) = delete;
    ReportStaging &operator=(const ReportStaging &) = delete;

    // Runs the saved query. A table left over from an earlier run (3010) is dropped and the query
    // run once more. Returns the number of rows staged; other errors reach the caller.
    qint64 stage(const QString &savedQuery, const QString &table, const QVariantMap &params);
    // Drops the report table; every error is passed over.
    void cleanUp(const QString &table) noexcept;

    // The connection on which the report tables are read by their plain names (the layouts'
    // "table"): the production connection with the report database attached, or the report
    // database's own.
    Database &reports();
    QSqlDatabase reportConnection() { return reports().connection(); }

private:
    qint64 stageFromServer(const QString &savedQuery, const QString &table, const QVariantMap &params);

    Database &m_db;
    bool m_attached = false;
    std::optional<Database> m_reports; // the report database, on a server only
};
