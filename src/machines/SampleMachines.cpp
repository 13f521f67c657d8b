#include "SampleMachines.h"

#include "MachineStore.h"

#include "foundation/Database.h"

#include <QDir>
#include <QSqlQuery>

std::unique_ptr<SimulatedPlant> SampleMachines::start(Database &db, const QString &folderRoot)
{
    MachineStore store(db);
    QList<SimulatedMachine> played;
    QSqlQuery query =
        db.exec(QStringLiteral("SELECT \"Machine Number\", max(\"Beginning Count\"), max(\"Ending Count\") "
                               "FROM \"Production Table\" WHERE \"Machine Number\" IS NOT NULL GROUP BY "
                               "\"Machine Number\" ORDER BY \"Machine Number\""));
    QList<QPair<int, qint64>> machines;
    while (query.next())
        machines << qMakePair(query.value(0).toInt(),
                              std::max(query.value(1).toLongLong(), query.value(2).toLongLong()));
    query.finish();
    for (const auto &[machine, count] : machines) {
        const QString folder =
            QDir(folderRoot).filePath(QStringLiteral("M%1").arg(machine, 2, 10, QLatin1Char('0')));
        std::optional<MachineLink> link = store.link(machine);
        if (!link) {
            link = MachineLink{machine, folder};
            store.save(*link);
        }
        // Only the folders made for the sample are played; a connection set up by hand stays real.
        if (link->folder != folder || !QDir().mkpath(folder))
            continue;
        SimulatedMachine simulated;
        simulated.folder = folder;
        simulated.machine = machine;
        simulated.cycles = count / simulated.cavities + 150 + machine * 7;
        simulated.fault = machine == 20 ? SimulatedMachine::Fault::Offline : SimulatedMachine::Fault::None;
        played << simulated;
    }
    return played.isEmpty() ? nullptr : std::make_unique<SimulatedPlant>(played);
}
