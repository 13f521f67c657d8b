#include "MaintenanceCommands.h"

#include "DatabaseMaintenance.h"

#include "foundation/Pause.h"
#include "foundation/Session.h"
#include "sharing/LockFile.h"
#include "widgets/MenuCommands.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressDialog>
#include <memory>

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
// The lock wait's progress: who holds the database, for how long it has been waited for, and a
// Cancel that ends the wait. The dialog lives as long as the command.
class LockWaitProgress
{
public:
    explicit LockWaitProgress(QWidget *parent) : m_parent(parent) {}

    bool operator()(const LockInfo &lock, int secondsWaited)
    {
        if (!m_dialog) {
            m_dialog = std::make_unique<QProgressDialog>(m_parent);
            m_dialog->setObjectName(QStringLiteral("dlgLockWait"));
            m_dialog->setWindowTitle(LockFile::questionTitle());
            m_dialog->setRange(0, 0); // no end is known: a busy bar
            m_dialog->setMinimumDuration(0);
            m_dialog->setWindowModality(Qt::ApplicationModal);
        }
        m_dialog->setLabelText(QStringLiteral("Waiting for the %1 of %2, started %3, to finish: %4 s")
                                   .arg(lock.operation, lock.who, lock.startedText)
                                   .arg(secondsWaited));
        m_dialog->show();
        QApplication::processEvents();
        return !m_dialog->wasCanceled();
    }

private:
    QWidget *m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
};
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
    auto progress = std::make_shared<LockWaitProgress>(context.mainWindow);
    DatabaseMaintenance::Hooks hooks{
        pauseSeconds,
        [](bool on) {
            if (on)
                QApplication::setOverrideCursor(Qt::WaitCursor);
            else
                QApplication::restoreOverrideCursor();
        },
        [progress](const LockInfo &lock, int seconds) { return (*progress)(lock, seconds); },
        [parent = context.mainWindow](MaintenanceOperation operation, const QString &suggestion) {
            const QString filter = QStringLiteral("Server backups (*.backup);;All files (*)");
            if (operation == MaintenanceOperation::Backup)
                return QFileDialog::getSaveFileName(parent, QStringLiteral("Backup"), suggestion, filter);
            return QFileDialog::getOpenFileName(parent, QStringLiteral("Restore"), suggestion, filter);
        }};
    DatabaseMaintenance(context.session, engine, hooks).run(operation);
}

void registerMaintenanceCommands(WindowRegistry &registry)
{
    namespace C = MenuCommands;
    for (const MenuCommand &command : {C::Backup, C::Restore, C::Repair, C::Compact})
        registry.addAction(command.key(), runMaintenanceCommand);
}
