#include "SystemUserDirectory.h"

#include <algorithm>
#include <pwd.h>

namespace {
constexpr qint64 kFirstPersonalUserId = 1000;
} // namespace

bool SystemUserDirectory::canLogIn(const QString &shell, qint64 userId)
{
    if (userId < kFirstPersonalUserId)
        return false;
    return !shell.endsWith(QStringLiteral("/nologin")) && !shell.endsWith(QStringLiteral("/false")) &&
           shell != QStringLiteral("nologin") && shell != QStringLiteral("false");
}

QString SystemUserDirectory::fullNameOf(const QString &gecos, const QString &login)
{
    const QString name = gecos.section(QLatin1Char(','), 0, 0).trimmed();
    return name.isEmpty() ? login : name;
}

QList<NetworkUser> SystemUserDirectory::users() const
{
    QList<NetworkUser> result;
    setpwent();
    while (const passwd *entry = getpwent()) {
        const QString login = QString::fromLocal8Bit(entry->pw_name);
        const QString shell = QString::fromLocal8Bit(entry->pw_shell ? entry->pw_shell : "");
        if (login != m_currentLogin && !canLogIn(shell, qint64(entry->pw_uid)))
            continue;
        result.append({login,
                       fullNameOf(QString::fromLocal8Bit(entry->pw_gecos ? entry->pw_gecos : ""), login),
                       qint64(entry->pw_uid)});
    }
    endpwent();
    std::sort(result.begin(), result.end(),
              [](const NetworkUser &a, const NetworkUser &b) { return a.login < b.login; });
    // An account listed twice (local and directory service) is offered once.
    result.erase(std::unique(result.begin(), result.end(),
                             [](const NetworkUser &a, const NetworkUser &b) { return a.login == b.login; }),
                 result.end());
    return result;
}
