#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

class Database;

// One changed field of the change history, as the History window shows it.
struct HistoryEntry
{
    qint64 changeId = 0;
    QString changedAt; // as recorded: ISO 8601 with milliseconds and the offset
    QString login;
    QString workstation;
    QString program;
    QString table;
    QString rowKey;
    QString action; // insert, change or delete
    QString field;
    QVariant oldValue; // null: there was none (an insert)
    QVariant newValue; // null: there is none (a delete)
    // the line the change belongs to, as it was then
    QString date; // yyyy-mm-dd
    QVariant shift;
    QVariant machineNumber;
    QString jobNumber;
};

// The change history of one job line: the changes of the line itself, its transfer and hold
// tickets, their distribution rows and its rejects, newest first. The rows are written by the
// database's own triggers; here they are only read. Throws DatabaseError.
class LineHistory
{
public:
    explicit LineHistory(Database &db) : m_db(db) {}

    // Who sees a line's history: the quality inspectors and managers, the levels that audit
    // what the supervisors typed.
    static bool mayView(const QString &securityLevel);

    // Reads the line's history.
    void read(qint64 jobId);
    qint64 jobId() const { return m_jobId; }
    const QList<HistoryEntry> &entries() const { return m_entries; }

    // "Job ID 41: machine 12, job 4711-A, 12/09/2026 shift 1", from the newest change that names
    // them (the line may be deleted since); "Job ID 41: no changes recorded" when there is none.
    QString caption() const;

    // What the window shows of an entry.
    static QString whenText(const HistoryEntry &entry);   // "12/09/2026 07:50:12", at the recorded offset
    static QString whoText(const HistoryEntry &entry);    // "jsmith on WS-12", "(other client)" added
    static QString recordText(const HistoryEntry &entry); // "Transfer Table 17"
    static QString changeText(const HistoryEntry &entry); // "120 → 135", "— → 135" for an insert

private:
    Database &m_db;
    qint64 m_jobId = 0;
    QList<HistoryEntry> m_entries;
};
