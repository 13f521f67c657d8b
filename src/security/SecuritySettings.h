#pragma once

#include "NetworkUser.h"

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// A row of the Security Table.
struct AuthorizedUser
{
    QString userName; // the login name
    QString fullName;
    qint64 userId = 0;
    QString level; // "A" to "D"
};

// The Security Table as the security window changes it: who may use the program and at which
// level. Every name is bound as a parameter. A change that would leave no user at level "C"
// is refused as a whole, since only level "C" can open the security settings. On a database server
// set up with the levels' roles (kelvara --setup-server), each change also makes the login's
// server role a member of its level's role, or of none when it is unauthorized, in the same
// transaction: the server then holds the login to its level's rights.
class SecuritySettings
{
public:
    explicit SecuritySettings(Database &db) : m_db(db) {}

    // "A - Production Supervisor" ... "D - Reports-Only User"; the levels in order A to D.
    static QString levelName(const QString &level);
    static QStringList levels();
    // The entry that can never be unauthorized, in any mix of case and with trailing blanks.
    static bool isSupervisor(const QString &userName);

    // The authorized users by login name.
    QList<AuthorizedUser> authorizedUsers() const;

    // Authorizes each user: a new one at newLevel; one already authorized gets the directory's
    // name and user id and keeps its level. Returns the logins added.
    QStringList authorize(const QList<NetworkUser> &users, const QString &newLevel);

    struct Outcome
    {
        QStringList changed;      // the users changed or removed
        QStringList missing;      // removed or changed on another workstation since they were read
        bool lastManager = false; // refused: no user would be left at level "C"
    };
    // Removes the users (all but SUPERVISOR).
    Outcome unauthorize(const QStringList &userNames);
    // Sets the level of the users, as they were read: a user whose level changed elsewhere
    // meanwhile is left as it is and reported missing.
    Outcome setLevel(const QList<AuthorizedUser> &users, const QString &level);

private:
    bool anyManagerLeft() const;
    bool levelsOnServer() const;
    // An empty level takes the login out of every level.
    void setServerLevel(const QString &login, const QString &level) const;

    Database &m_db;
};
