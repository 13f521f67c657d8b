#pragma once

class Database;

// The change history's triggers as each engine holds them: on a file, SQLite triggers that call
// the writer the program registers on its connections, and guards that keep the history's rows;
// on a server, SECURITY DEFINER functions of the owner with their triggers.
struct HistoryTriggers
{
    void (*replace)(Database &);       // made anew, as the program's version writes them
    bool (*current)(const Database &); // all there, as this version writes them
    void (*drop)(Database &);

    static const HistoryTriggers &of(const Database &db);
};
