#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;
class Session;

// The command line's machine commands, for IT staff who set up a plant by script and for the
// timer at a shift's end:
//   kelvara read-counters --date MM/DD/YYYY --shift N [--database PATH]
//   kelvara set-machine NUMBER [--folder DIR] [--counter NAME] [--cavities N] [--disable] [--database PATH]
//   kelvara machines [--database PATH]
//   kelvara import-monitor-counts FILE [--date MM/DD/YYYY --shift N] [--database PATH]
// They ask nothing, log in as `kelvara report` does and exit with its codes; read-counters exits
// 0 when every connected machine answered and 1 when some did not.
namespace MachineCommands {
bool isMachineCommand(const QStringList &arguments);
// Runs the command the arguments name; nothing when they name none.
std::optional<int> run(Session &session, const QStringList &arguments, QTextStream &out, QTextStream &err);
QString usage();
} // namespace MachineCommands
