#pragma once

#include "UserDirectory.h"

// The operating system's user accounts (the password database). Accounts that cannot log in, by
// a shell such as nologin or false, and the system's own accounts (user id below 1000) are left
// out; the user running the program is always listed.
class SystemUserDirectory : public UserDirectory
{
public:
    explicit SystemUserDirectory(QString currentLogin) : m_currentLogin(std::move(currentLogin)) {}

    QList<NetworkUser> users() const override;

    // Whether an account with this shell and user id is offered.
    static bool canLogIn(const QString &shell, qint64 userId);
    // The full name of the account's comment field: the text before the first comma.
    static QString fullNameOf(const QString &gecos, const QString &login);

private:
    QString m_currentLogin;
};
