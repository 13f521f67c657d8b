#pragma once

#include <functional>

struct CommandContext;
class WindowRegistry;

// Registers the reports behind the Reports menu.
void registerReportWindows(WindowRegistry &registry);

// What every item of the Reports menu does around its report window: the local report database
// is made when missing, and the item's position is the selected report while the window is open.
void runReportCommand(const CommandContext &context, const std::function<void()> &reportWindow);
