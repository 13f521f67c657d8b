#include "RowClaims.h"

#include "Database.h"
#include "LockFile.h"
#include "ServerLocks.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#endif

namespace {
// Each table's keys have a range of their own in the claim file.
constexpr qint64 kTableRange = qint64(1) << 40;

QString claimPath(const Database &db)
{
    return QFileInfo(db.path()).absoluteFilePath() + QStringLiteral(".claims");
}

#ifdef Q_OS_WIN
bool lockByte(qintptr file, qint64 offset, bool take)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = DWORD(offset & 0xFFFFFFFF);
    overlapped.OffsetHigh = DWORD(offset >> 32);
    const HANDLE handle = reinterpret_cast<HANDLE>(file);
    if (!take)
        return UnlockFileEx(handle, 0, 1, 0, &overlapped);
    return LockFileEx(handle, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &overlapped);
}
// Windows has no test for a lock: the byte is taken for writing and given back at once.
bool byteLocked(qintptr file, qint64 offset, bool *known)
{
    *known = true;
    OVERLAPPED overlapped{};
    overlapped.Offset = DWORD(offset & 0xFFFFFFFF);
    overlapped.OffsetHigh = DWORD(offset >> 32);
    const HANDLE handle = reinterpret_cast<HANDLE>(file);
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &overlapped))
        return true;
    UnlockFileEx(handle, 0, 1, 0, &overlapped);
    return false;
}
#else
#ifdef F_OFD_SETLK
// Locks of an open file description: two windows of one process conflict as two programs do,
// and closing another descriptor of the file does not let them go.
bool lockByte(qintptr file, qint64 offset, bool take)
{
    struct flock range = {};
    range.l_type = take ? F_RDLCK : F_UNLCK;
    range.l_whence = SEEK_SET;
    range.l_start = off_t(offset);
    range.l_len = 1;
    int result;
    do {
        result = ::fcntl(int(file), F_OFD_SETLK, &range);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}
bool byteLocked(qintptr file, qint64 offset, bool *known)
{
    struct flock range = {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = off_t(offset);
    range.l_len = 1;
    *known = ::fcntl(int(file), F_OFD_GETLK, &range) == 0;
    return range.l_type != F_UNLCK;
}
#else
bool lockByte(qintptr, qint64, bool)
{
    return false;
}
bool byteLocked(qintptr, qint64, bool *known)
{
    *known = false;
    return true;
}
#endif
#endif
} // namespace

RowClaims::RowClaims(Database &db, int table) : m_db(db), m_table(table) {}

RowClaims::~RowClaims()
{
    releaseAll();
}

qint64 RowClaims::offset(qint64 key) const
{
    return m_table * kTableRange + key;
}

bool RowClaims::claim(qint64 key)
{
    if (m_claimed.contains(key))
        return true;
    if (m_db.dialect().isServer()) {
        m_db.exec(ServerLocks::claimRow(), {{QStringLiteral("t"), m_table}, {QStringLiteral("k"), int(key)}});
    } else {
        if (m_file < 0)
            m_file = LockFile::openReadWrite(claimPath(m_db));
        if (m_file < 0 || !lockByte(m_file, offset(key), true))
            return false;
    }
    m_claimed.append(key);
    return true;
}

void RowClaims::releaseAll()
{
    if (m_db.dialect().isServer()) {
        for (const qint64 key : std::as_const(m_claimed)) {
            try {
                m_db.exec(ServerLocks::unclaimRow(),
                          {{QStringLiteral("t"), m_table}, {QStringLiteral("k"), int(key)}});
            } catch (const KelvaraError &) {
                break; // the connection is gone, and its locks with it
            }
        }
    } else if (m_file >= 0) {
        // Closing the description lets all of its locks go.
        LockFile::close(m_file);
        m_file = -1;
    }
    m_claimed.clear();
}

bool RowClaims::claimedByAnyone(qint64 key) const
{
    if (m_db.dialect().isServer()) {
        // Advisory locks with two keys show them as classid and objid. The database is found
        // without reading pg_database, which would stay locked to the end of the transaction (see
        // ServerLocks).
        return m_db
            .scalar(
                QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_catalog.pg_locks WHERE locktype = "
                               "'advisory' AND classid = CAST(CAST(:t AS integer) AS oid) AND objid = "
                               "CAST(CAST(:k AS integer) AS oid) AND objsubid = 2 AND database = (SELECT "
                               "datid FROM pg_catalog.pg_stat_get_activity(pg_catalog.pg_backend_pid())))"),
                {{QStringLiteral("t"), m_table}, {QStringLiteral("k"), int(key)}})
            .toBool();
    }
    const qintptr file = LockFile::openReadWrite(claimPath(m_db));
    if (file < 0)
        return true;
    bool known = false;
    const bool locked = byteLocked(file, offset(key), &known);
    LockFile::close(file);
    return locked || !known;
}
