#pragma once

#include <QString>

// File operations that whole-file maintenance relies on; tests inject failures here.
class FileOps
{
public:
    virtual ~FileOps() = default;
    virtual bool copy(const QString &from, const QString &to);
    virtual bool rename(const QString &from, const QString &to);
    // Renames from to to in one step, replacing a file already at to, so that to never goes
    // missing. Both must be in the same folder.
    virtual bool replace(const QString &from, const QString &to);
    virtual bool remove(const QString &path);
    // Moves to the desktop's trash where there is one, else deletes.
    virtual bool moveToTrash(const QString &path);
    virtual bool exists(const QString &path) const;
};
