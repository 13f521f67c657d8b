#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

class Prompter;

// What "db.lok" says: when a whole-file operation started, who runs it and which one it is.
struct LockInfo
{
    QString startedText; // line 1 as written, shown to the user unchanged
    QDateTime started;
    QString who;
    QString operation; // "Backup", "Restore", "Repair" or "Compaction"
};

// The lock file "db.lok" that announces a running whole-file operation: three text lines ended by
// CR LF. Maintenance writes it into the database's folder; start-up looks into the program folder.
class LockFile
{
public:
    explicit LockFile(QString path) : m_path(std::move(path)) {}
    static LockFile inFolder(const QString &folder);

    QString path() const { return m_path; }
    bool exists() const;

    // The three lines; nothing when the file is missing, unreadable, short of lines, or when line 1
    // is not a date and time (such a file counts as absent).
    std::optional<LockInfo> read() const;
    bool write(const QDateTime &started, const QString &who, const QString &operation) const;
    // Deletes the file and, while it still exists after a delete that went through (a file
    // system that finishes deletes late), pauses a second and looks again, up to maxAttempts
    // pauses. A delete that is refused (a folder the user cannot write) is given up at once:
    // waiting would not change it. False then, with the system's reason in *reason.
    bool remove(const std::function<void(int)> &pause, int maxAttempts = 30, QString *reason = nullptr) const;

    // The lock wait of the maintenance commands: when a lock is there, asks "Database in Use";
    // No gives false (the command is abandoned), Yes waits in one-second pauses until the file
    // is gone. No lock: true at once.
    bool waitWhileLocked(Prompter &prompter, const std::function<void(int)> &pause) const;

    static qint64 ageMinutes(const LockInfo &lock, const QDateTime &now);
    static QString questionText(const LockInfo &lock);
    static QString questionTitle() { return QStringLiteral("Database in Use"); }
    static QString formatTime(const QDateTime &when);
    static QDateTime parseTime(const QString &text);

private:
    QString m_path;
};
