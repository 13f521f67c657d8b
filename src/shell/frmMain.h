#pragma once

#include "MenuLayout.h"
#include "sharing/Presence.h"
#include "widgets/WindowRegistry.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <functional>
#include <optional>

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QUrl;
class Session;
class frmDateShift;
class frmSplash;

// "Quorvel Plastics Kelvara": the frame every working window opens in, with the menus of the
// program. Which commands a user may use is set at login by the security level; a command whose
// window is not part of the program yet stays disabled.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    // The registry holds every folder's windows and operations behind the menu commands.
    explicit frmMain(Session &session, WindowRegistry registry = {}, QWidget *parent = nullptr);
    ~frmMain() override;

    // Loads the date and shift chooser, then runs the start-up sequence behind the start-up
    // window. False when the program is to end, with exitCode().
    bool load();
    int exitCode() const { return m_exitCode; }

    // A second copy of the program asked for this one.
    void activate();

    // Runs the window's load and, when it stays open, shows it inside the frame. False when the
    // window closed itself while loading (it is deleted then). A failure of the load reaches the
    // caller as an exception.
    bool openDataWindow(QWidget *window, const std::function<bool()> &load);

    // Adds a window or operation behind a menu command (upper-case caption, "&JOB LIST...").
    void registerWindow(WindowDescriptor descriptor);
    void registerAction(const QString &command, CommandAction action);
    bool commandAvailable(const QString &command) const;

    void applyMenuRights(const QString &level);
    QAction *menuItem(const QString &objectName) const;
    QMenu *menu(const QString &objectName) const;
    QMdiArea *mdiArea() const { return m_mdi; }
    Presence &presence() { return m_presence; }

    // How the production schedule document is opened (the desktop's default application).
    void setDocumentOpener(std::function<bool(const QUrl &)> opener) { m_openDocument = std::move(opener); }
    // How the user chooses the schedule document (a file dialog); empty when cancelled.
    void setDocumentChooser(std::function<QString(const QString &start)> chooser)
    {
        m_chooseDocument = std::move(chooser);
    }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void registerOwnCommands();
    void buildMenus();
    void installSessionHooks();
    void runCommand(QMenu *menu, QAction *item);
    bool openWindow(const WindowDescriptor &descriptor);
    QWidget *tryOpen(const WindowDescriptor &descriptor);
    void trackSingleInstance(const QString &command, QWidget *window);
    // Closes every window in the frame but the one given (which is about to have its file
    // replaced under it); false when the user keeps one open.
    bool closeWindowsExcept(QObject *except);
    void openProductionSchedule();
    // With no schedule document, or one that is gone: says so, and lets the user choose one.
    QString chooseSchedule(const QString &path);
    void closeActiveWindow();
    // A minimum size that shows the window's controls whole, and a usable normal size.
    void keepUsable(QMdiSubWindow *frame);
    void updateMenuState();
    void updateDatabaseMenu();
    void disableRefusedDatabaseCommands();
    void rebuildWindowList();
    void tileHorizontally();
    void arrangeIcons();

    Session &m_session;
    Presence m_presence;
    QMdiArea *m_mdi = nullptr;
    frmDateShift *m_dateShift = nullptr;
    QPointer<frmSplash> m_splash;
    QHash<QString, QMenu *> m_menus;
    QHash<QString, QAction *> m_items;
    QHash<QString, bool> m_designEnabled;
    QList<QAction *> m_windowList;
    std::optional<QMap<QString, bool>> m_rights;
    QSet<QString> m_disabledForRun;
    QSet<QString> m_openSingles;
    WindowRegistry m_registry;
    std::function<bool(const QUrl &)> m_openDocument;
    std::function<QString(const QString &)> m_chooseDocument;
    bool m_opening = false;
    int m_exitCode = 0;
};
