#pragma once

#include "MachineReader.h"

#include "foundation/DateShift.h"
#include "foundation/MachineCount.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <optional>

class Database;
class QSettings;

// The machine connections and the readings kept of them, in the production database so that
// every workstation reads the same.
class MachineStore
{
public:
    explicit MachineStore(Database &db) : m_db(db) {}

    QList<MachineLink> links() const;
    std::optional<MachineLink> link(int machine) const;
    // Adds the machine's connection or changes it.
    void save(const MachineLink &link);
    bool remove(int machine);

    // The enabled connections of these machines, in their order.
    QList<MachineLink> enabledOf(const QList<int> &machines) const;
    // The machine's own time of the latest reading kept of each machine.
    QHash<int, QDateTime> latestMachineTimes(const QList<int> &machines) const;

    // Who read, where and when.
    struct Reader
    {
        QString login;
        QString workstation;
        QDateTime at;
    };
    // Keeps every value each answered reading gave, a row each, in one transaction.
    void keep(const QList<CounterReading> &readings, const DateShift &dateShift, const Reader &reader);

    // The readings as the counts take them.
    static QList<MachineCount> countsOf(const QList<CounterReading> &readings);
    // The reader with the wait set in the options (Machines/TimeoutSeconds, 120 by default).
    static WaitSettings waitFrom(const QSettings &options);

private:
    Database &m_db;
};
