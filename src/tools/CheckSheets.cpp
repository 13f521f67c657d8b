#include "CheckSheets.h"

#include "foundation/Database.h"

#include <QLocale>
#include <QMimeDatabase>

QList<PartEntry> CheckSheets::activeParts() const
{
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT \"Job Number\", \"Job Description\" FROM \"Job Lookup Table\" "
                                 "WHERE \"Active\" = 1 ORDER BY \"Job Number\""));
    QList<PartEntry> parts;
    while (query.next())
        parts.append({query.value(0).toString(), query.value(1).toString()});
    return parts;
}

QByteArray CheckSheets::field(const QString &jobNumber) const
{
    QSqlQuery query = m_db.exec(
        QStringLiteral("SELECT \"Check Sheet\" FROM \"Job Lookup Table\" WHERE \"Job Number\" = :job"),
        {{QStringLiteral("job"), jobNumber}});
    return query.next() ? query.value(0).toByteArray() : QByteArray();
}

QString CheckSheets::mimeType(const QByteArray &document)
{
    return QMimeDatabase().mimeTypeForData(document).name();
}

QString CheckSheets::description(const QByteArray &document)
{
    const QMimeType type = QMimeDatabase().mimeTypeForData(document);
    return QStringLiteral("%1 (%2), %3 bytes")
        .arg(type.comment(), type.name(), QLocale::c().toString(qint64(document.size())));
}
