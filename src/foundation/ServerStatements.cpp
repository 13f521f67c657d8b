#include "ServerStatements.h"

#include "StatementCache.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>

namespace {
// The :name parameters of a statement spelled for the server, outside quoted text and names and
// not the server's :: casts.
QStringList parameterNames(const QString &sql)
{
    QStringList names;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (c != ':' || i + 1 >= sql.size() || (i > 0 && sql.at(i - 1) == ':') || sql.at(i + 1) == ':')
            continue;
        qsizetype end = i + 1;
        while (end < sql.size() && (sql.at(end).isLetterOrNumber() || sql.at(end) == '_'))
            ++end;
        const QString name = sql.mid(i + 1, end - i - 1);
        if (!name.isEmpty() && !names.contains(name))
            names << name;
        i = end - 1;
    }
    return names;
}

// Values as the file stores them: yes/no as 1/0, times as ISO text.
QVariant serverValue(const QVariant &value)
{
    if (value.isNull())
        return value;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODateWithMs);
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    default:
        return value;
    }
}
} // namespace

ServerStatements::ServerStatements(QString connectionName, SqlDialect dialect)
    : m_connectionName(std::move(connectionName)), m_dialect(dialect)
{
}

const ServerStatements::Text &ServerStatements::text(const QString &sql)
{
    auto known = m_texts.constFind(sql);
    if (known != m_texts.cend())
        return *known;
    Text text;
    text.spelled = m_dialect.spell(sql);
    text.parameters = parameterNames(text.spelled);
    return *m_texts.insert(sql, text);
}

QSqlQuery ServerStatements::run(const QString &sql, const QVariantMap &params)
{
    const Text &statement = text(sql);
    // Not forward-only: the driver would then read rows one at a time off the connection, and the
    // next statement on it would lose them. A whole result is what a caller's rows rely on.
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (statement.parameters.isEmpty()) {
        if (!query.exec(statement.spelled))
            fail(query, sql);
        return query;
    }
    if (!query.prepare(statement.spelled))
        fail(query, sql);
    for (const QString &name : statement.parameters) {
        bool found = false;
        const QVariant value = parameterValue(params, name, &found);
        if (!found)
            throw DatabaseError(DbErrors::Other,
                                QStringLiteral("No value given for the parameter '%1'.").arg(name));
        query.bindValue(QLatin1Char(':') + name, serverValue(value));
    }
    if (!query.exec())
        fail(query, sql);
    return query;
}

void ServerStatements::fail(const QSqlQuery &query, const QString &sql) const
{
    const QSqlError error = query.lastError();
    throw m_dialect.mapServerError(error.nativeErrorCode(),
                                   error.databaseText().isEmpty() ? error.text() : error.databaseText(),
                                   sql.left(200));
}
