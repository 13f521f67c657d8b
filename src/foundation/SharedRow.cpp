#include "SharedRow.h"

#include "Database.h"

#include <QSqlQuery>

SharedRow::SharedRow(QString table, QString keyColumn, QVariant key)
    : m_table(std::move(table)), m_keyColumn(std::move(keyColumn)), m_key(std::move(key))
{
}

SharedRow &SharedRow::change(const QString &column, const QVariant &value, const QVariant &read,
                             const QVariant &nullReadsAs)
{
    return expect(column, read, nullReadsAs).set(column, value);
}

SharedRow &SharedRow::expect(const QString &column, const QVariant &read, const QVariant &nullReadsAs)
{
    m_checks.append({column, read, nullReadsAs});
    return *this;
}

SharedRow &SharedRow::set(const QString &column, const QVariant &value)
{
    m_sets.append({column, value});
    return *this;
}

SharedRow &SharedRow::where(const QString &condition)
{
    m_conditions << condition;
    return *this;
}

SharedRow &SharedRow::where(const QString &condition, const QVariantMap &params)
{
    m_conditionParams.insert(params);
    return where(condition);
}

QString SharedRow::whereClause(const Database &db, QVariantMap &params) const
{
    QStringList checks{m_keyColumn + QStringLiteral(" = :key")};
    params.insert(m_conditionParams);
    params.insert(QStringLiteral("key"), m_key);
    for (int i = 0; i < m_checks.size(); ++i) {
        const Check &check = m_checks[i];
        const QString read = QStringLiteral("r%1").arg(i);
        params.insert(read, check.read);
        if (check.nullReadsAs.isValid()) {
            // A stored null was shown as nullReadsAs: it matches what it was taken for.
            const QString nullAs = QStringLiteral("n%1").arg(i);
            params.insert(nullAs, check.nullReadsAs);
            checks << QStringLiteral("COALESCE(%1, :%2) = :%3").arg(check.column, nullAs, read);
        } else {
            checks << check.column + QStringLiteral(" IS NOT DISTINCT FROM :") + read;
        }
    }
    return (checks + m_conditions).join(QStringLiteral(" AND "));
}

bool SharedRow::write(const Database &db) const
{
    if (m_sets.isEmpty())
        return true;
    QStringList assignments;
    QVariantMap params;
    for (int i = 0; i < m_sets.size(); ++i) {
        const QString value = QStringLiteral("v%1").arg(i);
        assignments << m_sets[i].first + QStringLiteral(" = :") + value;
        params.insert(value, m_sets[i].second);
    }
    const QString where = whereClause(db, params);
    const QSqlQuery query = db.exec(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                        .arg(m_table, assignments.join(QStringLiteral(", ")), where),
                                    params);
    return query.numRowsAffected() > 0;
}

bool SharedRow::holds(const Database &db) const
{
    QVariantMap params;
    const QString where = whereClause(db, params);
    QSqlQuery query = db.exec(QStringLiteral("SELECT 1 FROM %1 WHERE %2").arg(m_table, where), params);
    return query.next();
}
