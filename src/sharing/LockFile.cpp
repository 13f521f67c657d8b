#include "LockFile.h"

#include "foundation/Prompter.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringList>

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

bool LockFile::write(const QDateTime &started, const QString &who, const QString &operation) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QString text = formatTime(started) + QStringLiteral("\r\n") + who + QStringLiteral("\r\n") +
                         operation + QStringLiteral("\r\n");
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

bool LockFile::remove(const std::function<void(int)> &pause, int maxAttempts, QString *reason) const
{
    QFile file(m_path);
    if (!file.remove() && exists()) {
        if (reason)
            *reason = file.errorString();
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

bool LockFile::waitWhileLocked(Prompter &prompter, const std::function<void(int)> &pause) const
{
    const std::optional<LockInfo> lock = read();
    if (!lock)
        return true;
    const MsgAnswer answer =
        prompter.ask({questionText(*lock), questionTitle(), MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return false;
    while (exists())
        pause(1);
    return true;
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
