#include "FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <filesystem>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// Gives the file at path the mode and group of the file at model. The group is kept where this
// account may set it (it belongs to that group); the mode always can be, the file being ours.
QString takeAttributesOf(const QString &model, const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(model);
    Q_UNUSED(path);
    return {};
#else
    struct stat old
    {
    };
    const QByteArray modelName = QFile::encodeName(model);
    if (::stat(modelName.constData(), &old) != 0)
        return {}; // nothing replaced: the new file keeps what it was made with
    const QByteArray name = QFile::encodeName(path);
    struct stat now
    {
    };
    if (::stat(name.constData(), &now) == 0 && now.st_gid != old.st_gid)
        (void)::chown(name.constData(), uid_t(-1), old.st_gid);
    if (::chmod(name.constData(), old.st_mode & 07777) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
#endif
}
} // namespace

bool FileOps::copy(const QString &from, const QString &to)
{
    QFile file(from);
    return file.copy(to) || fail(file.errorString());
}

bool FileOps::rename(const QString &from, const QString &to)
{
    QFile file(from);
    return file.rename(to) || fail(file.errorString());
}

bool FileOps::replace(const QString &from, const QString &to)
{
    const QString attributes = takeAttributesOf(to, from);
    if (!attributes.isEmpty())
        return fail(attributes);
    // The system's rename replaces the target atomically (MoveFileEx with replace on Windows).
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
                            std::filesystem::path(to.toStdU16String()), error);
    return !error || fail(QString::fromStdString(error.message()));
}

bool FileOps::remove(const QString &path)
{
    QFile file(path);
    return file.remove() || fail(file.errorString());
}

bool FileOps::link(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::create_hard_link(std::filesystem::path(from.toStdU16String()),
                                      std::filesystem::path(to.toStdU16String()), error);
    return !error || fail(QString::fromStdString(error.message()));
}

qint64 FileOps::freeSpace(const QString &path) const
{
    QFileInfo info(path);
    while (!info.exists() && info.absolutePath() != info.absoluteFilePath())
        info = QFileInfo(info.absolutePath());
    return QStorageInfo(info.absoluteFilePath()).bytesAvailable();
}

bool FileOps::exists(const QString &path) const
{
    return QFile::exists(path);
}

namespace {
// Qt looks for the desktop's trash and, where it can make none (no home folder, say), takes the
// current folder for it and leaves "files" and "info" in the program's working folder. So the
// move runs with an empty folder of its own as the current one, and a file that lands there is
// put back: there is no trash then. Should the file not go back, the folder stays, and with it the
// file: stranded names where it is.
bool moveToDesktopTrash(const QString &path, QString &stranded)
{
    QTemporaryDir scratch;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString working = QDir::currentPath();
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path()))
        return false;
    QFile file(absolute);
    const bool moved = file.moveToTrash();
    const QString landed = QFileInfo(file.fileName()).absoluteFilePath();
    QDir::setCurrent(working);
    if (moved && landed.startsWith(QDir(scratch.path()).absolutePath() + '/')) {
        if (!QFile::rename(landed, absolute)) {
            scratch.setAutoRemove(false);
            stranded = landed;
        }
        return false;
    }
    return moved;
}
} // namespace

bool FileOps::moveToTrash(const QString &path)
{
    QString stranded;
    if (moveToDesktopTrash(path, stranded))
        return true;
    if (!stranded.isEmpty())
        return fail(QStringLiteral("there is no trash, and the file could not go back to '%1': it is kept as "
                                   "'%2'")
                        .arg(path, stranded));
    return fail(QStringLiteral("the trash cannot take the file"));
}

bool FileOps::writeAt(const QString &path, qint64 offset, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(offset))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail(file.errorString());
    return true;
}
