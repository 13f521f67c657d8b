#include "RejectReasons.h"

#include <QSqlQuery>

namespace {
const QStringList &reasonNames()
{
    static const QStringList names{QStringLiteral("Startup"),       QStringLiteral("Short/Flash"),
                                   QStringLiteral("Contamination"), QStringLiteral("Cosmetic"),
                                   QStringLiteral("Molding/Other"), QStringLiteral("Personnel"),
                                   QStringLiteral("Dimensional"),   QStringLiteral("Function"),
                                   QStringLiteral("Weight"),        QStringLiteral("Other")};
    return names;
}
} // namespace

namespace RejectReasons {
QString field(int reason)
{
    return QStringLiteral("RejectReason%1").arg(reason);
}

QString column(int reason)
{
    return QLatin1Char('"') + field(reason) + QLatin1Char('"');
}

QStringList columns(const QString &alias)
{
    const QString prefix = alias.isEmpty() ? QString() : alias + QLatin1Char('.');
    QStringList result;
    for (int reason = 1; reason <= kCount; ++reason)
        result << prefix + column(reason);
    return result;
}

Counts read(const QSqlQuery &query)
{
    Counts counts{};
    for (int reason = 1; reason <= kCount; ++reason)
        counts[size_t(reason - 1)] = query.value(field(reason)).toLongLong();
    return counts;
}

QStringList names()
{
    return QStringList{QStringLiteral("None - Use when there are no rejects")} + reasonNames();
}

QStringList columnCaptions()
{
    QStringList captions;
    for (int reason = 1; reason <= kCount; ++reason) {
        // The window's column has always read "Molding/ Other"; saved column widths go by it.
        const QString name = reason == 5 ? QStringLiteral("Molding/ Other") : reasonNames()[reason - 1];
        captions << name + QStringLiteral(" (F%1)").arg(reason);
    }
    return captions;
}

QString nameSql(const QString &expression)
{
    QString cases;
    for (int reason = 1; reason <= kCount; ++reason)
        cases += QStringLiteral(" WHEN %1 THEN '%2'").arg(reason).arg(reasonNames()[reason - 1]);
    return QStringLiteral("CASE %1%2 ELSE 'None' END").arg(expression, cases);
}
} // namespace RejectReasons
