#pragma once

#include <QString>

// Times opening a data window on the plant, offscreen, as the main window opens it: from the
// command to the window painted with its rows.
namespace WindowBench {
// Disposition of Hold on the plant file (first brought to `tickets` hold tickets).
void disposition(const QString &plant, qint64 tickets, const QString &folder);
} // namespace WindowBench
