#pragma once

#include "MaintenanceEngine.h"

#include "foundation/Prompter.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class LockFile;
class ServerMaintenance;
struct CompactedTable;
class Session;
struct LockInfo;

// The four whole-file commands of the Database menu, in the order of its items.
enum class MaintenanceOperation { Backup = 1, Restore = 2, Repair = 3, Compact = 4 };

// Backup, restore, repair and compaction of the production database (D below) and of the
// workstation's report database, inside the common frame: the lock wait, the exclusive access
// check, the lock file "db.lok" in the database's folder, the dates in "DFUNC.DAT", the status
// message and the removal of the lock.
//
// For a database on a server (see ServerMaintenance) there is no lock file and no DFUNC.DAT:
// Backup and Restore work with a backup file the user chooses, and Restore and Compact run inside
// the exclusive access check, which holds the server's exclusive lock until they end.
//
// No step ever leaves D missing or half written: every new file is made complete and checked
// beside its target first, the file it replaces is kept under a second name (a hard link, so it
// costs no copy; a copy only where the disk has no such names) that goes to the trash (or, where
// the trash cannot take it, to the folder of kept copies beside D, which keeps the newest five of
// each kind), and the new file is renamed over the target in one step, keeping the target's
// permissions. Before a command writes a file, it checks that the disk has room for it. A step that fails
// stops the command with its error shown and what is true of the files at that moment; the work files are
// gone, the lock file is removed and no date is recorded.
class DatabaseMaintenance
{
public:
    enum class Outcome { Abandoned, Failed, Done };

    struct Hooks
    {
        std::function<void(int)> pause;      // waits whole seconds, keeping the interface alive
        std::function<void(bool)> busy = {}; // the hourglass on and off
        // Shows the lock wait's progress; false when the user cancelled the wait.
        std::function<bool(const LockInfo &, int secondsWaited)> lockProgress = {};
        // On a server: the backup file to write (Backup) or to read (Restore), chosen by the user
        // with suggestion offered; empty when the user cancelled.
        std::function<QString(MaintenanceOperation, const QString &suggestion)> chooseFile = {};
    };

    DatabaseMaintenance(Session &session, MaintenanceEngine &engine, Hooks hooks);

    Outcome run(MaintenanceOperation operation);

    // The operation word of the lock file's line 3.
    static QString operationWord(MaintenanceOperation operation);
    // Backup and Restore are for level "C" only; Repair and Compact for every level.
    static bool allowedFor(MaintenanceOperation operation, const QString &level);
    // On a server: the commands of the level that the login may not run there, each with why not
    // and what the server's administrator runs instead; the menu shows them disabled with it.
    static QMap<MaintenanceOperation, QString> serverRefusals(const QString &uri, const QString &level);
    static QString statusTitle() { return QStringLiteral("Database Status"); }
    // What a command has done, as told when a later step fails: "The database was restored".
    static QString doneText(MaintenanceOperation operation);
    static QString unchangedText(MaintenanceOperation operation);

    QString databasePath() const;
    QString backupPath() const { return databasePath() + QStringLiteral("-Backup.mdb"); }
    QString lockPath() const;
    QString recordPath() const;
    // The folder beside D where the files the trash cannot take are kept, and how many of each
    // kind (the same file name before its date) it keeps.
    QString keptFolder() const;
    static constexpr int kKeptPerKind = 5;

private:
    struct StepFailed
    {
        QString text;
        bool declined = false; // the user chose not to go on
    };
    // The message that ends a command.
    struct Report
    {
        QString text;
        MsgIcon icon = MsgIcon::Information;
        Outcome outcome = Outcome::Done;
    };

    static QString statusText(MaintenanceOperation operation);
    static qint64 sizeOf(const QString &path);
    static QString megabytes(qint64 bytes);
    static QString compactedText(const QString &database, const QList<CompactedTable> &tables);
    Report runSteps(MaintenanceOperation operation, LockFile &lock);
    Outcome runOnServer(MaintenanceOperation operation);
    static QString serverRefusal(const ServerMaintenance &server, MaintenanceOperation operation);
    Report serverSteps(MaintenanceOperation operation, ServerMaintenance &server, const QString &file);
    void restoreOnServer(ServerMaintenance &server, const QString &file);
    Report stopped(MaintenanceOperation operation, const StepFailed &failure) const;
    QString keptNotes() const;
    void removeLock(LockFile &lock);
    void backup();
    void restore();
    void repair();
    void compact();

    // Puts the complete, checked file work in place of target; a copy of the old target goes to
    // the trash first.
    void replaceWith(const QString &work, const QString &target, const QString &word);
    // A work file left by an earlier run goes to the trash: it could be someone's last copy.
    void clearWorkFile(const QString &path);
    // To the trash with path; where the trash cannot take it, it stays beside under a dated name
    // and the user is told where. Never deleted.
    void discard(const QString &path);
    // Asks before a backup with fewer job lines replaces the one there; refuses a copy that is
    // not a production database.
    void confirmBackup(const QString &copy);
    void engineStep(const QString &error);
    // The engine's integrity check of a new file; a long report goes whole to the error log.
    void checkStep(const QString &path);
    // Notes what the repair kept and lost in the new file and the error log, keeps the damaged
    // file beside the database when rows were lost, and sets the status message.
    void reportRepair(const QString &database, const QString &work);
    void setBusy(bool on) const;
    // Stops the command, before it writes anything, when a disk lacks the room the files need:
    // each file's path and its size, summed per disk.
    void needSpace(const QList<QPair<QString, qint64>> &files);
    // Gives the file target the second name previous (the safety copy of a file about to be
    // replaced); copies it where the disk has no second names.
    void keepPrevious(const QString &target, const QString &previous);
    // Notes a file the command wrote in full, for the closing note.
    void counted(const QString &path);
    QString copiesNote() const;
    // Removes the oldest kept copies of name's kind beyond kKeptPerKind; the newest is complete.
    void pruneKept(const QString &name);

    Session &m_session;
    MaintenanceEngine &m_engine;
    Hooks m_hooks;
    QStringList m_workFiles; // removed when a step fails
    QStringList m_replaced;  // the files put in place so far
    QStringList m_kept;      // where files the trash could not take are kept
    QString m_status;        // the status message where it is more than the operation's word
    MaintenanceOperation m_operation = MaintenanceOperation::Backup;
    int m_copies = 0; // the files written in full, and their size
    qint64 m_copiedBytes = 0;
    bool m_holdsExclusiveAccess = false;
};
