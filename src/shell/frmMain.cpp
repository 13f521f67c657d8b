#include "frmMain.h"

#include "StartupSequence.h"
#include "foundation/Session.h"
#include "frmDateShift.h"
#include "frmSplash.h"
#include "maintenance/DatabaseMaintenance.h"
#include "sharing/DatabaseRepair.h"
#include "sharing/frmCurrentUsers.h"
#include "widgets/MenuCommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

namespace {
QString commandOf(const QAction *item)
{
    return item->text().toUpper();
}
} // namespace

frmMain::frmMain(Session &session, WindowRegistry registry, QWidget *parent)
    : QMainWindow(parent), m_session(session), m_presence(session), m_registry(std::move(registry)),
      m_openDocument([](const QUrl &url) { return QDesktopServices::openUrl(url); }),
      m_chooseDocument([this](const QString &start) {
          return QFileDialog::getOpenFileName(this, QStringLiteral("Production Schedule"), start,
                                              QStringLiteral("Documents (*.doc *.docx *.odt *.rtf *.pdf);;"
                                                             "All files (*)"));
      })
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quorvel Plastics Kelvara"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setBackground(palette().brush(QPalette::Dark));
    // Windows tiled at their minimum size may reach below the frame: it scrolls to them.
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &frmMain::rebuildWindowList);

    buildMenus();
    installSessionHooks();
    registerOwnCommands();
    updateMenuState();
    // Every child window closes from the keyboard, whichever of its controls has the focus and
    // whether it is a data window or not.
    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setObjectName(QStringLiteral("closeWindow"));
        connect(shortcut, &QShortcut::activated, this, &frmMain::closeActiveWindow);
    }
    // The plant runs it maximized; this is the size it has when the desktop does not maximize it.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size());
    else
        resize(1280, 800);
}

frmMain::~frmMain()
{
    // The child windows are destroyed after this window's members: nothing of theirs may call back.
    disconnect(m_mdi, nullptr, this, nullptr);
    // Closed ones too: a window closed by its keys is deleted later, maybe only with this one.
    for (QMdiSubWindow *frame : m_mdi->findChildren<QMdiSubWindow *>()) {
        if (frame->widget())
            disconnect(frame->widget(), nullptr, this, nullptr);
    }
    // The session outlives this window: take back everything that calls into it.
    disconnect(&m_session, nullptr, this, nullptr);
    m_session.setDateShiftChooser({});
    m_session.setRepairHandler({});
    m_session.setWindowCloser({});
    m_session.setExclusiveAccessCheck({});
    m_session.setExclusiveAccessEnd({});
    m_session.setWindowOpener({});
    // A greeting still up when the program ends goes with the main window.
    delete m_splash.data();
}

void frmMain::registerOwnCommands()
{
    namespace C = MenuCommands;
    m_registry.addAction(C::Exit.key(), [this](const CommandContext &) { close(); });
    m_registry.addAction(C::Schedule.key(), [this](const CommandContext &) { openProductionSchedule(); });
    m_registry.addAction(C::Cascade.key(), [this](const CommandContext &) { m_mdi->cascadeSubWindows(); });
    m_registry.addAction(C::Tile.key(), [this](const CommandContext &) { tileHorizontally(); });
    m_registry.addAction(C::ArrangeIcons.key(), [this](const CommandContext &) { arrangeIcons(); });
}

