#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Database;

// The production database's schema: its tables and indexes (SchemaTables), saved queries
// (SavedQueries), protection triggers (ProtectionTriggers) and the upgrade of a database made by
// an older version (SchemaUpgrades), reached through these functions. `moreQueries` are the saved
// queries (name, SQL text) the program keeps in the production database besides the record's own:
// the reports' staging queries (ReportCatalog::savedQueries()).
namespace Schema {
// Creates every table, index and saved query in an empty database, plus the one CompanyInfo row.
void create(Database &db, const QList<QPair<QString, QString>> &moreQueries);
// (Re)writes the saved queries; a site may later change a query's text in the database.
void seedSavedQueries(Database &db, const QList<QPair<QString, QString>> &moreQueries);
// Adds the saved queries a database made by an older program lacks; a site's own texts stay.
void addMissingSavedQueries(Database &db, const QList<QPair<QString, QString>> &moreQueries);
QStringList savedQueryNames(const QList<QPair<QString, QString>> &moreQueries);
// True when the database refuses writes to protected date-shifts as this version does.
bool protectionCurrent(const Database &db);
// Adds (or brings up to date) the protection triggers of a database made by an earlier version,
// and the saved query texts that must skip protected rows. Writes nothing when all is current.
void ensureProtection(Database &db);
// Authorizes a login name at a level ("A" to "D") with a full name.
void authorize(Database &db, const QString &loginName, const QString &fullName, const QString &level);
} // namespace Schema
