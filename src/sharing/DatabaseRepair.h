#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Database;
class QDateTime;
class Session;

// What a rebuild did with one table of the damaged file.
struct TableOutcome
{
    QString name;
    qint64 kept = 0;
    qint64 refused = 0;   // rows read but refused by the new file (a damaged value breaking a rule)
    bool declared = true; // false: the new file could not even declare the table
    // Stretches of row numbers that could not be read: (last number read before, first after;
    // 0 where there was none).
    QList<QPair<qint64, qint64>> unreadable;
    qint64 highestKept = 0;
    qint64 counter = 0;          // where the damaged file's counter for the table stood; 0 when none
    bool counterGapLost = false; // the counter stood above the highest row kept in a damaged file

    bool lostRows() const { return !declared || !unreadable.isEmpty() || refused > 0 || counterGapLost; }
    // One line for the user and the error log: "<table>: <n> rows kept[; what was lost]".
    QString text() const;
};

// What a rebuild got out of a damaged file.
struct RebuildResult
{
    bool ok = false;
    QString failure; // why nothing usable came out
    int tablesCopied = 0;
    qint64 rowsCopied = 0;
    QStringList damagedTables; // tables of which some rows could not be read
    QList<TableOutcome> tables;
    bool sourceDamaged = false; // the damaged file failed its own integrity check
    bool countersRead = true;   // the damaged file's counters could be read

    bool lostRows() const;
    bool lostRows(const QString &table) const;
    // Table by table, the rows kept and what was lost.
    QString report() const;
};

// What the server's own checks found in a plant database on a server: every btree index of the
// program's tables checked against its table (amcheck's bt_index_check).
struct ServerCheckResult
{
    QString failure; // why the checks could not run at all
    int tables = 0;
    int indexes = 0;
    QStringList problems; // one line an index that failed its check

    bool sound() const { return failure.isEmpty() && problems.isEmpty(); }
    // What was checked and what was found, for the user, naming the database.
    QString report(const QString &databaseName) const;
};

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

    // A new database at targetPath (which must not exist) from what can be read of damagedPath.
    // A file whose header is smashed, or that was cut short, is read through a copy with the
    // header corrected, made in scratchFolder.
    static RebuildResult rebuild(const QString &damagedPath, const QString &targetPath,
                                 const QString &scratchFolder);

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
    // The server keeps its own files whole: its repair is the checks, run on db, which reads the
    // server's catalog. The extension amcheck is installed where it is missing.
    static ServerCheckResult checkServer(const Database &db);

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
