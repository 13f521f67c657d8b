#pragma once

#include "JobLines.h"

#include "foundation/MachineCount.h"

#include <QList>
#include <QString>

// What a machine's counter does to a line's Ending Count. Nothing read ever overwrites a count
// a person typed without asking, and a counter below the line's Beginning Count (a machine reset,
// a controller replaced) is never stored.
struct MachineFill
{
    enum Kind {
        Fill,           // the Ending Count is still 0 or its Beginning Count: it takes the reading
        Same,           // it holds the reading already
        Differs,        // it holds a typed count that differs: changed only when the user says so
        BelowBeginning, // the reading is lower than the Beginning Count: left for the supervisor
        NoAnswer,       // the machine gave no count
    };
    Kind kind = NoAnswer;
    qint64 jobId = 0;
    qint64 beginning = 0;
    qint64 ending = 0; // as the line holds it now
    MachineCount reading;

    // One line for the user or the command line's output.
    QString describe() const;

    // Each connected machine's count goes to its line of the date-shift; a machine that ran
    // several jobs in the shift counts toward its last line (the others ended at a job change).
    // Protected lines are left out.
    static QList<MachineFill> plan(const QList<JobLine> &lines, const QList<MachineCount> &counts);
    static QList<int> machinesOf(const QList<JobLine> &lines);
};
