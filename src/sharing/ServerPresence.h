#pragma once

#include "foundation/Database.h"
#include "foundation/ServerLocks.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One running copy of the program in a plant database on a server, as Current Users lists it.
struct ServerSession
{
    QString login;   // the server login (usename)
    QString machine; // the client's host name or address, "local" for a socket
    QDateTime since; // when its connection began; invalid where the server does not show it
    qint64 pid = 0;  // the server process of its presence connection
};

// Presence and exclusive access for a plant database on a PostgreSQL server, where the server is
// the coordinator: every running copy holds a session-level shared advisory lock on presenceKey,
// on a connection of its own kept open from login to exit; the exclusive access check tries for
// the exclusive lock on the same key, without waiting, on another connection, and keeps it while
// the Database command runs. The server lets a copy's locks go when its connection ends, however
// the copy ended. Advisory locks belong to one database, so plants on one server do not meet.
class ServerPresence
{
public:
    static constexpr qint64 presenceKey = ServerLocks::presenceKey;

    ServerPresence() = default;
    ~ServerPresence();
    ServerPresence(const ServerPresence &) = delete;
    ServerPresence &operator=(const ServerPresence &) = delete;

    // Connects to the database and takes the shared lock; false (with errorString) when the
    // database cannot be reached or a command holding the exclusive lock does not end within a
    // few seconds.
    bool holdShared(const QString &uri);
    // Ends the presence connection, and with it the shared lock.
    void release();
    bool isHeld() const { return m_shared.has_value(); }

    // True when no other copy is in the database: the exclusive lock is then held, on a
    // connection of its own, until releaseExclusive. This copy's own shared lock does not count:
    // it is let go for the try and taken again when the try fails. Never waits.
    bool tryExclusive(const QString &uri);
    bool holdsExclusive() const { return m_exclusive.has_value(); }
    // Lets the exclusive lock go, and this copy counts itself present again where it was.
    void releaseExclusive();
    // Lets the exclusive lock go and closes every connection of this object, for a step that
    // needs the database free of connections; rejoin() counts the copy present again.
    void disconnect();
    bool rejoin();
    // After a server restart the presence connection is gone and its shared lock with it, so
    // another workstation's Database command would find the plant free: this copy takes the
    // lock again (on a new connection) when it no longer holds it. False when it cannot.
    bool keepHeld();

    QString errorString() const { return m_error; }
    // The last exclusive try failed because the server could not be asked, not because another
    // copy is in.
    bool lastTryFailed() const { return m_tryFailed; }

    // The copies present in the database of the given connection: the program's connections
    // (application name "Kelvara") that hold the presence lock, in the order they came in.
    static QList<ServerSession> currentSessions(const Database &db);

private:
    bool takeShared();

    QString m_uri;
    bool m_present = false; // this copy counts itself present (between holdShared and release)
    std::optional<Database> m_shared;
    std::optional<Database> m_exclusive;
    QString m_error;
    bool m_tryFailed = false;
};
