#pragma once

#include "MenuLayout.h"
#include "Presence.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <functional>
#include <optional>

class QMdiArea;
class QMenu;
class QUrl;
class Session;
class frmDateShift;
class frmSplash;

// A window made for a menu command, with the load that decides whether it stays open.
struct LoadableWindow
{
    QWidget *widget = nullptr;
    std::function<bool()> load;
};

// The factory of a window class W with the constructor W(Session &, QWidget *) and bool load().
template <class W> LoadableWindow loadableWindow(Session &session)
{
    auto *window = new W(session);
    return {window, [window] { return window->load(); }};
}

// "Quorvel Plastics Kelvara": the frame every working window opens in, with the menus of the
// program. Which commands a user may use is set at login by the security level; a command whose
// window is not part of the program yet stays disabled.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    using WindowFactory = std::function<LoadableWindow(Session &)>;
    // The one modal report window serves every item of the Reports menu.
    static QString reportWindowCommand() { return QStringLiteral("REPORT WINDOW"); }

    explicit frmMain(Session &session, QWidget *parent = nullptr);
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

    // The windows and operations behind the menu commands (upper-case captions, "&JOB LIST...").
    void registerWindow(const QString &command, WindowFactory factory);
    void registerAction(const QString &command, std::function<void()> action);
    bool commandAvailable(const QString &command) const;

    void applyMenuRights(const QString &level);
    QAction *menuItem(const QString &objectName) const;
    QMenu *menu(const QString &objectName) const;
    QMdiArea *mdiArea() const { return m_mdi; }
    Presence &presence() { return m_presence; }

    // How the production schedule document is opened (the desktop's default application).
    void setDocumentOpener(std::function<bool(const QUrl &)> opener) { m_openDocument = std::move(opener); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void registerBuiltWindows();
    void buildMenus();
    void installSessionHooks();
    void fileCommand(const QString &command);
    void reportsCommand(QAction *item);
    void toolsCommand(const QString &command);
    void windowCommand(const QString &command);
    void openWindow(const QString &command, bool dataWindow);
    LoadableWindow tryOpen(const QString &command);
    void openProductionSchedule();
    void updateMenuState();
    void updateDatabaseMenu();
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
    QHash<QString, WindowFactory> m_windows;
    QHash<QString, std::function<void()>> m_actions;
    std::function<bool(const QUrl &)> m_openDocument;
    bool m_opening = false;
    int m_exitCode = 0;
};
