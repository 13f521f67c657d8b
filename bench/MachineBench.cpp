#include "MachineBench.h"

#include "foundation/Database.h"
#include "machines/MachineReader.h"
#include "machines/MachineSimulator.h"
#include "machines/MachineStore.h"
#include "production/counts/CountsSheet.h"
#include "production/record/ProductionSummaries.h"

#include <QDir>
#include <QElapsedTimer>

#include <algorithm>

double MachineBench::readCounters(Database &db, const DateShift &dateShift, const QString &folder)
{
    JobLines lines(db);
    MachineStore store(db);
    QList<SimulatedMachine> played;
    for (const int machine : MachineFill::machinesOf(lines.of(dateShift))) {
        SimulatedMachine simulated;
        simulated.machine = machine;
        simulated.folder = QDir(folder).filePath(QStringLiteral("M%1").arg(machine));
        simulated.cycles = 500000000; // above every Beginning Count the generator writes
        QDir().mkpath(simulated.folder);
        store.save({machine, simulated.folder});
        played << simulated;
    }
    const SimulatedPlant plant(played);
    ClassIdGenerator ids;
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = 0 WHERE \"Date\" = :d AND "
                               "\"Shift\" = :s"),
                {{QStringLiteral("d"), sqlDate(dateShift.date)}, {QStringLiteral("s"), dateShift.shift}});
        ProductionSummaries summaries(ids);
        CountsSheet sheet(summaries);
        sheet.setRights({true, true});
        sheet.setLines(lines.of(dateShift));
        QElapsedTimer timer;
        timer.start();
        // What the button does: the connections, the readings in parallel, kept, then the grid filled.
        QList<JobLine> shown;
        for (int row = 0; row < sheet.count(); ++row)
            shown << sheet.line(row);
        const QList<int> machines = MachineFill::machinesOf(shown);
        const QList<CounterReading> readings =
            MachineReader().readAll(store.enabledOf(machines), store.latestMachineTimes(machines));
        store.keep(readings, dateShift,
                   {QStringLiteral("bench"), QStringLiteral("bench"), QDateTime::currentDateTime()});
        const CountsSheet::MachineResult result =
            sheet.applyMachineFills(lines, MachineFill::plan(shown, MachineStore::countsOf(readings)), false);
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        if (!result.notStored.isEmpty())
            throw DatabaseError(DbErrors::Other, QStringLiteral("%1 counts filled, not: %2")
                                                     .arg(result.stored)
                                                     .arg(result.notStored.join(QLatin1Char(' '))));
    }
    return best;
}
