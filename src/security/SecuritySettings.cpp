#include "SecuritySettings.h"

#include "foundation/Database.h"
#include "foundation/SharedRow.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QString kManagerLevel = QStringLiteral("C");
} // namespace

QStringList SecuritySettings::levels()
{
    return {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")};
}

QString SecuritySettings::levelName(const QString &level)
{
    const QString code = level.trimmed().toUpper();
    if (code == QStringLiteral("A"))
        return QStringLiteral("A - Production Supervisor");
    if (code == QStringLiteral("B"))
        return QStringLiteral("B - Quality Assurance Inspector");
    if (code == QStringLiteral("C"))
        return QStringLiteral("C - Quality Assurance Manager");
    if (code == QStringLiteral("D"))
        return QStringLiteral("D - Reports-Only User");
    return level;
}

bool SecuritySettings::isSupervisor(const QString &userName)
{
    return userName.trimmed().compare(QStringLiteral("SUPERVISOR"), Qt::CaseInsensitive) == 0;
}

QList<AuthorizedUser> SecuritySettings::authorizedUsers() const
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT \"Security Table\".* FROM \"Security Table\" "
                                               "ORDER BY \"Security Table\".\"UserName\""));
    QList<AuthorizedUser> users;
    while (query.next()) {
        const QSqlRecord row = query.record();
        users.append({row.value(QStringLiteral("UserName")).toString(),
                      row.value(QStringLiteral("User Name")).toString(),
                      row.value(QStringLiteral("User ID")).toLongLong(),
                      row.value(QStringLiteral("Security Level")).toString()});
    }
    return users;
}

bool SecuritySettings::levelsOnServer() const
{
    return m_db.dialect().isServer() &&
           m_db.scalar(QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname = 'kelvara_set_level'"))
                   .toLongLong() > 0;
}

void SecuritySettings::setServerLevel(const QString &login, const QString &level) const
{
    // A name without a login role on the server changes nothing there (the function says false).
    if (level.isEmpty())
        m_db.exec(QStringLiteral("SELECT kelvara_set_level(:login, NULL)"),
                  {{QStringLiteral("login"), login}});
    else
        m_db.exec(QStringLiteral("SELECT kelvara_set_level(:login, :level)"),
                  {{QStringLiteral("login"), login}, {QStringLiteral("level"), level}});
}

QStringList SecuritySettings::authorize(const QList<NetworkUser> &users, const QString &newLevel)
{
    QStringList added;
    Transaction transaction(m_db);
    const bool onServer = levelsOnServer();
    for (const NetworkUser &user : users) {
        const QVariantMap params{{QStringLiteral("login"), user.login.trimmed()},
                                 {QStringLiteral("name"), user.fullName},
                                 {QStringLiteral("id"), user.userId}};
        // Login names compare without regard to case; the directory's spelling is kept.
        QSqlQuery existing = m_db.exec(
            QStringLiteral("UPDATE \"Security Table\" SET \"UserName\" = :login, \"User Name\" = :name, "
                           "\"User ID\" = :id WHERE \"UserName\" = :login"),
            params);
        if (existing.numRowsAffected() > 0)
            continue;
        QVariantMap insert = params;
        insert.insert(QStringLiteral("level"), newLevel);
        m_db.exec(QStringLiteral("INSERT INTO \"Security Table\" (\"UserName\", \"User Name\", \"User ID\", "
                                 "\"Security Level\") VALUES (:login, :name, :id, :level)"),
                  insert);
        added << user.login.trimmed();
        if (onServer)
            setServerLevel(user.login.trimmed(), newLevel);
    }
    transaction.commit();
    return added;
}

bool SecuritySettings::anyManagerLeft() const
{
    return m_db.scalar(
                   QStringLiteral("SELECT count(*) FROM \"Security Table\" WHERE \"Security Level\" = :c"),
                   {{QStringLiteral("c"), kManagerLevel}})
               .toInt() > 0;
}

SecuritySettings::Outcome SecuritySettings::unauthorize(const QStringList &userNames)
{
    Outcome outcome;
    Transaction transaction(m_db);
    const bool hadManager = anyManagerLeft();
    const bool onServer = levelsOnServer();
    for (const QString &name : userNames) {
        if (isSupervisor(name))
            continue;
        QSqlQuery query =
            m_db.exec(QStringLiteral("DELETE FROM \"Security Table\" WHERE \"UserName\" = :name"),
                      {{QStringLiteral("name"), name.trimmed()}});
        const bool removed = query.numRowsAffected() > 0;
        (removed ? outcome.changed : outcome.missing) << name.trimmed();
        if (removed && onServer)
            setServerLevel(name.trimmed(), QString());
    }
    if (hadManager && !anyManagerLeft())
        return {{}, {}, true};
    transaction.commit();
    return outcome;
}

SecuritySettings::Outcome SecuritySettings::setLevel(const QList<AuthorizedUser> &users, const QString &level)
{
    Outcome outcome;
    Transaction transaction(m_db);
    const bool hadManager = anyManagerLeft();
    const bool onServer = levelsOnServer();
    for (const AuthorizedUser &user : users) {
        const bool written =
            SharedRow(QStringLiteral("\"Security Table\""), QStringLiteral("\"UserName\""), user.userName)
                .change(QStringLiteral("\"Security Level\""), level, user.level)
                .write(m_db);
        (written ? outcome.changed : outcome.missing) << user.userName;
        if (written && onServer)
            setServerLevel(user.userName, level);
    }
    if (hadManager && !anyManagerLeft())
        return {{}, {}, true};
    transaction.commit();
    return outcome;
}
