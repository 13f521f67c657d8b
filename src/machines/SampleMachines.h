#pragma once

#include "MachineSimulator.h"

#include <QString>
#include <memory>

class Database;

// The simulated machines of the sample plant: each machine of its job lines without a connection
// gets one, on a session folder under folderRoot, and is played in the background while the
// program runs, its counter a little ahead of the machine's last count. Machine 20 is offline,
// to show what a machine that cannot be read looks like.
namespace SampleMachines {
std::unique_ptr<SimulatedPlant> start(Database &db, const QString &folderRoot);
}
