#include "WindowRegistry.h"

void WindowRegistry::addWindow(WindowDescriptor descriptor)
{
    const QString command = descriptor.command;
    m_windows.insert(command, std::move(descriptor));
}

void WindowRegistry::addAction(const QString &command, CommandAction action)
{
    m_actions.insert(command, std::move(action));
}

const WindowDescriptor *WindowRegistry::window(const QString &command) const
{
    const auto it = m_windows.constFind(command);
    return it == m_windows.cend() ? nullptr : &it.value();
}

CommandAction WindowRegistry::action(const QString &command) const
{
    return m_actions.value(command);
}

QStringList WindowRegistry::commands() const
{
    return m_windows.keys() + m_actions.keys();
}

bool WindowRegistry::contains(const QString &command) const
{
    return m_windows.contains(command) || m_actions.contains(command);
}
