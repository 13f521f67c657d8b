#pragma once

#include <QString>
#include <QStringList>

class Database;

// The production database's tables, indexes and saved queries, all created in one place.
namespace Schema {
// Creates every table, index and saved query in an empty database, plus the one CompanyInfo row.
void create(Database &db);
// (Re)writes the saved queries; a site may later change a query's text in the database.
void seedSavedQueries(Database &db);
QStringList savedQueryNames();
// Authorizes a login name at a level ("A" to "D") with a full name.
void authorize(Database &db, const QString &loginName, const QString &fullName, const QString &level);
} // namespace Schema
