#pragma once

#include "production/record/EntryResult.h"

#include "foundation/DateShift.h"
#include "foundation/RejectReasons.h"

#include <QList>
#include <QMap>
#include <QVariant>

class Database;

// A production line of the date-shift with its rejects split by reason.
struct RejectsLine
{
    qint64 jobId = 0;
    QDate date;
    int shift = 0;
    QVariant machineNumber;
    QString jobNumber;
    QString jobDescription;
    bool protectedRecord = false;
    RejectReasons::Counts reasons{};
};

// The rejects of a date-shift's production machines (numbers below 100) by reason, against the
// rejects the counts window computed for each line.
class RejectsSheet
{
public:
    explicit RejectsSheet(Database &db) : m_db(db) {}

    // Reads the lines; computed holds the counts window's rejects by Job ID text (a line without
    // an entry has 0).
    void load(const DateShift &dateShift, const QMap<QString, qint32> &computed);
    int count() const { return int(m_lines.size()); }
    const RejectsLine &line(int row) const { return m_lines.at(row); }
    qint64 rejects(int row) const;
    qint64 totalLeft(int row) const;
    bool mayEdit(int row) const;

    // Reason 1..10.
    EntryResult setReason(int row, int reason, const QString &typed);

private:
    void reread(int row);

    Database &m_db;
    QList<RejectsLine> m_lines;
    QMap<QString, qint32> m_computed;
};
