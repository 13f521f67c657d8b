#include "Presence.h"

#include "CurrentUsersFile.h"
#include "foundation/Session.h"

Presence::Presence(Session &session) : m_session(session) {}

QString Presence::currentUsersPath() const
{
    return m_session.paths().inWorkingFolder(QStringLiteral("CURUSERS.DAT"));
}

void Presence::enter()
{
    if (m_entered)
        return;
    m_name = m_session.userFullName;
    CurrentUsersFile(currentUsersPath()).recordPresent(m_name);
    m_lock.holdShared(m_session.options().DatabaseName());
    m_entered = true;
}

void Presence::leave()
{
    if (!m_entered)
        return;
    m_entered = false;
    CurrentUsersFile(currentUsersPath()).recordExit(m_name, m_session.clock().now());
    m_lock.release();
}

bool Presence::checkExclusiveAccess(bool offerCancel, const CurrentUsersWindow &window)
{
    const QString database = m_session.options().DatabaseName();
    while (!m_lock.tryExclusive(database)) {
        if (!window(offerCancel) || m_session.programEnding())
            return false;
    }
    return true;
}
