#include "LockFile.h"

#include "foundation/FileOps.h"
#include "foundation/Prompter.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringList>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {
#ifndef Q_OS_WIN
// An advisory lock on an open file, without waiting. Locks of different opens of one file
// conflict even within one process, so a holder and a checker may share a process.
bool lockNow(int fd, int operation)
{
    int result;
    do {
        result = ::flock(fd, operation | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}
#endif
} // namespace

LockFile::LockFile(QString path) : m_path(std::move(path)) {}

LockFile::LockFile(LockFile &&other) noexcept = default;

LockFile::~LockFile()
{
    release();
}

LockFile LockFile::inFolder(const QString &folder)
{
    return LockFile(QDir(folder).filePath(QStringLiteral("db.lok")));
}

bool LockFile::exists() const
{
    return QFile::exists(m_path);
}

QString LockFile::formatTime(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime LockFile::parseTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    // Our own form first; older lock files carry the general date form of the writer's locale.
    static const QStringList formats = {
        QStringLiteral("yyyy-MM-dd HH:mm:ss"),
        QStringLiteral("M/d/yyyy h:mm:ss AP"),
        QStringLiteral("M/d/yyyy h:mm AP"),
        QStringLiteral("M/d/yyyy H:mm:ss"),
        QStringLiteral("M/d/yyyy"),
    };
    for (const QString &format : formats) {
        const QDateTime when = QDateTime::fromString(trimmed, format);
        if (when.isValid())
            return when;
    }
    for (const QLocale &locale : {QLocale(), QLocale::system()}) {
        for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
            const QDateTime when = locale.toDateTime(trimmed, format);
            if (when.isValid())
                return when;
        }
    }
    return {};
}

std::optional<LockInfo> LockFile::read() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Three short lines; a huge file is not a lock file.
    const QByteArray head = file.read(4096);
    QStringList lines = QString::fromUtf8(head).split('\n');
    // The line break after the last line starts no line of its own.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() < 3)
        return std::nullopt;
    for (QString &line : lines)
        line = line.trimmed();
    LockInfo lock{lines[0], parseTime(lines[0]), lines[1], lines[2]};
    if (!lock.started.isValid())
        return std::nullopt;
    return lock;
}

bool LockFile::write(const QDateTime &started, const QString &who, const QString &operation)
{
    release();
    auto file = std::make_unique<QFile>(m_path);
    // Opened without truncating: a file another running command holds stays as it is.
    if (!file->open(QIODevice::ReadWrite))
        return false;
#ifndef Q_OS_WIN
    if (!lockNow(file->handle(), LOCK_EX))
        return false;
#endif
    const QString text = formatTime(started) + QStringLiteral("\r\n") + who + QStringLiteral("\r\n") +
                         operation + QStringLiteral("\r\n");
    const QByteArray bytes = text.toUtf8();
    if (!file->resize(0) || file->write(bytes) != bytes.size() || !file->flush())
        return false;
    m_held = std::move(file);
    return true;
}

void LockFile::release()
{
    // Closing the file lets its lock go.
    m_held.reset();
}

LockFile::Holder LockFile::holder() const
{
    if (m_held)
        return Holder::Running;
#ifdef Q_OS_WIN
    return Holder::Unknown;
#else
    const QByteArray name = QFile::encodeName(m_path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Holder::Unknown;
    const bool free = lockNow(fd, LOCK_SH);
    ::close(fd);
    return free ? Holder::Gone : Holder::Running;
#endif
}

bool LockFile::remove(FileOps &files, const std::function<void(int)> &pause, int maxAttempts, QString *reason)
{
#ifdef Q_OS_WIN
    release(); // an open file cannot be deleted there
#endif
    const bool deleted = files.remove(m_path);
    const QString refusal = files.errorString();
    release();
    if (!deleted && exists()) {
        if (reason)
            *reason = refusal;
        return false;
    }
    for (int attempt = 0; exists(); ++attempt) {
        if (attempt >= maxAttempts) {
            if (reason)
                *reason = QStringLiteral("the file is still there after %1 seconds").arg(maxAttempts);
            return false;
        }
        pause(1);
    }
    return true;
}

bool LockFile::removeStale(FileOps &files, QString *reason) const
{
#ifndef Q_OS_WIN
    // Held while deleting, so that a command starting meanwhile cannot take it and lose it.
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly) && !lockNow(file.handle(), LOCK_EX)) {
        *reason = QStringLiteral("a running command holds it");
        return false;
    }
#endif
    if (files.remove(m_path) || !exists())
        return true;
    *reason = files.errorString();
    return false;
}

QString LockFile::staleRemovedText(const QString &path, const LockInfo &lock)
{
    return QStringLiteral("The lock file '%1' was left by %2 on %3 by a %4 that is no longer running. "
                          "It has been removed.")
        .arg(path, lock.who, lock.startedText, lock.operation);
}

QString LockFile::staleStaysText(const QString &path, const LockInfo &lock, const QString &reason)
{
    return QStringLiteral("The lock file '%1' was left by %2 on %3 by a %4 that is no longer running, "
                          "but it cannot be removed: %5.\n\nAsk someone who may change that folder to "
                          "delete it, then try again.")
        .arg(path, lock.who, lock.startedText, lock.operation, reason);
}

LockWaitResult LockFile::removeStaleTelling(Prompter &prompter, FileOps &files, const LockInfo &lock) const
{
    QString reason;
    if (!removeStale(files, &reason)) {
        prompter.tell(staleStaysText(m_path, lock, reason), questionTitle(), MsgIcon::Exclamation);
        return LockWaitResult::Blocked;
    }
    prompter.tell(staleRemovedText(m_path, lock), questionTitle(), MsgIcon::Information);
    return LockWaitResult::Free;
}

LockWaitResult LockFile::waitWhileLocked(Prompter &prompter, FileOps &files, const LockWaitHooks &hooks)
{
    const std::optional<LockInfo> lock = read();
    if (!lock)
        return LockWaitResult::Free;
    // A command that was killed leaves its lock behind; nobody would ever remove it.
    if (holder() == Holder::Gone)
        return removeStaleTelling(prompter, files, *lock);
    const MsgAnswer answer =
        prompter.ask({questionText(*lock), questionTitle(), MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return LockWaitResult::Abandoned;
    for (int waited = 0; exists(); ++waited) {
        if (holder() == Holder::Gone) {
            // Ended without removing its lock (or ended just now: then the file is gone).
            if (const std::optional<LockInfo> left = read())
                return removeStaleTelling(prompter, files, *left);
            return LockWaitResult::Free;
        }
        if (hooks.progress && !hooks.progress(*lock, waited))
            return LockWaitResult::Abandoned;
        hooks.pause(1);
    }
    return LockWaitResult::Free;
}

qint64 LockFile::ageMinutes(const LockInfo &lock, const QDateTime &now)
{
    return qAbs(lock.started.secsTo(now)) / 60;
}

QString LockFile::questionText(const LockInfo &lock)
{
    return QStringLiteral("The database has been in use since ") + lock.startedText + QStringLiteral(" by ") +
           lock.who + QStringLiteral(" performing a ") + lock.operation +
           QStringLiteral(" and is currently unavailable.  Wait?");
}
