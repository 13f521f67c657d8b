#pragma once

#include "UserDirectory.h"

#include <QStringList>

// The operating system's user accounts (the password database). Offered are the accounts a person
// logs in with: a user id of 1000 or above other than the overflow account "nobody" (65534), and a
// login shell listed in the shells file (/etc/shells); the user running the program is always
// listed. Sorted by login name without regard to case, as the authorized users are.
class SystemUserDirectory : public UserDirectory
{
public:
    // The system's password database (local and directory service) and /etc/shells.
    explicit SystemUserDirectory(QString currentLogin);
    // Accounts read from a file in the password file's format, shells from a shells file.
    SystemUserDirectory(QString currentLogin, QString passwdFile, QString shellsFile);

    QList<NetworkUser> users() const override;

    // The full name of the account's comment field: the text before the first comma.
    static QString fullNameOf(const QString &gecos, const QString &login);

private:
    struct Account
    {
        QString login;
        QString gecos;
        QString shell;
        qint64 userId = 0;
    };
    QList<Account> accounts() const;
    QStringList loginShells() const;
    bool offered(const Account &account, const QStringList &shells) const;

    QString m_currentLogin;
    QString m_passwdFile; // empty: the system's password database
    QString m_shellsFile;
};
