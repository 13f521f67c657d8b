#include "LineHistory.h"

#include "foundation/Database.h"

#include <QSqlQuery>

namespace {
// The history keeps "Changed At" with its offset, so a time is shown as the plant's clock read
// it when the change was made, wherever it is looked at.
QDateTime recordedTime(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    return time.isValid() ? time : QDateTime::fromString(text, Qt::ISODate);
}

QString valueText(const QVariant &value)
{
    return value.isNull() ? QStringLiteral("\u2014") : value.toString();
}
} // namespace

bool LineHistory::mayView(const QString &securityLevel)
{
    return securityLevel == QLatin1String("B") || securityLevel == QLatin1String("C");
}

void LineHistory::read(qint64 jobId)
{
    m_jobId = jobId;
    m_entries.clear();
    // ("Job ID", "Change ID") is indexed: a line's rows are found without reading the others.
    QSqlQuery query =
        m_db.exec(QStringLiteral(R"(SELECT "Change ID", "Changed At", "Login", "Workstation", "Program",
 "Table Name", "Row Key", "Action", "Field", "Old Value", "New Value", "Date", "Shift",
 "Machine Number", "Job Number" FROM "Change History" WHERE "Job ID" = :job ORDER BY "Change ID" DESC)"),
                  {{QStringLiteral("job"), jobId}});
    while (query.next()) {
        HistoryEntry entry;
        entry.changeId = query.value(QStringLiteral("Change ID")).toLongLong();
        entry.changedAt = query.value(QStringLiteral("Changed At")).toString();
        entry.login = query.value(QStringLiteral("Login")).toString();
        entry.workstation = query.value(QStringLiteral("Workstation")).toString();
        entry.program = query.value(QStringLiteral("Program")).toString();
        entry.table = query.value(QStringLiteral("Table Name")).toString();
        entry.rowKey = query.value(QStringLiteral("Row Key")).toString();
        entry.action = query.value(QStringLiteral("Action")).toString();
        entry.field = query.value(QStringLiteral("Field")).toString();
        entry.oldValue = query.value(QStringLiteral("Old Value"));
        entry.newValue = query.value(QStringLiteral("New Value"));
        entry.date = query.value(QStringLiteral("Date")).toString();
        entry.shift = query.value(QStringLiteral("Shift"));
        entry.machineNumber = query.value(QStringLiteral("Machine Number"));
        entry.jobNumber = query.value(QStringLiteral("Job Number")).toString();
        m_entries.append(entry);
    }
}

QString LineHistory::caption() const
{
    const QString head = QStringLiteral("Job ID %1: ").arg(m_jobId);
    for (const HistoryEntry &entry : m_entries) {
        if (entry.date.isEmpty())
            continue;
        const QDate date = dateFromSql(entry.date);
        return head + QStringLiteral("machine %1, job %2, %3 shift %4")
                          .arg(entry.machineNumber.toString(), entry.jobNumber,
                               date.isValid() ? date.toString(QStringLiteral("MM/dd/yyyy")) : entry.date,
                               entry.shift.toString());
    }
    return head + (m_entries.isEmpty() ? QStringLiteral("no changes recorded") : QStringLiteral("changes"));
}

QString LineHistory::whenText(const HistoryEntry &entry)
{
    const QDateTime time = recordedTime(entry.changedAt);
    return time.isValid() ? time.toString(QStringLiteral("MM/dd/yyyy HH:mm:ss")) : entry.changedAt;
}

QString LineHistory::whoText(const HistoryEntry &entry)
{
    QString text = entry.login;
    if (!entry.workstation.isEmpty())
        text += QStringLiteral(" on ") + entry.workstation;
    // a change made past the program (psql, the sqlite3 shell) is worth noticing
    if (entry.program == QLatin1String("other client"))
        text += QStringLiteral(" (other client)");
    return text;
}

QString LineHistory::recordText(const HistoryEntry &entry)
{
    return entry.table + ' ' + entry.rowKey;
}

QString LineHistory::changeText(const HistoryEntry &entry)
{
    return valueText(entry.oldValue) + QStringLiteral(" \u2192 ") + valueText(entry.newValue);
}
