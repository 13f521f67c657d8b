#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Database;

// The security levels as roles on a database server, so that the server itself holds each login
// to the rights of its level, whatever program or tool it connects with. Each level is a role
// without login (kelvara_level_a to kelvara_level_d); a plant's logins are members of one. The
// tables, their sequences and the program's functions belong to kelvara_owner, a role no one
// logs in as: no level may change a table's triggers or grants, empty a table (TRUNCATE), refer
// to it from elsewhere, create in the database or make temporary objects. What each level may
// change follows its menu rights (rights() below):
//   every level   reads every table; keeps the color feeder calibrations (the Tools menu); marks
//                 reject rows printed (the update report)
//   A             also the job lines and their counts (Job List, Production Counts), and the
//                 machine readings that fill them (Read Counters)
//   B             also the job lines, the transfer and hold tickets, the hold distribution and
//                 the rejects and rework it books on a line (Job List, Transfers, Production on
//                 Hold, Disposition of Hold); not the counter readings
//   C             changes every table (rows only), and whose login is at which level
// so a level D login reads the production record but cannot change a count. Only level C may call
// kelvara_set_level(login, level), a function of the owner that makes a login role a member of
// the level's role (and of no other level), or of none when level is NULL.
namespace ServerRoles {
// One line of the rights table: the levels ("AB") that hold the privileges ("INSERT, UPDATE") on
// a table, on the columns named (every column when none is).
struct Right
{
    QString levels;
    QString privileges;
    QString table;
    QStringList columns;
};
// Every level's rights on the production tables, a line per grant. A new table gets its lines here.
QList<Right> rights();
// "kelvara_level_a" for "A"; empty for anything else.
QString roleName(const QString &level);
QString ownerRole();
// Run by the server's administrator on a database that holds the production tables: makes the
// owner and level roles that are missing, gives the database and its objects to the owner, gives
// each level its rights (again, from nothing, so that a second run leaves the same rights), closes
// the server's advisory lock functions to the plant's logins, and (re)makes the protection
// triggers, the program's lock functions and kelvara_set_level. Returns what was done, a line each.
QStringList setUp(Database &db);
// The same for the database at the URI, made first (with the schema, `moreQueries` among its saved
// queries, and loginName authorized at level C) when it is missing or empty; in a production
// database that is there, saved queries it lacks are added. Throws DatabaseError, and refuses a
// database that holds other tables.
QStringList setUpDatabase(const QString &uri, const QString &loginName,
                          const QList<QPair<QString, QString>> &moreQueries);
} // namespace ServerRoles
