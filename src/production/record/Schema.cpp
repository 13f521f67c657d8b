#include "Schema.h"

#include "ProtectionTriggers.h"
#include "SavedQueries.h"
#include "SchemaTables.h"
#include "SchemaUpgrades.h"
#include "foundation/Database.h"

QStringList Schema::savedQueryNames()
{
    return SavedQueries::names();
}

void Schema::seedSavedQueries(Database &db)
{
    SavedQueries::seed(db);
}

void Schema::addMissingSavedQueries(Database &db)
{
    SchemaUpgrades::addMissing(db);
}

void Schema::create(Database &db)
{
    Transaction transaction(db);
    for (const SchemaTables::Table &table : SchemaTables::tables())
        db.exec(SchemaTables::createStatement(table));
    for (const QString &sql : SchemaTables::indexStatements())
        db.exec(sql);
    ProtectionTriggers::create(db);
    seedSavedQueries(db);
    db.exec(QStringLiteral("INSERT INTO [CompanyInfo] ([CompanyName]) VALUES (NULL)"));
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
    db.exec(QStringLiteral("INSERT INTO [Security Table] ([UserName], [User Name], [Security Level]) "
                           "VALUES (:login, :name, :level) "
                           "ON CONFLICT([UserName]) DO UPDATE SET [User Name] = excluded.[User Name], "
                           "[Security Level] = excluded.[Security Level]"),
            {{QStringLiteral("login"), loginName},
             {QStringLiteral("name"), fullName},
             {QStringLiteral("level"), level}});
}
