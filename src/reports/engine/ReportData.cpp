#include "ReportData.h"

#include "ReportError.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
bool looksLikeIsoDate(const QString &text)
{
    // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS"
    if (text.size() != 10 && text.size() != 19)
        return false;
    for (int i = 0; i < 10; ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? text[i] != '-' : !text[i].isDigit())
            return false;
    }
    return text.size() == 10 || text[10] == ' ';
}

enum class Kind { Unknown, Date, Plain };

QVariant typed(const QVariant &raw, Kind &kind)
{
    if (raw.isNull())
        return {};
    if (kind == Kind::Unknown)
        kind =
            raw.typeId() == QMetaType::QString && looksLikeIsoDate(raw.toString()) ? Kind::Date : Kind::Plain;
    if (kind == Kind::Date) {
        // a date-time keeps its time (when a row was entered); a plain date stays a date
        const QString text = raw.toString();
        if (text.size() == 19) {
            const QDateTime when = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (when.isValid())
                return when;
        }
        const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        return date.isValid() ? QVariant(date) : raw;
    }
    if (raw.typeId() == QMetaType::Int || raw.typeId() == QMetaType::LongLong)
        return raw.toLongLong();
    return raw;
}
QString quoted(const QString &name)
{
    return '"' + QString(name).replace('"', QLatin1String("\"\"")) + '"';
}

} // namespace

ReportData ReportData::read(const QSqlDatabase &db, const QString &table, const QStringList &fields,
                            const QStringList &orderBy)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    QStringList selected;
    for (const QString &field : fields)
        selected << quoted(field);
    QString sql = QStringLiteral("SELECT ") +
                  (selected.isEmpty() ? QStringLiteral("*") : selected.join(", ")) +
                  QStringLiteral(" FROM ") + quoted(table);
    QStringList order;
    for (const QString &field : orderBy)
        order << quoted(field);
    if (!order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    if (!query.exec(sql))
        throw ReportError(ReportError::Data, QStringLiteral("The report table \"%1\" cannot be read: %2")
                                                 .arg(table, query.lastError().text()));
    const QSqlRecord record = query.record();
    QStringList columns;
    for (int i = 0; i < record.count(); ++i)
        columns.append(record.fieldName(i));
    QVector<Kind> kinds(columns.size(), Kind::Unknown);
    QVector<QVector<QVariant>> rows;
    while (query.next()) {
        QVector<QVariant> row(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row[i] = typed(query.value(i), kinds[i]);
        rows.append(std::move(row));
    }
    return {columns, rows};
}

int ReportData::indexOf(const QString &field) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
