#include "FileOps.h"

#include <QFile>

bool FileOps::copy(const QString &from, const QString &to)
{
    return QFile::copy(from, to);
}
bool FileOps::rename(const QString &from, const QString &to)
{
    return QFile::rename(from, to);
}
bool FileOps::remove(const QString &path)
{
    return QFile::remove(path);
}
bool FileOps::exists(const QString &path) const
{
    return QFile::exists(path);
}

bool FileOps::moveToTrash(const QString &path)
{
    QFile file(path);
    return file.moveToTrash() || file.remove();
}
