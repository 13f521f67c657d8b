#pragma once

#include "foundation/FileSalvage.h"

#include <QString>

class Database;
class QDateTime;
class Session;

// The corrupt-database repair, run whenever opening the production database reports a damaged
// file. SQLite here has no recovery extension, so the repair builds a new file from the damaged
// file's own schema and every row that can still be read, checks it, compacts it into "db2.mdb"
// beside the database, and only then puts it in place of the damaged file, which is kept beside
// it under a ".damaged-<time>" name. A repair that fails leaves the damaged file as it was.
class DatabaseRepair
{
public:
    explicit DatabaseRepair(Session &session);

    // The whole repair with its questions and messages; No to the first question ends the program.
    void run();

    static QString statusText();
    // The message after a rebuild: the status text when nothing was lost, else what was lost and
    // where the damaged file is kept; both with the rows kept, table by table.
    static QString outcomeText(const RebuildResult &result, const QString &keptCopy);

    // Notes in the rebuilt file what this repair kept and lost, table by table (in the table
    // "Repair Report"), so that a later login refused for want of a Security Table row can say why.
    static void recordOutcome(const QString &rebuiltPath, const RebuildResult &result,
                              const QString &keptCopy, const QDateTime &when);
    // The kept damaged copy named by the latest repair when it lost rows of the Security Table;
    // empty otherwise. Damage (3049) is thrown, as for any read.
    static QString securityLossCopy(const Database &db);
    // The name the damaged file gets beside the database.
    static QString keptCopyPath(const QString &database, const QDateTime &when);

private:
    bool compactAndReplace(const QString &rebuilt, const QString &kept, QString &failure);
    bool replaceDamaged(const QString &compacted, const QString &kept, QString &failure);
    void reportFailure(const QString &failure);
    QString workFolder() const;
    QString workFile(const QString &name) const;

    Session &m_session;
};
