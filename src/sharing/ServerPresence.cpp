#include "ServerPresence.h"

#include <QSqlQuery>

namespace {
// The other side holds the exclusive lock for a whole Database command: a copy logging in meanwhile
// waits a few seconds, then goes on without counting itself present (and is told so).
constexpr int kSharedWaitMsecs = 5000;
} // namespace

ServerPresence::~ServerPresence()
{
    disconnect();
    m_present = false;
}

bool ServerPresence::takeShared()
{
    try {
        if (!m_shared)
            m_shared = Database::open(m_uri);
        m_shared->exec(QStringLiteral("SET lock_timeout = %1").arg(kSharedWaitMsecs));
        m_shared->exec(ServerLocks::takeShared());
        m_shared->exec(QStringLiteral("RESET lock_timeout"));
        return true;
    } catch (const DatabaseError &error) {
        m_error = error.number() == DbErrors::Locked
                      ? QStringLiteral("a Database command of another workstation holds the database")
                      : error.description();
        m_shared.reset();
        return false;
    }
}

bool ServerPresence::holdShared(const QString &uri)
{
    if (isHeld() && m_uri == uri)
        return true;
    disconnect();
    m_uri = uri;
    m_present = true;
    return takeShared();
}

void ServerPresence::release()
{
    disconnect();
    m_present = false;
}

bool ServerPresence::tryExclusive(const QString &uri)
{
    if (holdsExclusive() && m_uri == uri)
        return true;
    if (m_uri != uri) {
        disconnect();
        m_present = false;
        m_uri = uri;
    }
    m_tryFailed = false;
    try {
        // Another session's shared lock conflicts with the exclusive one, this copy's own too.
        if (m_shared)
            m_shared->exec(ServerLocks::releaseShared());
        Database exclusive = Database::open(uri);
        if (exclusive.scalar(ServerLocks::tryExclusive()).toBool()) {
            m_exclusive = std::move(exclusive);
            return true;
        }
        m_error = QStringLiteral("another workstation is in the database");
    } catch (const DatabaseError &error) {
        m_error = error.description();
        m_tryFailed = true;
        m_shared.reset();
    }
    if (m_present)
        takeShared();
    return false;
}

void ServerPresence::releaseExclusive()
{
    if (!m_exclusive)
        return;
    try {
        m_exclusive->exec(ServerLocks::releaseAll());
    } catch (const DatabaseError &) {
    }
    m_exclusive.reset();
    if (m_present)
        takeShared();
}

void ServerPresence::disconnect()
{
    // The locks go at once, not only once the server has ended the closed connection's process:
    // a copy waiting in the current users window may find the database free right after.
    for (std::optional<Database> *connection : {&m_exclusive, &m_shared}) {
        if (!*connection)
            continue;
        try {
            (*connection)->exec(ServerLocks::releaseAll());
        } catch (const DatabaseError &) {
            // a connection already lost holds no lock
        }
        connection->reset();
    }
}

bool ServerPresence::keepHeld()
{
    if (!m_present || holdsExclusive())
        return true;
    if (m_shared) {
        try {
            const qint64 held =
                m_shared
                    ->scalar(QStringLiteral(
                                 "SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND granted "
                                 "AND pid = pg_backend_pid() AND objsubid = 1 AND classid::bigint = %1 "
                                 "AND objid::bigint = %2")
                                 .arg(presenceKey >> 32)
                                 .arg(presenceKey & 0xFFFFFFFF))
                    .toLongLong();
            if (held > 0)
                return true;
        } catch (const DatabaseError &) {
            // The connection went with the server: the lock is taken again on a new one.
        }
        m_shared.reset();
    }
    return takeShared();
}

bool ServerPresence::rejoin()
{
    return !m_present || isHeld() || takeShared();
}

QList<ServerSession> ServerPresence::currentSessions(const Database &db)
{
    // An advisory lock on a bigint key shows in pg_locks as its high and low halves, objsubid 1.
    QSqlQuery query = db.exec(
        QStringLiteral("SELECT a.usename, a.client_hostname, host(a.client_addr), a.client_port, "
                       "a.backend_start, a.pid FROM pg_stat_activity a JOIN pg_locks l ON l.pid = a.pid "
                       "WHERE a.application_name = 'Kelvara' AND a.datname = current_database() "
                       "AND l.locktype = 'advisory' AND l.granted AND l.objsubid = 1 "
                       "AND l.database = (SELECT oid FROM pg_database WHERE datname = current_database()) "
                       "AND l.classid::bigint = %1 AND l.objid::bigint = %2 "
                       "ORDER BY a.backend_start, a.pid")
            .arg(presenceKey >> 32)
            .arg(presenceKey & 0xFFFFFFFF));
    QList<ServerSession> sessions;
    while (query.next()) {
        ServerSession session;
        session.login = query.value(0).toString();
        const QString hostName = query.value(1).toString();
        const QString address = query.value(2).toString();
        // A socket connection has no address and port -1; a login without the right to see other
        // logins' sessions (pg_read_all_stats) gets neither.
        if (!hostName.isEmpty())
            session.machine = hostName;
        else if (!address.isEmpty())
            session.machine = address;
        else if (!query.value(3).isNull() && query.value(3).toInt() == -1)
            session.machine = QStringLiteral("local");
        session.since = query.value(4).toDateTime();
        session.pid = query.value(5).toLongLong();
        sessions << session;
    }
    return sessions;
}
