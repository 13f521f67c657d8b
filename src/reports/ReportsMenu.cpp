#include "ReportsMenu.h"

#include "ReportCatalog.h"
#include "ReportDatabase.h"
#include "ReportOutput.h"
#include "ReportRun.h"
#include "SecurityProfileReport.h"
#include "frmReportParms.h"

#include "foundation/Session.h"
#include "foundation/SharedDatabase.h"
#include "reports/engine/ReportError.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QPrinter>

namespace {
void openReportWindow(const CommandContext &context)
{
    runReportCommand(context, [&context] {
        frmReportParms window(context.session, context.mainWindow);
        if (window.load())
            window.exec();
    });
}

void showSecurityProfile(Session &session)
{
    std::optional<Database> db = openSharedDatabase(session);
    if (!db)
        return;
    ReportDatabase::ensure(session.paths());
    ReportDocument document;
    try {
        WaitCursor wait;
        QString company;
        try {
            company = session.options().CompanyName();
        } catch (const std::exception &) {
            // the heading goes without the company name
        }
        document = SecurityProfileReport::build(
            *db, session.paths().reportDatabasePath(),
            session.paths().inProgramFolder(
                ReportCatalog::of(ReportTypes::SecurityProfile).layouts.first().fileName),
            {{}, {}, company, session.clock().now()});
    } catch (const DatabaseError &error) {
        session.prompter().tell(error.description(), programTitle());
        return;
    } catch (const ReportError &error) {
        session.prompter().tell(error.message(), QStringLiteral("Reporting Error"), MsgIcon::Critical);
        return;
    }
    QPrinter printer;
    try {
        ReportOutput::preview(document, SecurityProfileReport::title(), printer, session,
                              QApplication::activeWindow());
    } catch (const ReportCancelled &) {
        session.prompter().tell(ReportRun::cancelledText(), programTitle(), MsgIcon::Information);
    } catch (const ReportError &error) {
        session.prompter().tell(error.message(), QStringLiteral("Reporting Error"), MsgIcon::Critical);
    }
}
} // namespace

void registerReportWindows(WindowRegistry &registry)
{
    for (const ReportDescriptor &report : ReportCatalog::all()) {
        if (report.type > 0 && report.opensWindow)
            registry.addAction(report.menuCaption.toUpper(), openReportWindow);
    }
}

void installReportPrinter(Session &session)
{
    session.printReport = [&session](const QString &name) {
        if (name == QLatin1String("Security Profile"))
            showSecurityProfile(session);
    };
}

void runReportCommand(const CommandContext &context, const std::function<void()> &reportWindow)
{
    {
        // A report database that cannot be made is passed over: the report window says what fails.
        WaitCursor wait;
        ReportDatabase::ensure(context.session.paths());
    }
    context.session.selectedReportType = context.itemIndex;
    reportWindow();
    context.session.selectedReportType = 0;
}
