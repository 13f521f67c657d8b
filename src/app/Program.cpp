#include "Program.h"

#include "foundation/Session.h"
#include "machines/MachineWindows.h"
#include "maintenance/MaintenanceCommands.h"
#include "production/ProductionWindows.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportsMenu.h"
#include "security/SecurityWindows.h"
#include "shell/CommandLine.h"
#include "shell/ConsolePrompter.h"
#include "shell/KelvaraApp.h"
#include "tools/ToolWindows.h"
#include "widgets/MessageBoxPrompter.h"

#include <QCoreApplication>

void registerEveryWindow(WindowRegistry &registry)
{
    registerProductionWindows(registry);
    registerReportWindows(registry);
    registerToolWindows(registry);
    registerMachineWindows(registry);
    registerMaintenanceCommands(registry);
    registerSecurityWindows(registry);
}

int runProgram(int argc, char *argv[])
{
    const auto app = KelvaraApp::createApplication(argc, argv);

    SystemClock clock;
    MessageBoxPrompter boxes;
    ConsolePrompter console;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    Prompter &prompter = CommandLine(arguments).unattended() ? static_cast<Prompter &>(console) : boxes;
    SystemIdentity identity;
    SystemPaths paths;
    FileOps fileOps;
    Session session({clock, prompter, identity, paths, fileOps},
                    std::make_unique<CKelvaraOptions>(paths, ReportCatalog::reportFiles()));

    WindowRegistry windows;
    registerEveryWindow(windows);
    installReportPrinter(session);
    installCounterReader(session);

    return KelvaraApp(session, std::move(windows)).run(arguments);
}
