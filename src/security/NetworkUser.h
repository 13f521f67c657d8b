#pragma once

#include <QString>

// A user account of the network's user directory, as the security window lists it.
struct NetworkUser
{
    QString login;
    QString fullName;
    qint64 userId = 0;

    // "login<TAB>(Full Name)"
    QString entryText() const
    {
        return login + QLatin1Char('\t') + QLatin1Char('(') + fullName + QLatin1Char(')');
    }
    bool operator==(const NetworkUser &) const = default;
};
