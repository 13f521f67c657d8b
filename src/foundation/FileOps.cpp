#include "FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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

namespace {
// Qt looks for the desktop's trash and, where it can make none (no home folder, say), takes the
// current folder for it and leaves "files" and "info" in the program's working folder. So the
// move runs with an empty folder of its own as the current one, and a file that lands there is
// put back: there is no trash then.
bool moveToDesktopTrash(const QString &path)
{
    const QTemporaryDir scratch;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString working = QDir::currentPath();
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path()))
        return false;
    QFile file(absolute);
    const bool moved = file.moveToTrash();
    const QString landed = QFileInfo(file.fileName()).absoluteFilePath();
    QDir::setCurrent(working);
    if (moved && landed.startsWith(QDir(scratch.path()).absolutePath() + '/')) {
        QFile::rename(landed, absolute);
        return false;
    }
    return moved;
}
} // namespace

bool FileOps::moveToTrash(const QString &path)
{
    return moveToDesktopTrash(path) || QFile::remove(path);
}
