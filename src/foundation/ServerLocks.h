#pragma once

#include <QString>
#include <QStringList>

// The program's advisory locks on a PostgreSQL server: the write lock one write transaction at a
// time holds, and the presence lock every running copy holds shared (exclusive for a Database
// command). The server's pg_advisory functions are closed to the plant's logins, so that no login
// can hold these keys from psql and stop every write in the plant; the program takes them through
// its own functions, owned by the plant's owner role and run with its rights (SECURITY DEFINER).
namespace ServerLocks {
// "Kelv" and "Kelw" in ASCII.
constexpr qint64 writeKey = 0x4B656C76;
constexpr qint64 presenceKey = 0x4B656C77;

// A session holding the write lock in a transaction older than this is ended by the next writer.
constexpr int kWriteHoldSeconds = 60;

// The statements, one per function, that make (or replace) the functions in the schema. The
// function's owner ends sessions through pg_signal_backend and sees their transactions' age
// through pg_read_all_stats (a superuser needs neither).
QStringList createStatements(const QString &schema, int holdSeconds = kWriteHoldSeconds);
// The functions' signatures ("kelvara_write_lock()"), for their owner and grants; the exclusive
// lock is the Database commands' only.
QStringList sharedFunctions();
QString exclusiveFunction();

// The calls.
QString takeWrite();  // within a transaction, until its end
QString takeShared(); // for the session
QString releaseShared();
QString tryExclusive(); // true when taken
QString releaseAll();
// A row claim on the keys :t (the table) and :k (the row), shown in pg_locks as classid and objid.
QString claimRow();
QString unclaimRow();
} // namespace ServerLocks
