#pragma once

#include <QString>

struct DateShift;

// Times opening a data window on the plant, offscreen, as the main window opens it: from the
// command to the window painted with its rows.
namespace WindowBench {
// Brings the plant file to `tickets` hold tickets and tells how many Disposition of Hold reads
// at its open.
void disposition(const QString &plant, qint64 tickets, const QString &folder);
// Every window of the File menu, each opened through its menu command in a main frame on the
// date-shift, best of five, with the time split into making the window, its load, and showing it
// until its first grid has painted.
void everyWindow(const QString &plant, const DateShift &shift, const QString &folder);
} // namespace WindowBench
