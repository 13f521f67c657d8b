#include "Presence.h"

#include "CurrentUsersFile.h"
#include "foundation/Session.h"

Presence::Presence(Session &session) : m_session(session) {}

QString Presence::currentUsersPath() const
{
    return m_session.paths().inWorkingFolder(QStringLiteral("CURUSERS.DAT"));
}

QString Presence::failureText(const QString &reason)
{
    return QStringLiteral("Your entry in the current users file could not be written: %1. Other "
                          "workstations will not see you in Current Users.")
        .arg(reason);
}

void Presence::reportFailure(const QString &reason)
{
    // The user should know that the others cannot see them; the log keeps it for the support.
    m_session.writeErrorLog(QStringLiteral("Current Users: ") + reason);
    m_session.prompter().tell(failureText(reason), QStringLiteral("Current Users"), MsgIcon::Exclamation);
}

void Presence::enter()
{
    if (m_entered)
        return;
    m_name = m_session.userFullName;
    CurrentUsersFile users(currentUsersPath());
    if (!users.recordPresent(m_name))
        reportFailure(users.errorString());
    const QString database = m_session.options().DatabaseName();
    if (!m_lock.holdShared(database)) {
        reportFailure(QStringLiteral("the presence file %1 cannot be opened or locked")
                          .arg(PresenceLock::presencePath(database)));
    }
    m_entered = true;
}

void Presence::leave()
{
    if (!m_entered)
        return;
    m_entered = false;
    CurrentUsersFile users(currentUsersPath());
    if (!users.recordExit(m_name, m_session.clock().now()))
        reportFailure(users.errorString());
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
