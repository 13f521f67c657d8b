#include "MachineFills.h"

#include <QHash>

QString MachineFill::describe() const
{
    const QString machine = QStringLiteral("Machine %1").arg(reading.machine);
    switch (kind) {
    case Fill:
        return QStringLiteral("%1: Ending Count %2 (%3).")
            .arg(machine)
            .arg(reading.count)
            .arg(reading.counter);
    case Same:
        return QStringLiteral("%1: Ending Count %2 as read already.").arg(machine).arg(reading.count);
    case Differs:
        return QStringLiteral("%1: the counter reads %2, the Ending Count typed is %3.")
            .arg(machine)
            .arg(reading.count)
            .arg(ending);
    case BelowBeginning:
        return QStringLiteral(
                   "%1: the counter reads %2, below the Beginning Count %3 (was the machine's counter "
                   "reset?): the Ending Count was left as it is.")
            .arg(machine)
            .arg(reading.count)
            .arg(beginning);
    case NoAnswer:
        return reading.message;
    }
    return {};
}

QList<int> MachineFill::machinesOf(const QList<JobLine> &lines)
{
    QList<int> machines;
    for (const JobLine &line : lines) {
        if (line.machineNumber && !machines.contains(*line.machineNumber))
            machines << *line.machineNumber;
    }
    return machines;
}

QList<MachineFill> MachineFill::plan(const QList<JobLine> &lines, const QList<MachineCount> &counts)
{
    // The lines come by machine, then in the order they were made: the last one wins.
    QHash<int, const JobLine *> lastLine;
    for (const JobLine &line : lines) {
        if (line.machineNumber)
            lastLine.insert(*line.machineNumber, &line);
    }
    QList<MachineFill> fills;
    for (const MachineCount &count : counts) {
        const JobLine *line = lastLine.value(count.machine);
        if (!line || line->protectedRecord)
            continue;
        MachineFill fill;
        fill.jobId = line->jobId;
        fill.beginning = line->beginningCount;
        fill.ending = line->endingCount;
        fill.reading = count;
        if (!count.answered)
            fill.kind = NoAnswer;
        else if (count.count < line->beginningCount)
            fill.kind = BelowBeginning;
        else if (count.count == line->endingCount)
            fill.kind = Same;
        else if (line->endingCount == 0 || line->endingCount == line->beginningCount)
            fill.kind = Fill;
        else
            fill.kind = Differs;
        fills << fill;
    }
    return fills;
}
