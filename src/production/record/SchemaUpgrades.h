#pragma once

#include <QList>
#include <QPair>
#include <QString>

class Database;

// What brings a database made by an older version of the program up to date.
namespace SchemaUpgrades {
// True when the database refuses writes to protected date-shifts as this version does and holds
// none of the saved query texts that did not skip protected rows.
bool protectionCurrent(const Database &db);
// Brings the protection triggers and those saved query texts up to date; a text a site changed
// stays. Writes nothing when all is current.
void ensureProtection(Database &db);
// Adds the tables and saved queries the database lacks; a site's own query texts stay.
void addMissing(Database &db, const QList<QPair<QString, QString>> &moreQueries);
} // namespace SchemaUpgrades
