#include "ReportsMenu.h"

#include "ReportDatabase.h"

#include "foundation/Session.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowRegistry.h"

void registerReportWindows(WindowRegistry &registry)
{
    // No report window is part of the program yet: the Reports menu stays disabled.
    (void)registry;
}

void runReportCommand(const CommandContext &context, const std::function<void()> &reportWindow)
{
    {
        // A report database that cannot be made is passed over: the report window says what fails.
        WaitCursor wait;
        ReportDatabase::ensure(context.session.paths());
    }
    context.session.selectedReportIndex = context.itemIndex;
    reportWindow();
    context.session.selectedReportIndex = 0;
}
