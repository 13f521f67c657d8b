#include "FileOps.h"

#include <QFile>

#include <filesystem>

bool FileOps::copy(const QString &from, const QString &to)
{
    return QFile::copy(from, to);
}
bool FileOps::rename(const QString &from, const QString &to)
{
    return QFile::rename(from, to);
}
bool FileOps::replace(const QString &from, const QString &to)
{
    // The system's rename replaces the target atomically (MoveFileEx with replace on Windows).
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
                            std::filesystem::path(to.toStdU16String()), error);
    return !error;
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
