#include "ServerLocks.h"

namespace {
struct Function
{
    QString name, returns, body, arguments = {};
};

QList<Function> functions()
{
    const QString write = QString::number(ServerLocks::writeKey);
    const QString presence = QString::number(ServerLocks::presenceKey);
    return {
        {QStringLiteral("kelvara_write_lock"), QStringLiteral("void"),
         QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(write)},
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

QStringList ServerLocks::createStatements(const QString &schema)
{
    QStringList statements;
    // pg_temp last, named: unnamed, it would be searched first.
    for (const Function &function : functions())
        statements << QStringLiteral("CREATE OR REPLACE FUNCTION %1.%2(%3) RETURNS %4 LANGUAGE sql "
                                     "SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$%5$$")
                          .arg(schema, function.name, function.arguments, function.returns, function.body);
    return statements;
}

QStringList ServerLocks::sharedFunctions()
{
    QStringList names;
    for (const Function &function : functions()) {
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
