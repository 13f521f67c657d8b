#include "PresenceLock.h"

#include "foundation/LockFile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#endif

namespace {
// A few short tries: the other side holds its exclusive lock only for the moment of its check.
constexpr int kSharedWaitMsecs = 5000;

using NativeFile = LockFile::Handle;
constexpr NativeFile kNoFile = LockFile::kNone;

// A copy that may not write the file still takes its shared lock through a read-only handle.
NativeFile openFile(const QString &path)
{
    NativeFile file = LockFile::openReadWrite(path);
#ifndef Q_OS_WIN
    if (file == kNoFile)
        file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
#endif
    return file;
}

#ifdef Q_OS_WIN
HANDLE handleOf(NativeFile file)
{
    return reinterpret_cast<HANDLE>(file);
}

bool lockNow(NativeFile file, bool exclusive)
{
    OVERLAPPED overlapped{};
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(handleOf(file), flags, 0, 1, 0, &overlapped);
}
void unlock(NativeFile file)
{
    OVERLAPPED overlapped{};
    UnlockFileEx(handleOf(file), 0, 1, 0, &overlapped);
}
#else
bool lockNow(NativeFile file, bool exclusive)
{
    int result;
    do {
        result = ::flock(int(file), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}
void unlock(NativeFile file)
{
    ::flock(int(file), LOCK_UN);
}
#endif

bool lockSharedSoon(NativeFile file)
{
    QDeadlineTimer deadline(kSharedWaitMsecs);
    while (!lockNow(file, false)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}
} // namespace

PresenceLock::~PresenceLock()
{
    release();
}

QString PresenceLock::presencePath(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteFilePath() + QStringLiteral(".presence");
}

bool PresenceLock::isHeld() const
{
    return m_file != kNoFile;
}

bool PresenceLock::ownsLockFor(const QString &databasePath) const
{
    return isHeld() && m_path == presencePath(databasePath);
}

bool PresenceLock::holdShared(const QString &databasePath)
{
    if (databasePath.isEmpty())
        return false;
    if (ownsLockFor(databasePath))
        return true;
    release();
    const QString path = presencePath(databasePath);
    const NativeFile file = openFile(path);
    if (file == kNoFile)
        return false;
    if (!lockSharedSoon(file)) {
        LockFile::close(file);
        return false;
    }
    m_file = file;
    m_path = path;
    return true;
}

void PresenceLock::release()
{
    if (!isHeld())
        return;
    unlock(m_file);
    LockFile::close(m_file);
    m_file = kNoFile;
    m_path.clear();
}

bool PresenceLock::retakeShared()
{
    if (lockSharedSoon(m_file))
        return true;
    // Lost to a long exclusive holder: this copy no longer counts as present.
    LockFile::close(m_file);
    m_file = kNoFile;
    m_path.clear();
    return false;
}

bool PresenceLock::tryExclusive(const QString &databasePath)
{
    if (ownsLockFor(databasePath)) {
        // Our own shared lock would conflict with the exclusive try: let it go first. (flock may
        // drop it on a failed upgrade anyway, so it is always taken back explicitly.)
        unlock(m_file);
        const bool exclusive = lockNow(m_file, true);
        if (exclusive)
            unlock(m_file);
        retakeShared();
        return exclusive;
    }
    if (databasePath.isEmpty())
        return true;
    const QString path = presencePath(databasePath);
    const NativeFile file = openFile(path);
    if (file == kNoFile) {
        // Nobody can hold a lock on a presence file that does not exist.
        return !QFile::exists(path);
    }
    const bool exclusive = lockNow(file, true);
    if (exclusive)
        unlock(file);
    LockFile::close(file);
    return exclusive;
}
