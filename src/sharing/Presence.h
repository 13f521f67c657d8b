#pragma once

#include "PresenceLock.h"

#include <QString>
#include <functional>

class Session;

// That this copy of the program is in the production database: from login to exit it has a record
// with a Null time value in CURUSERS.DAT (so the current users window lists it) and holds the
// shared presence lock (so the exclusive access check of other copies fails).
class Presence
{
public:
    // Shows the current users window modally; true when closed with OK, false when cancelled.
    using CurrentUsersWindow = std::function<bool(bool offerCancel)>;

    explicit Presence(Session &session);

    void enter();
    // Stamps the time of leaving and lets the lock go; does nothing before enter or a second time.
    void leave();
    bool entered() const { return m_entered; }

    // The exclusive access check: returns true once no other copy holds the database; while some
    // copy does, shows the current users window and tries again after OK. False when the user
    // cancelled (only where cancel is offered) or the program is ending.
    bool checkExclusiveAccess(bool offerCancel, const CurrentUsersWindow &window);

    // The message of a presence or exit record that could not be written.
    static QString failureText(const QString &reason);

private:
    QString currentUsersPath() const;
    void reportFailure(const QString &reason);

    Session &m_session;
    PresenceLock m_lock;
    QString m_name;
    bool m_entered = false;
};