void frmMain::installSessionHooks()
{
    m_session.setDateShiftChooser([this] {
        // The chooser is made at its first use, not at start-up (its calendar is a good part of the
        // main window's making), and only hidden after use, so it keeps its last entries.
        if (!m_dateShift)
            m_dateShift = new frmDateShift(m_session, this);
        m_dateShift->choose();
    });
    m_session.setRepairHandler([this] { DatabaseRepair(m_session).run(); });
    m_session.setWindowCloser([this](QObject *except) { return closeWindowsExcept(except); });
    m_session.setExclusiveAccessCheck([this](bool offerCancel) {
        return m_presence.checkExclusiveAccess(
            offerCancel, [this](bool offer) { return frmCurrentUsers::ask(m_session, offer, this); });
    });
    m_session.setExclusiveAccessEnd(
        [this](const std::function<void()> &meanwhile) { m_presence.endExclusiveAccess(meanwhile); });
    m_session.setWindowOpener([this](const QString &command) {
        const WindowDescriptor *descriptor = m_registry.window(command);
        return descriptor && openWindow(*descriptor);
    });
    connect(&m_session, &Session::openDataFormsChanged, this, &frmMain::updateDatabaseMenu);
}

void frmMain::buildMenus()
{
    for (const Menu &layout : MenuLayout::menus()) {
        QMenu *menu = menuBar()->addMenu(layout.caption);
        menu->setObjectName(layout.objectName);
        menu->menuAction()->setObjectName(layout.objectName);
        m_menus.insert(layout.objectName, menu);
        for (int i = 0; i < layout.items.size(); ++i) {
            const MenuItem &item = layout.items[i];
            QAction *action = item.caption.isEmpty() ? menu->addSeparator() : menu->addAction(item.caption);
            action->setObjectName(item.objectName);
            action->setData(i + 1);
            if (!item.shortcut.isEmpty())
                action->setShortcut(QKeySequence(item.shortcut));
            m_items.insert(item.objectName, action);
            m_designEnabled.insert(item.objectName, item.designEnabled);
        }
    }
    for (const QString &name :
         {QStringLiteral("mnuFile"), QStringLiteral("mnuReports"), QStringLiteral("mnuTools"),
          QStringLiteral("mnuDatabase"), QStringLiteral("mnuWindow")}) {
        QMenu *menu = m_menus[name];
        connect(menu, &QMenu::triggered, this, [this, menu](QAction *item) { runCommand(menu, item); });
    }
    connect(m_menus[QStringLiteral("mnuWindow")], &QMenu::aboutToShow, this, &frmMain::rebuildWindowList);
}

bool frmMain::load()
{
    auto *splash = new frmSplash;
    m_splash = splash;
    StartupHooks hooks;
    hooks.busy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    hooks.applyMenuRights = [this](const QString &level) { applyMenuRights(level); };
    hooks.loggedIn = [this] {
        m_presence.enter();
        // A server restart drops every copy's presence lock; each takes it again within a minute.
        auto *keepPresence = new QTimer(this);
        connect(keepPresence, &QTimer::timeout, this, [this] { m_presence.keepHeld(); });
        keepPresence->start(60 * 1000);
        disableRefusedDatabaseCommands();
    };
    hooks.showGreeting = [splash](const QString &text) { splash->showGreeting(text); };
    StartupSequence startup(m_session, hooks);
    const bool ready = startup.run() == StartupSequence::Outcome::Ready;
    m_exitCode = startup.exitCode();
    // The greeting stays up a moment after start-up so that it can be read; a click closes it.
    if (ready && splash->isVisible())
        QTimer::singleShot(2500, splash, &QWidget::close);
    else
        splash->close();
    return ready;
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The start-up window stays above the frame while its greeting is still up.
    if (m_splash)
        m_splash->raise();
}

void frmMain::activate()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    show();
    raise();
    activateWindow();
}

void frmMain::registerWindow(WindowDescriptor descriptor)
{
    m_registry.addWindow(std::move(descriptor));
    updateMenuState();
}

void frmMain::registerAction(const QString &command, CommandAction action)
{
    m_registry.addAction(command, std::move(action));
    updateMenuState();
}

bool frmMain::commandAvailable(const QString &command) const
{
    return m_registry.contains(command);
}

void frmMain::applyMenuRights(const QString &level)
{
    // A level other than the four known ones leaves the menus in their design state.
    m_rights = MenuLayout::rightsFor(level);
    updateMenuState();
}

QAction *frmMain::menuItem(const QString &objectName) const
{
    return m_items.value(objectName);
}

