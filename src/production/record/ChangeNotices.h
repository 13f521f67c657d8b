#pragma once

class Database;

// On a server, every change to a table a window shows is announced to the other workstations:
// a trigger on each table notifies the channel ChangeWatch listens on, after commit, with the
// table's name and the date-shift of the row ("Transfer Table|2026-12-07|1"; nothing after the
// bar for a table without date-shifts). A file database announces nothing: ChangeWatch polls it.
namespace ChangeNotices {
// Creates the function and the triggers (replacing any); the tables must exist.
void create(Database &db);
// True when every trigger is there, or the database is a file.
bool current(const Database &db);
// Creates what is missing (a database made by an earlier version).
void ensure(Database &db);
} // namespace ChangeNotices
