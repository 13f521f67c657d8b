#pragma once

#include "PresenceLock.h"
#include "ServerPresence.h"

#include <QString>
#include <functional>

class Session;

// That this copy of the program is in the production database: from login to exit it has a record
// with a Null time value in CURUSERS.DAT (so the current users window lists it) and holds the
// shared presence lock (so the exclusive access check of other copies fails). On a server the
// server keeps both: the copy holds the shared advisory lock on a connection of its own, and
// Current Users lists the connections that hold it (see ServerPresence); no file is written.
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
    // On a server the exclusive lock stays held until endExclusiveAccess; on a file the check
    // holds nothing afterwards.
    bool checkExclusiveAccess(bool offerCancel, const CurrentUsersWindow &window);
    // Lets the exclusive access go; meanwhile (when given) runs once this object holds no
    // connection to the database, before this copy counts itself present again.
    void endExclusiveAccess(const std::function<void()> &meanwhile = {});

    // On a server, takes the presence lock again where a server restart let it go; a file's
    // presence lock cannot go while the program runs.
    void keepHeld();

    // The message of a presence or exit record that could not be written.
    static QString failureText(const QString &reason);
    static QString serverFailureText(const QString &reason);

private:
    QString currentUsersPath() const;
    void reportFailure(const QString &text, const QString &reason);
    bool onServer() const;

    Session &m_session;
    PresenceLock m_lock;
    ServerPresence m_server;
    QString m_name;
    bool m_entered = false;
    bool m_onServer = false; // entered a database on a server
};
