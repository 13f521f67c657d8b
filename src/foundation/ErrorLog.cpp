#include "ErrorLog.h"

#include "Clock.h"
#include "Paths.h"

#include <QFile>

ErrorLog::ErrorLog(const Paths &paths, const Clock &clock) : m_paths(paths), m_clock(clock) {}

QString ErrorLog::path() const
{
    return m_paths.inWritableFolder(QStringLiteral("error.log"));
}

QString ErrorLog::formatLine(const QDateTime &when, const QString &userName, const QString &message)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + ' ' + userName + ' ' + message +
           QStringLiteral("\r\n");
}

bool ErrorLog::write(const QString &userName, const QString &message) const
{
    // Several workstations append to the same file: open, write one line, close at once.
    QFile file(path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray line = formatLine(m_clock.now(), userName, message).toLocal8Bit();
    const bool ok = file.write(line) == line.size();
    file.close();
    return ok;
}
