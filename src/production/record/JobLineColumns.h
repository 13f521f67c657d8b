#pragma once

#include <QStringList>

// The columns a grid of a date-shift's job lines opens with (the counts and the rejects grids):
// its model takes them as its first columns, and numbers its own from FirstOwnColumn on.
struct JobLineColumns
{
    enum : int {
        JobIdColumn,
        DateColumn,
        ShiftColumn,
        MachineColumn,
        JobNumberColumn,
        DescriptionColumn,
        FirstOwnColumn
    };

    // The captions of these columns, in their order.
    static QStringList captions()
    {
        return {QStringLiteral("Job ID"),     QStringLiteral("Date"),
                QStringLiteral("Shift"),      QStringLiteral("Machine Number"),
                QStringLiteral("Job Number"), QStringLiteral("Job Description")};
    }
};
