#include "MachineStore.h"

#include "foundation/Database.h"

#include <QSettings>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {
const QString kMachineTimeFormat = QStringLiteral("yyyyMMdd hh:mm:ss");

MachineLink linkFrom(const QSqlQuery &query)
{
    MachineLink link;
    link.machine = query.value(0).toInt();
    link.folder = query.value(1).toString();
    link.counter = query.value(2).toString();
    link.cavities = query.value(3).toInt();
    link.enabled = query.value(4).toInt() != 0;
    return link;
}

const QString kSelect =
    QStringLiteral("SELECT \"Machine Number\", \"Session Folder\", \"Counter\", \"Cavities\", \"Enabled\" "
                   "FROM \"Machine Connections\"");
} // namespace

QList<MachineLink> MachineStore::links() const
{
    QList<MachineLink> links;
    QSqlQuery query = m_db.exec(kSelect + QStringLiteral(" ORDER BY \"Machine Number\""));
    while (query.next())
        links << linkFrom(query);
    return links;
}

std::optional<MachineLink> MachineStore::link(int machine) const
{
    QSqlQuery query = m_db.exec(kSelect + QStringLiteral(" WHERE \"Machine Number\" = :machine"),
                                {{QStringLiteral("machine"), machine}});
    if (!query.next())
        return std::nullopt;
    return linkFrom(query);
}

void MachineStore::save(const MachineLink &link)
{
    m_db.exec(QStringLiteral(
                  "INSERT INTO \"Machine Connections\" (\"Machine Number\", \"Session Folder\", \"Counter\", "
                  "\"Cavities\", \"Enabled\") VALUES (:machine, :folder, :counter, :cavities, :enabled) "
                  "ON CONFLICT (\"Machine Number\") DO UPDATE SET \"Session Folder\" = :folder, "
                  "\"Counter\" = :counter, \"Cavities\" = :cavities, \"Enabled\" = :enabled"),
              {{QStringLiteral("machine"), link.machine},
               {QStringLiteral("folder"), link.folder},
               {QStringLiteral("counter"), link.counter},
               {QStringLiteral("cavities"), std::max(1, link.cavities)},
               {QStringLiteral("enabled"), link.enabled ? 1 : 0}});
}

bool MachineStore::remove(int machine)
{
    const QSqlQuery query =
        m_db.exec(QStringLiteral("DELETE FROM \"Machine Connections\" WHERE \"Machine Number\" = "
                                 ":machine"),
                  {{QStringLiteral("machine"), machine}});
    return query.numRowsAffected() > 0;
}

QList<MachineLink> MachineStore::enabledOf(const QList<int> &machines) const
{
    QList<MachineLink> enabled;
    for (const MachineLink &link : links()) {
        if (link.enabled && machines.contains(link.machine))
            enabled << link;
    }
    return enabled;
}

QHash<int, QDateTime> MachineStore::latestMachineTimes(const QList<int> &machines) const
{
    QHash<int, QDateTime> latest;
    for (const int machine : machines) {
        QSqlQuery query =
            m_db.exec(QStringLiteral("SELECT max(\"Machine Time\") FROM \"Machine Readings\" WHERE "
                                     "\"Machine Number\" = :machine"),
                      {{QStringLiteral("machine"), machine}});
        if (query.next() && !query.value(0).isNull())
            latest.insert(machine, QDateTime::fromString(query.value(0).toString(), kMachineTimeFormat));
    }
    return latest;
}

void MachineStore::keep(const QList<CounterReading> &readings, const DateShift &dateShift,
                        const Reader &reader)
{
    Transaction transaction(m_db);
    for (const CounterReading &reading : readings) {
        for (const auto &[parameter, value] : reading.values) {
            m_db.exec(
                QStringLiteral("INSERT INTO \"Machine Readings\" (\"Machine Number\", \"Date\", \"Shift\", "
                               "\"Parameter\", "
                               "\"Value\", \"Machine Time\", \"Read At\", \"Read By\", \"Workstation\", "
                               "\"Session File\") "
                               "VALUES (:machine, :date, :shift, :parameter, :value, :machineTime, :readAt, "
                               ":readBy, :workstation, :sessionFile)"),
                {{QStringLiteral("machine"), reading.machine},
                 {QStringLiteral("date"), sqlDate(dateShift.date)},
                 {QStringLiteral("shift"), dateShift.shift},
                 {QStringLiteral("parameter"), parameter},
                 {QStringLiteral("value"), value},
                 {QStringLiteral("machineTime"), reading.machineTime.isValid()
                                                     ? reading.machineTime.toString(kMachineTimeFormat)
                                                     : QVariant()},
                 {QStringLiteral("readAt"), reader.at.toString(Qt::ISODate)},
                 {QStringLiteral("readBy"), reader.login},
                 {QStringLiteral("workstation"), reader.workstation},
                 {QStringLiteral("sessionFile"), reading.sessionFile}});
        }
    }
    transaction.commit();
}

QList<MachineCount> MachineStore::countsOf(const QList<CounterReading> &readings)
{
    QList<MachineCount> counts;
    for (const CounterReading &reading : readings)
        counts << MachineCount{reading.machine, reading.answered,    reading.count,
                               reading.counter, reading.machineTime, reading.message};
    return counts;
}

WaitSettings MachineStore::waitFrom(const QSettings &options)
{
    WaitSettings wait;
    const int seconds = options.value(QStringLiteral("Machines/TimeoutSeconds"), 120).toInt();
    wait.timeoutMs = std::clamp(seconds, 1, 3600) * 1000;
    return wait;
}
