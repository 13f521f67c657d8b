#include "Schema.h"

#include "ChangeHistory.h"
#include "ChangeNotices.h"
#include "ProtectionTriggers.h"
#include "SavedQueries.h"
#include "SchemaTables.h"
#include "SchemaUpgrades.h"
#include "foundation/Database.h"

QStringList Schema::savedQueryNames(const QList<QPair<QString, QString>> &moreQueries)
{
    return SavedQueries::names(moreQueries);
}

void Schema::seedSavedQueries(Database &db, const QList<QPair<QString, QString>> &moreQueries)
{
    SavedQueries::seed(db, moreQueries);
}

void Schema::addMissingSavedQueries(Database &db, const QList<QPair<QString, QString>> &moreQueries)
{
    SchemaUpgrades::addMissing(db, moreQueries);
}

void Schema::create(Database &db, const QList<QPair<QString, QString>> &moreQueries)
{
    const bool server = db.dialect().isServer();
    // Login names compare without regard to case on the server too.
    if (server)
        db.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"));
    Transaction transaction(db);
    for (const SchemaTables::Table &table : SchemaTables::tables())
        db.exec(SchemaTables::createStatement(table, server));
    for (const QString &sql : SchemaTables::indexStatements())
        db.exec(sql);
    ProtectionTriggers::create(db);
    ChangeHistory::replace(db);
    ChangeNotices::create(db);
    seedSavedQueries(db, moreQueries);
    db.exec(QStringLiteral("INSERT INTO \"CompanyInfo\" (\"CompanyName\") VALUES (NULL)"));
    transaction.commit();
}

bool Schema::protectionCurrent(const Database &db)
{
    return SchemaUpgrades::protectionCurrent(db);
}

void Schema::ensureProtection(Database &db)
{
    SchemaUpgrades::ensureProtection(db);
}

void Schema::authorize(Database &db, const QString &loginName, const QString &fullName, const QString &level)
{
    db.exec(QStringLiteral("INSERT INTO \"Security Table\" (\"UserName\", \"User Name\", \"Security Level\") "
                           "VALUES (:login, :name, :level) "
                           "ON CONFLICT(\"UserName\") DO UPDATE SET \"User Name\" = excluded.\"User Name\", "
                           "\"Security Level\" = excluded.\"Security Level\""),
            {{QStringLiteral("login"), loginName},
             {QStringLiteral("name"), fullName},
             {QStringLiteral("level"), level}});
}
