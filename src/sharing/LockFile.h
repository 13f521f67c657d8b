#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class FileOps;
class Prompter;
class QFile;

// What "db.lok" says: when a whole-file operation started, who runs it and which one it is.
struct LockInfo
{
    QString startedText; // line 1 as written, shown to the user unchanged
    QDateTime started;
    QString who;
    QString operation; // "Backup", "Restore", "Repair" or "Compaction"
};

// What a lock wait ends in: the lock is gone (go on), the user would not wait (No or Cancel), or a
// lock left by a command that no longer runs could not be removed (the user was told why).
enum class LockWaitResult { Free, Abandoned, Blocked };

// How a lock wait keeps the user informed. progress is called before every one-second pause
// with the seconds waited so far and returns false when the user cancelled the wait; pause waits
// whole seconds keeping the interface alive.
struct LockWaitHooks
{
    std::function<void(int)> pause;
    std::function<bool(const LockInfo &lock, int secondsWaited)> progress = {};
};

// The lock file "db.lok" that announces a running whole-file operation: three text lines ended by
// CR LF. Maintenance writes it beside the database; start-up looks there (and into the program
// folder, where copies run from the plant's shared folder used to write it: see SharedFiles).
//
// The copy of the program that writes the lock holds an advisory lock on the open file until the
// file is removed or the copy ends (the system drops it when a copy dies). A db.lok whose file
// lock nobody holds was left by a command that no longer runs.
class LockFile
{
public:
    explicit LockFile(QString path);
    LockFile(LockFile &&other) noexcept;
    ~LockFile();
    static LockFile inFolder(const QString &folder);

    QString path() const { return m_path; }
    bool exists() const;

    // The three lines; nothing when the file is missing, unreadable, short of lines, or when line 1
    // is not a date and time (such a file counts as absent).
    std::optional<LockInfo> read() const;
    // Writes the three lines and holds the file for this copy until remove or destruction. False
    // when the file cannot be written or another running command holds it.
    bool write(const QDateTime &started, const QString &who, const QString &operation);
    // True from a write that went through until remove: the file is this copy's own.
    bool isHeld() const { return m_held != nullptr; }

    enum class Holder { Running, Gone, Unknown };
    // Whether the command that wrote the lock is still running; asks without waiting.
    Holder holder() const;

    // Deletes the file through files and, while it still exists after a delete that went through
    // (a file system that finishes deletes late), pauses a second and looks again, up to
    // maxAttempts pauses. A delete that is refused (a folder the user cannot write) is given up
    // at once: waiting would not change it. False then, with the system's reason in *reason.
    // This copy's hold on the file ends either way.
    bool remove(FileOps &files, const std::function<void(int)> &pause, int maxAttempts = 30,
                QString *reason = nullptr);
    // Removes a lock whose command no longer runs; false, with the reason, when the file cannot
    // be deleted or a running command holds it after all.
    bool removeStale(FileOps &files, QString *reason) const;

    // The lock wait of the maintenance commands. No lock: Free at once. A lock whose command no
    // longer runs is removed after telling the user who left it and when (Blocked when it cannot
    // be removed). A running one asks "Database in Use": No abandons; Yes waits in one-second
    // pauses, showing its progress, until the file is gone, the user cancels, or its command is
    // found gone (then handled as above).
    LockWaitResult waitWhileLocked(Prompter &prompter, FileOps &files, const LockWaitHooks &hooks);

    static qint64 ageMinutes(const LockInfo &lock, const QDateTime &now);
    static QString questionText(const LockInfo &lock);
    static QString questionTitle() { return QStringLiteral("Database in Use"); }
    static QString formatTime(const QDateTime &when);
    static QDateTime parseTime(const QString &text);
    // The message that a lock of a command that no longer runs was removed, or why it could not be.
    static QString staleRemovedText(const QString &path, const LockInfo &lock);
    static QString staleStaysText(const QString &path, const LockInfo &lock, const QString &reason);

private:
    LockWaitResult removeStaleTelling(Prompter &prompter, FileOps &files, const LockInfo &lock) const;
    void release();

    QString m_path;
    std::unique_ptr<QFile> m_held; // open and locked while this copy's command runs
};
