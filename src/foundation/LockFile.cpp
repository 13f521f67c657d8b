#include "LockFile.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
LockFile::Handle LockFile::openReadWrite(const QString &path)
{
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? kNone : reinterpret_cast<Handle>(handle);
}

void LockFile::close(Handle file)
{
    CloseHandle(reinterpret_cast<HANDLE>(file));
}
#else
LockFile::Handle LockFile::openReadWrite(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        // Made by this call: the mode asked for is cut by the umask.
        ::fchmod(fd, 0666);
        return fd;
    }
    fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    return fd < 0 ? kNone : fd;
}

void LockFile::close(Handle file)
{
    ::close(int(file));
}
#endif
