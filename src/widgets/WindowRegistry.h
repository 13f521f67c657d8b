#pragma once

#include <QHash>
#include <QString>
#include <functional>

class QWidget;
class Session;

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

// How the main window opens a window behind a menu command.
struct WindowDescriptor
{
    QString command; // MenuCommand::key(), "&JOB LIST...", or a window's own for one no menu shows
    std::function<LoadableWindow(Session &)> create;
    bool perShift = false;       // asks for the date-shift while no data window is open
    bool dataWindow = false;     // counts among the open data windows while it opens
    bool singleInstance = false; // its menu item is disabled while one is open
    bool fromMenu = true;        // false: another window opens it, no menu item does
};

// What a command that opens no window of the frame is handed.
struct CommandContext
{
    Session &session;
    QWidget *mainWindow;
    int itemIndex; // the item's position in its menu, from 1
};
using CommandAction = std::function<void(const CommandContext &)>;

// The windows and operations behind the menu commands. Each folder registers its own; the main
// window only looks them up, so a command nobody registered stays disabled.
class WindowRegistry
{
public:
    void addWindow(WindowDescriptor descriptor);
    void addAction(const QString &command, CommandAction action);

    const WindowDescriptor *window(const QString &command) const;
    CommandAction action(const QString &command) const;
    bool contains(const QString &command) const;
    // Every command registered, windows and actions.
    QStringList commands() const;

private:
    QHash<QString, WindowDescriptor> m_windows;
    QHash<QString, CommandAction> m_actions;
};
