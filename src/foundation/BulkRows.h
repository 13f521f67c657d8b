#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

class Database;

// Rows written to one table in bulk, inside the caller's transaction, the way the engine takes
// them fastest (SqlDialect::bulkRows hands out the engine's): a file's as INSERTs of many rows
// each, a server's as one COPY ... FROM STDIN. The rows go in as given, keys included.
class BulkRows
{
public:
    virtual ~BulkRows() = default;
    // One row, a value for each column in the order given.
    virtual void add(const QVariantList &row) = 0;
    // Writes what is still held. What the engine refuses (a row that breaks a constraint) throws
    // a DatabaseError that names the table and carries the engine's words; the rows of the table
    // are then not written, and the caller's transaction can only be rolled back.
    virtual void finish() = 0;

    // The columns as a statement lists them: each name double-quoted, comma-separated.
    static QString columnList(const QStringList &names);

    // INSERTs of up to 500 rows (and 30,000 values) each.
    static std::unique_ptr<BulkRows> inserts(Database &db, const QString &table, const QStringList &columns);
    // A PostgreSQL COPY in its text format; binary marks the columns that are bytea.
    static std::unique_ptr<BulkRows> serverCopy(Database &db, const QString &table,
                                                const QStringList &columns, const QList<bool> &binary);
};
