#pragma once

#include <QList>
#include <QPair>
#include <QString>

class Database;

// What the database itself refuses on a protected date-shift, so that no workstation and no
// statement (REPLACE included) can get round the protection: triggers on the production lines,
// the transfer and hold tickets and the hold distribution.
namespace ProtectionTriggers {
// Each trigger's name and its CREATE TRIGGER text.
QList<QPair<QString, QString>> all();
// Creates the triggers; the tables must exist.
void create(Database &db);
// True when the database holds every trigger with its current text.
bool current(const Database &db);
// Drops the triggers (the functions on the server stay), so that rows the triggers would refuse
// can be copied in; create() makes them again.
void drop(Database &db);
// Drops each trigger the database may hold under its name and creates it anew.
void replace(Database &db);
} // namespace ProtectionTriggers
