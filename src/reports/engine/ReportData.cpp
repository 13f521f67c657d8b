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

// What a column holds, known from its first value that is not Null.
enum Kind { Unknown, Date, Plain };

QVariant typed(const QVariant &raw, int &kind)
{
    if (raw.isNull())
        return {};
    if (kind == Unknown)
        kind = raw.typeId() == QMetaType::QString && looksLikeIsoDate(raw.toString()) ? Date : Plain;
    if (kind == Date) {
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

ReportRows::ReportRows(const QSqlDatabase &db, const QString &table, const QStringList &fields,
                       const QStringList &orderBy)
    : m_query(db)
{
    m_query.setForwardOnly(true);
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
    if (!m_query.exec(sql))
        throw ReportError(ReportError::Data, QStringLiteral("The report table \"%1\" cannot be read: %2")
                                                 .arg(table, m_query.lastError().text()));
    const QSqlRecord record = m_query.record();
    for (int i = 0; i < record.count(); ++i)
        m_columns.append(record.fieldName(i));
    m_kinds.fill(Unknown, m_columns.size());
}

bool ReportRows::next(QVector<QVariant> &row)
{
    if (!m_query.next())
        return false;
    row.resize(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i)
        row[i] = typed(m_query.value(i), m_kinds[i]);
    return true;
}

ReportData ReportData::read(const QSqlDatabase &db, const QString &table, const QStringList &fields,
                            const QStringList &orderBy)
{
    ReportRows read(db, table, fields, orderBy);
    QVector<QVector<QVariant>> rows;
    QVector<QVariant> row;
    while (read.next(row))
        rows.append(std::move(row));
    return {read.columns(), rows};
}

int ReportData::indexOf(const QString &field) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
