#pragma once

class QWidget;
class Session;
class WindowRegistry;
struct CommandContext;

// Registers the four commands of the Database menu: Backup, Restore, Repair, Compact.
void registerMaintenanceCommands(WindowRegistry &registry);

// Closes the windows of the main frame that hold a connection to the production database while
// the Database menu is enabled (the color feeder and check sheet windows). False, after telling
// the user which ones, when one of them stays open.
bool closeToolWindows(Session &session, QWidget *mainWindow);

// One Database menu command, by its item index (1 Backup ... 4 Compact).
void runMaintenanceCommand(const CommandContext &context);
