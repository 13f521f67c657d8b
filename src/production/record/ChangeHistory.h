#pragma once

#include <QString>

class Database;

// The change history's triggers: every insert, change and delete of a row of an audited table
// writes one [Change History] row per field, in the same transaction, whatever client made it.
// On a server the trigger functions belong to the owner and run as it (SECURITY DEFINER); on a
// file they call the program's own functions (HistoryChain), which other tools lack. The
// history's own triggers refuse any change or deletion of its rows.
namespace ChangeHistory {
// Makes the history table when the database lacks it, then every trigger anew.
void replace(Database &db);
// Whether every trigger (and server function) is there as this version makes it.
bool current(const Database &db);
// Takes every trigger away, for a copy that brings the history's rows with it.
void drop(Database &db);

// What --verify-history found: the rows read, the newest hash and, when a row does not match
// its hash, that row's [Change ID] (0 when the chain holds).
struct Verification
{
    qint64 rows = 0;
    QString latestHash;
    qint64 firstMismatch = 0;
};
Verification verify(const Database &db);
// The newest row's hash, "" when the history is empty.
QString latestHash(const Database &db);
} // namespace ChangeHistory
