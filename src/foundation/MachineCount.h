#pragma once

#include <QDateTime>
#include <QString>

// A machine's counter as read for a date-shift's Ending Counts: the count it makes, or why
// there is none.
struct MachineCount
{
    int machine = 0;
    bool answered = false;
    qint64 count = 0;
    QString counter;
    QDateTime machineTime;
    QString message; // in the plant's words, when not answered
};
