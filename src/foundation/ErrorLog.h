#pragma once

#include <QDateTime>
#include <QString>

class Clock;
class Paths;

// "error.log" in the program folder (or the user's data folder where that is read-only): one line per
// reported failure, appended, never truncated.
class ErrorLog
{
public:
    ErrorLog(const Paths &paths, const Clock &clock);

    QString path() const;
    // Appends "<date time> <user> <message>" ended by CR LF. A log that cannot be opened or
    // written loses the line; the program goes on.
    bool write(const QString &userName, const QString &message) const;

    static QString formatLine(const QDateTime &when, const QString &userName, const QString &message);

private:
    const Paths &m_paths;
    const Clock &m_clock;
};
