#include "ProtectedLine.h"

#include "foundation/Database.h"

#include <QSqlQuery>

namespace ProtectedLine {
QString unprotected()
{
    return QStringLiteral("\"Protected Record\" = 0");
}

std::optional<bool> read(const Database &db, qint64 jobId)
{
    QSqlQuery query =
        db.exec(QStringLiteral("SELECT \"Protected Record\" FROM \"Production Table\" WHERE \"Job ID\" = :j"),
                {{QStringLiteral("j"), jobId}});
    if (!query.next())
        return std::nullopt;
    return query.value(0).toLongLong() != 0;
}

bool closed(const Database &db, qint64 jobId)
{
    return read(db, jobId).value_or(true);
}
} // namespace ProtectedLine
