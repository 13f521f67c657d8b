#include "ServerAddress.h"

#include "DatabaseError.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QUrl>
#include <QUrlQuery>

namespace {
[[noreturn]] void refuse(const QString &uri, const QString &why)
{
    DatabaseError error(DbErrors::Other, QStringLiteral("The database address '%1' cannot be used: %2")
                                             .arg(QUrl(uri).toDisplayString(QUrl::RemovePassword), why));
    throw error;
}

// A libpq keyword's value, quoted where it holds blanks or quotes.
QString quoted(const QString &value)
{
    if (!value.contains(' ') && !value.contains('\'') && !value.contains('\\') && !value.isEmpty())
        return value;
    QString escaped = value;
    escaped.replace('\\', QLatin1String("\\\\")).replace('\'', QLatin1String("\\'"));
    return '\'' + escaped + '\'';
}
// The value of a libpq keyword as quoted() wrote it, unquoted again.
QString unquoted(const QString &value)
{
    if (!value.startsWith('\''))
        return value;
    QString plain;
    for (qsizetype i = 1; i + 1 < value.size(); ++i) {
        if (value.at(i) == '\\')
            ++i;
        plain += value.at(i);
    }
    return plain;
}
} // namespace

QString quotedName(const QString &name)
{
    return '"' + QString(name).replace('"', QLatin1String("\"\"")) + '"';
}

ServerAddress ServerAddress::parse(const QString &uri)
{
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid())
        refuse(uri, url.errorString());
    if (!url.password().isEmpty())
        refuse(uri, QStringLiteral("it holds a password. Keep passwords in the server's password file "
                                   "(~/.pgpass), never in the program's settings."));
    ServerAddress address;
    address.host = url.host();
    address.port = url.port(-1);
    address.user = url.userName();
    address.database = url.path().mid(1);
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host"))
            address.host = value;
        else if (key == QLatin1String("port"))
            address.port = value.toInt();
        else if (key == QLatin1String("user"))
            address.user = value;
        else if (key == QLatin1String("dbname"))
            address.database = value;
        else if (key == QLatin1String("password"))
            refuse(uri, QStringLiteral("it holds a password. Keep passwords in the server's password "
                                       "file (~/.pgpass), never in the program's settings."));
        else
            address.options << key + '=' + quoted(value);
    }
    if (address.database.isEmpty() || address.database.contains('/'))
        refuse(uri, QStringLiteral("it names no database (postgresql://host/database)."));
    return address;
}

ServerAddress ServerAddress::on(const QString &otherDatabase) const
{
    ServerAddress other = *this;
    other.database = otherDatabase;
    return other;
}

QString ServerAddress::uri() const
{
    // Written out by hand: QUrl drops the "//" of an address with no host and no user
    // (postgresql:/kelvara?host=...), which is then no server address at all. A socket folder
    // goes in the query with the login and port, as libpq reads them there.
    const auto encoded = [](const QString &text, const QByteArray &keep = {}) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text, keep));
    };
    QStringList query;
    QString authority;
    if (host.startsWith('/')) {
        query << QStringLiteral("host=") + encoded(host, "/");
        if (port > 0)
            query << QStringLiteral("port=%1").arg(port);
        if (!user.isEmpty())
            query << QStringLiteral("user=") + encoded(user);
    } else {
        if (!user.isEmpty())
            authority = encoded(user) + '@';
        authority += host.contains(':') ? '[' + host + ']' : encoded(host);
        if (port > 0)
            authority += QStringLiteral(":%1").arg(port);
    }
    for (const QString &option : options)
        query << encoded(option.section('=', 0, 0)) + '=' + encoded(unquoted(option.section('=', 1)), "/");
    QString text = QStringLiteral("postgresql://") + authority + '/' + encoded(database);
    if (!query.isEmpty())
        text += '?' + query.join('&');
    return text;
}

QString ServerAddress::connectionString() const
{
    QStringList pairs;
    if (!host.isEmpty())
        pairs << QStringLiteral("host=") + quoted(host);
    if (port > 0)
        pairs << QStringLiteral("port=%1").arg(port);
    if (!user.isEmpty())
        pairs << QStringLiteral("user=") + quoted(user);
    pairs << QStringLiteral("dbname=") + quoted(database);
    return (pairs + options).join(' ');
}

void ServerAddress::applyTo(QSqlDatabase &db, const QString &moreOptions) const
{
    db.setHostName(host);
    if (port > 0)
        db.setPort(port);
    db.setUserName(user);
    db.setDatabaseName(database);
    QStringList all = options;
    // Without a limit, a server whose machine is gone keeps a window (or the presence check the
    // main window makes every minute) waiting for minutes; the address may set its own.
    if (all.filter(QRegularExpression(QStringLiteral("^connect_timeout="))).isEmpty())
        all << QStringLiteral("connect_timeout=10");
    all << moreOptions;
    all.removeAll(QString());
    db.setConnectOptions(all.join(';'));
}
