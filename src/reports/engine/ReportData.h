#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The rows of one report table, read from the local report database. Values are typed for the
// report: dates stored as ISO text become QDate, whole numbers qlonglong, other numbers double,
// texts QString, Null an invalid QVariant.
class ReportData
{
public:
    ReportData() = default;
    ReportData(QStringList columns, QVector<QVector<QVariant>> rows)
        : m_columns(std::move(columns)), m_rows(std::move(rows))
    {
    }

    // Reads every row of `table` with the fields given (all when none), in the order of the
    // orderBy fields (the report sorts again, so the order only saves work); throws ReportError
    // when the table cannot be read.
    static ReportData read(const QSqlDatabase &db, const QString &table, const QStringList &fields = {},
                           const QStringList &orderBy = {});

    const QStringList &columns() const { return m_columns; }
    const QVector<QVector<QVariant>> &rows() const { return m_rows; }
    QVector<QVector<QVariant>> &rows() { return m_rows; }
    // Position of a field (ignoring case), -1 when the table has none.
    int indexOf(const QString &field) const;

private:
    QStringList m_columns;
    QVector<QVector<QVariant>> m_rows;
};

// The rows of a report table read one at a time, forward only, typed as ReportData's rows are.
class ReportRows
{
public:
    // Runs the query; throws ReportError when the table cannot be read (as ReportData::read).
    ReportRows(const QSqlDatabase &db, const QString &table, const QStringList &fields = {},
               const QStringList &orderBy = {});

    const QStringList &columns() const { return m_columns; }
    // Reads the next row into `row`; false after the last.
    bool next(QVector<QVariant> &row);

private:
    QSqlQuery m_query;
    QStringList m_columns;
    QVector<int> m_kinds; // per column: what its first value that is not Null was
};
