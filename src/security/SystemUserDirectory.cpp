#include "SystemUserDirectory.h"

#include <QFile>
#include <algorithm>
#include <pwd.h>

namespace {
constexpr qint64 kFirstPersonalUserId = 1000;
// The overflow id ("nobody"): it owns nothing and nobody logs in with it, whatever its shell.
constexpr qint64 kOverflowUserId = 65534;

bool loginLess(const NetworkUser &a, const NetworkUser &b)
{
    const int order = QString::compare(a.login, b.login, Qt::CaseInsensitive);
    // Logins that differ only in case stay apart, so that a repeated login lies next to itself.
    return order != 0 ? order < 0 : a.login < b.login;
}
} // namespace

SystemUserDirectory::SystemUserDirectory(QString currentLogin)
    : SystemUserDirectory(std::move(currentLogin), {}, QStringLiteral("/etc/shells"))
{
}

SystemUserDirectory::SystemUserDirectory(QString currentLogin, QString passwdFile, QString shellsFile)
    : m_currentLogin(std::move(currentLogin)), m_passwdFile(std::move(passwdFile)),
      m_shellsFile(std::move(shellsFile))
{
}

QString SystemUserDirectory::fullNameOf(const QString &gecos, const QString &login)
{
    const QString name = gecos.section(QLatin1Char(','), 0, 0).trimmed();
    return name.isEmpty() ? login : name;
}

QList<SystemUserDirectory::Account> SystemUserDirectory::accounts() const
{
    QList<Account> result;
    if (m_passwdFile.isEmpty()) {
        setpwent();
        while (const passwd *entry = getpwent()) {
            result.append({QString::fromLocal8Bit(entry->pw_name),
                           QString::fromLocal8Bit(entry->pw_gecos ? entry->pw_gecos : ""),
                           QString::fromLocal8Bit(entry->pw_shell ? entry->pw_shell : ""),
                           qint64(entry->pw_uid)});
        }
        endpwent();
        return result;
    }
    QFile file(m_passwdFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return result;
    // name:password:uid:gid:gecos:home:shell
    while (!file.atEnd()) {
        const QStringList fields = QString::fromLocal8Bit(file.readLine()).trimmed().split(QLatin1Char(':'));
        bool isNumber = false;
        const qint64 userId = fields.value(2).toLongLong(&isNumber);
        if (fields.size() == 7 && isNumber)
            result.append({fields.at(0), fields.at(4), fields.at(6), userId});
    }
    return result;
}

// The shells file as getusershell(3) reads it: one path a line, comments and blanks skipped; a
// missing file stands for the two shells that are always there.
QStringList SystemUserDirectory::loginShells() const
{
    QFile file(m_shellsFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {QStringLiteral("/bin/sh"), QStringLiteral("/bin/csh")};
    QStringList shells;
    while (!file.atEnd()) {
        const QString line = QString::fromLocal8Bit(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            shells << line;
    }
    return shells;
}

bool SystemUserDirectory::offered(const Account &account, const QStringList &shells) const
{
    if (account.login == m_currentLogin)
        return true;
    if (account.userId < kFirstPersonalUserId || account.userId == kOverflowUserId)
        return false;
    // An empty shell field means /bin/sh.
    return shells.contains(account.shell.isEmpty() ? QStringLiteral("/bin/sh") : account.shell);
}

QList<NetworkUser> SystemUserDirectory::users() const
{
    const QStringList shells = loginShells();
    QList<NetworkUser> result;
    for (const Account &account : accounts()) {
        if (offered(account, shells))
            result.append({account.login, fullNameOf(account.gecos, account.login), account.userId});
    }
    std::sort(result.begin(), result.end(), loginLess);
    // An account listed twice (local and directory service) is offered once.
    result.erase(std::unique(result.begin(), result.end(),
                             [](const NetworkUser &a, const NetworkUser &b) { return a.login == b.login; }),
                 result.end());
    return result;
}
