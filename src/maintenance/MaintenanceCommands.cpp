#include "MaintenanceCommands.h"

#include "DatabaseMaintenance.h"

#include "foundation/Pause.h"
#include "foundation/Session.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace {
// The windows outside the data windows that keep the production database open.
const QStringList &toolWindowNames()
{
    static const QStringList names = {QStringLiteral("frmColorFeeder"), QStringLiteral("frmCheckSheet")};
    return names;
}

QList<QWidget *> openToolWindows(QWidget *mainWindow)
{
    QList<QWidget *> open;
    const auto *area = mainWindow ? mainWindow->findChild<QMdiArea *>() : nullptr;
    if (!area)
        return open;
    for (QMdiSubWindow *frame : area->subWindowList()) {
        QWidget *window = frame->widget();
        if (window && toolWindowNames().contains(window->objectName()))
            open << window;
    }
    return open;
}
} // namespace

bool closeToolWindows(Session &session, QWidget *mainWindow)
{
    QStringList stillOpen;
    for (QWidget *window : openToolWindows(mainWindow)) {
        QPointer<QWidget> guard(window);
        const QString title = window->windowTitle();
        // A window with a half-typed sheet asks before it lets it go and may stay open.
        if (window->close() && guard)
            delete guard.data();
        if (guard)
            stillOpen << title;
    }
    if (stillOpen.isEmpty())
        return true;
    session.prompter().tell(QStringLiteral("Please close the window \"%1\" first: it has the database open.")
                                .arg(stillOpen.join(QStringLiteral("\", \""))),
                            DatabaseMaintenance::statusTitle(), MsgIcon::Exclamation);
    return false;
}

void runMaintenanceCommand(const CommandContext &context)
{
    const auto operation = MaintenanceOperation(context.itemIndex);
    if (!DatabaseMaintenance::allowedFor(operation, context.session.securityLevel))
        return;
    if (!closeToolWindows(context.session, context.mainWindow))
        return;
    MaintenanceEngine engine;
    DatabaseMaintenance::Hooks hooks{pauseSeconds, [](bool on) {
                                         if (on)
                                             QApplication::setOverrideCursor(Qt::WaitCursor);
                                         else
                                             QApplication::restoreOverrideCursor();
                                     }};
    DatabaseMaintenance(context.session, engine, hooks).run(operation);
}

void registerMaintenanceCommands(WindowRegistry &registry)
{
    for (const char *command : {"&BACKUP", "&RESTORE", "RE&PAIR", "&COMPACT"})
        registry.addAction(QString::fromLatin1(command), runMaintenanceCommand);
}
