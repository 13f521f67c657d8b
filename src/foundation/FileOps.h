#pragma once

#include <QByteArray>
#include <QString>

// File operations that whole-file maintenance relies on; tests inject failures here.
class FileOps
{
public:
    virtual ~FileOps() = default;
    virtual bool copy(const QString &from, const QString &to);
    virtual bool rename(const QString &from, const QString &to);
    // Renames from to to in one step, replacing a file already at to, so that to never goes
    // missing. Both must be in the same folder. The new file takes the permissions and the group
    // of the file it replaces: a database shared by several accounts stays writable for all.
    virtual bool replace(const QString &from, const QString &to);
    virtual bool remove(const QString &path);
    // A second name to for the file from, on the same disk: no copy is made, and the file keeps
    // its data under to when from is replaced. False where the file system has no such names.
    virtual bool link(const QString &from, const QString &to);
    // The bytes this account may still write on the disk holding path (a folder or a file).
    virtual qint64 freeSpace(const QString &path) const;
    // Moves the file to the desktop's trash. False, with the file left where it was, when there
    // is no trash or it cannot take the file (another device, a network share): never deletes.
    virtual bool moveToTrash(const QString &path);
    // Writes bytes into the file at offset, creating it when missing; the rest stays as it was.
    virtual bool writeAt(const QString &path, qint64 offset, const QByteArray &bytes);
    virtual bool exists(const QString &path) const;
    // Why the last operation that failed failed, in the system's words.
    QString errorString() const { return m_error; }

protected:
    // Records why an operation failed; returns false for the caller to pass on.
    bool fail(const QString &reason)
    {
        m_error = reason;
        return false;
    }

private:
    QString m_error;
};
