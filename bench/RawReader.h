#pragma once

#include "foundation/DateShift.h"

#include <QByteArray>
#include <QHash>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// The same rows as the program's per-shift steps, read with the SQLite C API alone: statements
// prepared once, every column of every row read. The yardstick of the benchmark.
class RawReader
{
public:
    explicit RawReader(const QString &path);
    ~RawReader();
    RawReader(const RawReader &) = delete;
    RawReader &operator=(const RawReader &) = delete;

    qint64 lines(const DateShift &dateShift);
    qint64 summaries(const DateShift &dateShift);
    qint64 activeJobs();
    qint64 previousShift(const DateShift &dateShift);
    qint64 nextShift(const DateShift &dateShift);
    void postToNextShift(const DateShift &from, const DateShift &to);

private:
    sqlite3_stmt *statement(const QByteArray &sql);
    QByteArray savedQuery(const char *name);
    void bindText(sqlite3_stmt *stmt, const char *name, const QString &text);
    void bindInt(sqlite3_stmt *stmt, const char *name, qint64 value);
    // Steps through every row, reading every column; returns a sum so nothing is optimized away.
    qint64 readAll(sqlite3_stmt *stmt);
    void run(const QByteArray &sql);

    sqlite3 *m_db = nullptr;
    QHash<QByteArray, sqlite3_stmt *> m_statements;
};
