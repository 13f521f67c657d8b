#include "Presence.h"

#include "CurrentUsersFile.h"
#include "SharedFiles.h"
#include "foundation/Session.h"

Presence::Presence(Session &session) : m_session(session) {}

QString Presence::currentUsersPath() const
{
    return SharedFiles(m_session.paths(), m_session.options().DatabaseName()).currentUsersPath();
}

bool Presence::onServer() const
{
    return SqlDialect::isServerName(m_session.options().DatabaseName());
}

QString Presence::failureText(const QString &reason)
{
    return QStringLiteral("Your entry in the current users file could not be written: %1. Other "
                          "workstations will not see you in Current Users.")
        .arg(reason);
}

QString Presence::serverFailureText(const QString &reason)
{
    return QStringLiteral("The database server could not note you as present: %1. Other workstations "
                          "will not see you in Current Users.")
        .arg(reason);
}

void Presence::reportFailure(const QString &text, const QString &reason)
{
    // The user should know that the others cannot see them; the log keeps it for the support.
    m_session.writeErrorLog(QStringLiteral("Current Users: ") + reason);
    m_session.prompter().tell(text, QStringLiteral("Current Users"), MsgIcon::Exclamation);
}

void Presence::enter()
{
    if (m_entered)
        return;
    m_name = m_session.userFullName;
    const QString database = m_session.options().DatabaseName();
    m_onServer = onServer();
    if (m_onServer) {
        if (!m_server.holdShared(database))
            reportFailure(serverFailureText(m_server.errorString()), m_server.errorString());
        m_entered = true;
        return;
    }
    CurrentUsersFile users(currentUsersPath());
    if (!users.recordPresent(m_name))
        reportFailure(failureText(users.errorString()), users.errorString());
    if (!m_lock.holdShared(database)) {
        const QString reason = QStringLiteral("the presence file %1 cannot be opened or locked")
                                   .arg(PresenceLock::presencePath(database));
        reportFailure(failureText(reason), reason);
    }
    m_entered = true;
}

void Presence::keepHeld()
{
    if (m_entered && m_onServer)
        m_server.keepHeld();
}

void Presence::leave()
{
    if (!m_entered)
        return;
    m_entered = false;
    if (m_onServer) {
        m_server.release();
        return;
    }
    CurrentUsersFile users(currentUsersPath());
    if (!users.recordExit(m_name, m_session.clock().now()))
        reportFailure(failureText(users.errorString()), users.errorString());
    m_lock.release();
}

bool Presence::checkExclusiveAccess(bool offerCancel, const CurrentUsersWindow &window)
{
    const QString database = m_session.options().DatabaseName();
    const auto tryExclusive = [&] {
        return onServer() ? m_server.tryExclusive(database) : m_lock.tryExclusive(database);
    };
    while (!tryExclusive()) {
        // Waiting for the others makes no sense while the server cannot be asked.
        if (m_server.lastTryFailed()) {
            m_session.prompter().tell(
                QStringLiteral("The database server cannot tell whether anyone else is in the database: %1")
                    .arg(m_server.errorString()),
                QStringLiteral("Current Users"), MsgIcon::Exclamation);
            return false;
        }
        if (!window(offerCancel) || m_session.programEnding())
            return false;
    }
    return true;
}

void Presence::endExclusiveAccess(const std::function<void()> &meanwhile)
{
    if (!m_server.holdsExclusive() && !m_server.isHeld()) {
        if (meanwhile)
            meanwhile();
        return;
    }
    m_server.disconnect();
    if (meanwhile)
        meanwhile();
    if (!m_server.rejoin())
        reportFailure(serverFailureText(m_server.errorString()), m_server.errorString());
}
