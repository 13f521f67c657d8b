#pragma once

#include <functional>

struct CommandContext;
class Session;
class WindowRegistry;

// Registers the reports behind the Reports menu: each item whose report is part of the program
// opens the report parameters window for it.
void registerReportWindows(WindowRegistry &registry);

// Installs Session::printReport, through which windows of other folders (the security window)
// show a report by its name.
void installReportPrinter(Session &session);

// What every item of the Reports menu does around its report window: the local report database
// is made when missing, and the item's position is the selected report while the window is open.
void runReportCommand(const CommandContext &context, const std::function<void()> &reportWindow);
