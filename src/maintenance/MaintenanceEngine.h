#pragma once

#include "foundation/FileSalvage.h"

#include <QString>

#include <optional>

class Database;

// The database engine's whole-file operations the maintenance commands call. Each returns an
// empty text on success, else the engine's error; tests make any of them fail.
class MaintenanceEngine
{
public:
    virtual ~MaintenanceEngine() = default;

    // A copy of the database at from into the new file to, through SQLite's online backup.
    virtual QString backup(const QString &from, const QString &to);
    // A compacted copy of from into the new file to (VACUUM INTO).
    virtual QString compact(const QString &from, const QString &to);
    // A new file to built from every row that can still be read in the damaged file from.
    virtual QString rebuild(const QString &from, const QString &to, const QString &scratchFolder);
    // What the last rebuild kept and lost, table by table.
    const RebuildResult &lastRebuild() const { return m_lastRebuild; }
    // Opens the file and runs the engine's integrity check.
    virtual QString check(const QString &path);
    // The number of job lines of a production database; nothing when the file cannot be read or
    // lacks the tables of a production database (an empty file, another program's database).
    virtual std::optional<qint64> jobLines(const QString &path);
    // The same for a database open on either engine.
    static std::optional<qint64> jobLinesOf(const Database &db);

private:
    RebuildResult m_lastRebuild;
};
