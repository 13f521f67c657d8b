#pragma once

#include <QString>

// Every running copy holds, from login to exit, a shared advisory lock on a presence file beside
// the production database ("<database file>.presence"). Whole-file operations need every other
// copy out of the file: they try for the exclusive lock without waiting, which fails while any
// other process holds its shared lock. The operating system drops the lock of a copy that dies.
class PresenceLock
{
public:
    PresenceLock() = default;
    ~PresenceLock();
    PresenceLock(const PresenceLock &) = delete;
    PresenceLock &operator=(const PresenceLock &) = delete;

    static QString presencePath(const QString &databasePath);

    // Takes the shared lock for this copy; false when the presence file cannot be opened or the
    // lock cannot be had within a few seconds.
    bool holdShared(const QString &databasePath);
    void release();
    bool isHeld() const;

    // True when no other process holds the presence lock of the database; this copy's own shared
    // lock does not count and is held again afterwards. Returns at once, never waits.
    bool tryExclusive(const QString &databasePath);

private:
    bool ownsLockFor(const QString &databasePath) const;
    bool retakeShared();

    QString m_path;
    // The open presence file: a descriptor, or a handle on Windows; -1 when none.
    qintptr m_file = -1;
};
