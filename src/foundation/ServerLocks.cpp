#include "ServerLocks.h"

namespace {
struct Function
{
    QString name, returns, body, arguments = {}, language = QStringLiteral("sql");
};

// A session that holds the write lock in a transaction begun longer ago than holdSeconds (one
// sitting in it, idle or asleep, with its own time limits switched off) is ended by the next
// writer, so that no login stops the plant's writes for longer. The server's administrator's
// sessions are not (the owner may not end them): they may run a long copy.
// The function reads no catalog table, only the server's activity and lock functions: a catalog
// read holds its lock to the end of the write transaction, and the server's shared catalogs
// (pg_authid, pg_database) held so would stall every login to every database on the server behind
// an administrator's VACUUM FULL of them.
QString takeWriteBody(int holdSeconds)
{
    const qint64 key = ServerLocks::writeKey;
    return QStringLiteral(
               "DECLARE sitter integer;\n"
               "BEGIN\n"
               "  FOR sitter IN SELECT a.pid FROM pg_lock_status() l JOIN pg_stat_get_activity(NULL) a "
               "ON a.pid = l.pid WHERE l.locktype = 'advisory' AND l.granted AND l.objsubid = 1 AND "
               "l.classid::bigint = %1 AND l.objid::bigint = %2 AND l.database = a.datid AND a.datid = "
               "(SELECT datid FROM pg_stat_get_activity(pg_backend_pid())) AND a.pid <> pg_backend_pid() "
               "AND a.xact_start < clock_timestamp() - make_interval(secs => %3) LOOP\n"
               "    BEGIN\n"
               "      PERFORM pg_terminate_backend(sitter);\n"
               "    EXCEPTION WHEN insufficient_privilege THEN\n"
               "      NULL;\n"
               "    END;\n"
               "  END LOOP;\n"
               "  PERFORM pg_advisory_xact_lock(%4);\n"
               "END")
        .arg(key >> 32)
        .arg(key & 0xFFFFFFFF)
        .arg(holdSeconds)
        .arg(key);
}

QList<Function> functions(int holdSeconds)
{
    const QString presence = QString::number(ServerLocks::presenceKey);
    return {
        {QStringLiteral("kelvara_write_lock"),
         QStringLiteral("void"),
         takeWriteBody(holdSeconds),
         {},
         QStringLiteral("plpgsql")},
        {QStringLiteral("kelvara_presence_share"), QStringLiteral("void"),
         QStringLiteral("SELECT pg_advisory_lock_shared(%1)").arg(presence)},
        {QStringLiteral("kelvara_presence_unshare"), QStringLiteral("boolean"),
         QStringLiteral("SELECT pg_advisory_unlock_shared(%1)").arg(presence)},
        {QStringLiteral("kelvara_unlock_all"), QStringLiteral("void"),
         QStringLiteral("SELECT pg_advisory_unlock_all()")},
        {QStringLiteral("kelvara_presence_exclusive"), QStringLiteral("boolean"),
         QStringLiteral("SELECT pg_try_advisory_lock(%1)").arg(presence)},
        // A window's claim on a ticket row it stores, so that no other workstation cleans it up.
        {QStringLiteral("kelvara_claim_row"), QStringLiteral("void"),
         QStringLiteral("SELECT pg_advisory_lock_shared($1, $2)"), QStringLiteral("integer, integer")},
        {QStringLiteral("kelvara_unclaim_row"), QStringLiteral("boolean"),
         QStringLiteral("SELECT pg_advisory_unlock_shared($1, $2)"), QStringLiteral("integer, integer")},
    };
}

QString call(const QString &name)
{
    return QStringLiteral("SELECT ") + name + QStringLiteral("()");
}
} // namespace

QStringList ServerLocks::createStatements(const QString &schema, int holdSeconds)
{
    QStringList statements;
    // pg_temp last, named: unnamed, it would be searched first.
    for (const Function &function : functions(holdSeconds))
        statements << QStringLiteral("CREATE OR REPLACE FUNCTION %1.%2(%3) RETURNS %4 LANGUAGE %5 "
                                     "SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$%6$$")
                          .arg(schema, function.name, function.arguments, function.returns, function.language,
                               function.body);
    return statements;
}

QStringList ServerLocks::sharedFunctions()
{
    QStringList names;
    for (const Function &function : functions(kWriteHoldSeconds)) {
        if (function.name != QLatin1String("kelvara_presence_exclusive"))
            names << function.name + '(' + function.arguments + ')';
    }
    return names;
}

QString ServerLocks::exclusiveFunction()
{
    return QStringLiteral("kelvara_presence_exclusive()");
}

QString ServerLocks::takeWrite()
{
    return call(QStringLiteral("kelvara_write_lock"));
}

QString ServerLocks::takeShared()
{
    return call(QStringLiteral("kelvara_presence_share"));
}

QString ServerLocks::releaseShared()
{
    return call(QStringLiteral("kelvara_presence_unshare"));
}

QString ServerLocks::tryExclusive()
{
    return call(QStringLiteral("kelvara_presence_exclusive"));
}

QString ServerLocks::claimRow()
{
    return QStringLiteral("SELECT kelvara_claim_row(CAST(:t AS integer), CAST(:k AS integer))");
}

QString ServerLocks::unclaimRow()
{
    return QStringLiteral("SELECT kelvara_unclaim_row(CAST(:t AS integer), CAST(:k AS integer))");
}

QString ServerLocks::releaseAll()
{
    return call(QStringLiteral("kelvara_unlock_all"));
}
