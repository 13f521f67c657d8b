#pragma once

#include "production/record/EntryResult.h"

#include "foundation/DateShift.h"
#include "foundation/RejectReasons.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QVariant>

class Database;
class ProductionSummaries;

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
    qint64 beginningCount = 0;
    qint64 endingCount = 0;
    qint64 matecCount = 0;
    bool operator==(const RejectsLine &) const = default;
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
    // Reads the lines again for what other workstations stored, and computes each line's rejects
    // from its counts and tickets as the counts window does (summaries: filled here). The line of
    // heldJobId (typed into now) keeps the reasons it was read with, so that its save still finds
    // a change made elsewhere. True when it was held back with other values.
    bool refresh(ProductionSummaries &summaries, qint64 heldJobId);
    int count() const { return int(m_lines.size()); }
    QList<qint64> jobIds() const;
    int rowOf(qint64 jobId) const;
    const RejectsLine &line(int row) const { return m_lines.at(row); }
    qint64 rejects(int row) const;
    qint64 totalLeft(int row) const;
    bool mayEdit(int row) const;

    // Reason 1..10.
    EntryResult setReason(int row, int reason, const QString &typed);

private:
    void reread(int row);

    Database &m_db;
    QList<RejectsLine> readLines() const;

    DateShift m_dateShift;
    QList<RejectsLine> m_lines;
    QHash<qint64, qint64> m_computed; // rejects by Job ID
};