QMenu *frmMain::menu(const QString &objectName) const
{
    return m_menus.value(objectName);
}

void frmMain::updateMenuState()
{
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it) {
        QAction *item = it.value();
        if (item->isSeparator())
            continue;
        bool enabled = m_designEnabled.value(it.key());
        if (m_rights && m_rights->contains(it.key()))
            enabled = m_rights->value(it.key());
        const QString command = commandOf(item);
        item->setEnabled(enabled && commandAvailable(command) && !m_disabledForRun.contains(it.key()) &&
                         !m_openSingles.contains(command));
    }
    updateDatabaseMenu();
}

void frmMain::disableRefusedDatabaseCommands()
{
    // On a server, a command the login's level has in the menu but the server does not let it run
    // is disabled, with why and the administrator's command as its tip.
    const QMap<MaintenanceOperation, QString> refusals =
        DatabaseMaintenance::serverRefusals(m_session.options().DatabaseName(), m_session.securityLevel);
    QMenu *database = m_menus[QStringLiteral("mnuDatabase")];
    database->setToolTipsVisible(true);
    for (auto it = refusals.cbegin(); it != refusals.cend(); ++it) {
        const QString name = MenuLayout::itemName(database->objectName(), int(it.key()));
        m_items[name]->setToolTip(it.value());
        m_items[name]->setStatusTip(it.value());
        m_disabledForRun.insert(name);
    }
    updateMenuState();
}

void frmMain::updateDatabaseMenu()
{
    // No whole-file operation while a data window is open or opening.
    m_menus[QStringLiteral("mnuDatabase")]->menuAction()->setEnabled(m_session.openDataForms() == 0 &&
                                                                     !m_opening);
}

void frmMain::runCommand(QMenu *menu, QAction *item)
{
    const QString command = commandOf(item);
    if (const WindowDescriptor *descriptor = m_registry.window(command)) {
        openWindow(*descriptor);
        return;
    }
    const CommandAction action = m_registry.action(command);
    if (!action)
        return;
    // A command's own dialog is modal: its menu stays disabled until the command is done.
    QPointer<QAction> menuAction(menu->menuAction());
    menuAction->setEnabled(false);
    action({m_session, this, item->data().toInt()});
    if (menuAction) {
        menuAction->setEnabled(true);
        updateDatabaseMenu();
    }
}

void frmMain::openProductionSchedule()
{
    QString path = m_session.options().SchedulePath();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        path = chooseSchedule(path);
        if (path.isEmpty())
            return;
    }
    if (m_openDocument(QUrl::fromLocalFile(path)))
        return;
    // The document is there: the word processor that opens it is not.
    m_session.prompter().ask(
        {QStringLiteral("Unable to load Microsoft Word.  This function cannot be performed."),
         QStringLiteral("OLE Automation Error"), MsgIcon::Information, MsgButtons::OkCancel});
    m_disabledForRun.insert(MenuCommands::Schedule.objectName());
    updateMenuState();
}

QString frmMain::chooseSchedule(const QString &path)
{
    const QString why = path.isEmpty()
                            ? QStringLiteral("No production schedule document is set.")
                            : QStringLiteral("The production schedule document '%1' does not exist.")
                                  .arg(QDir::toNativeSeparators(path));
    const MsgAnswer answer = m_session.prompter().ask({why + QStringLiteral("  Choose the document now?"),
                                                       QStringLiteral("Production Schedule"),
                                                       MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return {};
    const QString chosen = m_chooseDocument(path.isEmpty() ? QString() : QFileInfo(path).absolutePath());
    if (!chosen.isEmpty())
        m_session.options().setSchedulePath(chosen);
    return chosen;
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // Child windows go first, the most recent one first; each runs its own unload and may refuse.
    const QList<QMdiSubWindow *> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        if (!(*it)->close()) {
            event->ignore();
            return;
        }
    }
    m_presence.leave();
    event->accept();
}
