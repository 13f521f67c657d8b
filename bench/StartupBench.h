#pragma once

#include <QString>

// Times the program's start-up to its main window painted, each start a process of its own,
// beside a bare Qt main window with the same menus over an MDI area, started the same way.
namespace StartupBench {
// The child's side: `which` is "program" or "bare"; prints "shown" at the main window's first
// paint and ends. Runs before any QApplication exists.
int child(int argc, char *argv[], const char *which);
// Starts both children in turn in their own home and temporary folders under `folder`.
void run(const QString &benchProgram, const QString &folder);
} // namespace StartupBench
