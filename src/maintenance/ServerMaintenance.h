#pragma once

#include "foundation/ServerAddress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class Database;

// The Database menu's work on a plant database on a PostgreSQL server. The server keeps its own
// files: a backup is the server's own archive (pg_dump's custom format), a restore builds a new
// database from one (pg_restore, in one transaction) and renames it in only once it is complete,
// compaction is VACUUM (FULL, ANALYZE), and the repair is the server's index checks. The server's
// programs get the connection as libpq keywords on their command line, never a password (the
// server's own authentication or the password file says who may connect). Each step returns an
// empty text on success, else what went wrong.
// A table as Compact left it: whether it was rewritten (else only analyzed) and its size in bytes
// before and after.
struct CompactedTable
{
    QString name;
    bool rewritten = false;
    qint64 before = 0, after = 0;
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

class ServerMaintenance
{
public:
    // Throws DatabaseError when uri cannot be used.
    explicit ServerMaintenance(const QString &uri);

    QString databaseName() const { return m_address.database; }

    // Where the server's program name is: the folder KELVARA_TEST_SERVER_BIN names (the server the
    // tests start), else the PATH, else the newest /usr/lib/postgresql/<version>/bin. Empty when
    // it is nowhere.
    static QString findProgram(const QString &name);

    // The whole database into the new file, as pg_dump's custom-format archive.
    QString dump(const QString &file) const;
    // Reads the archive's table of contents: a file cut short or not an archive fails here.
    QString checkArchive(const QString &file) const;
    // The database's name for a restore's work: "<name>_restoring".
    QString workDatabase() const;
    // A new, empty work database (one left by an earlier restore that never finished is dropped
    // first: it was never the plant's), then the archive restored into it in one transaction.
    QString restoreInto(const QString &file, const QString &work) const;
    // The job lines of a database on the server; nothing when it lacks the production tables.
    std::optional<qint64> jobLines(const QString &database) const;
    // What pg_dump leaves out because it belongs to the database itself: its owner, its settings
    // and who may connect to it (its privileges) go from the plant's database to work.
    QString carryOverAccess(const QString &work) const;
    // In one transaction on the server: the plant's database renamed to keptAs and work renamed
    // to the plant's name. Any connection still open to either makes it fail, changing nothing.
    QString swapIn(const QString &work, const QString &keptAs) const;
    QString dropDatabase(const QString &name) const;
    // The name the database as it was gets beside the restored one, "<name>_before_restore_<time>".
    QString keptName(const QDateTime &when) const;

    // Empty when this login may run the command; else why not and what the server's administrator
    // runs instead. VACUUM skips (without failing) every table the login does not own, and a
    // restore makes a database and gives it to the plant's owner: on a database --setup-server
    // made, both are the administrator's.
    QString compactRefusal() const;
    QString restoreRefusal() const;
    QString repairRefusal() const;
    // Every table rewritten without its dead rows and analyzed: through the owner's function where
    // --setup-server made it, else by VACUUM (FULL, ANALYZE) of the tables' owner.
    QString compact(QList<CompactedTable> &tables) const;
    ServerCheckResult check() const;

private:
    // The address without this workstation's login, for the administrator's command line.
    QString administratorAddress() const;
    // Empty when the query answers true for this login, else the refusal.
    QString refusalUnless(const QString &allowed, const QString &refusal,
                          const QVariantMap &values = {}) const;
    static QList<CompactedTable> compactedTables(const Database &db, const QString &sql);
    QString runProgram(const QString &name, const QStringList &arguments) const;
    // Runs sql on a connection of its own to the database of that name on the server.
    QString runOn(const QString &database, const QString &sql) const;

    ServerAddress m_address;
};
