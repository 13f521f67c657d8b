#include "ColorFeederSheet.h"

#include "foundation/Database.h"
#include "foundation/SharedRow.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QString kCode = QStringLiteral("Color Feeder Code");

// The text as a stored value: empty text is no value; numbers must read whole.
std::optional<QVariant> storedValue(const QString &field, const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!ColorFeederSheet::isNumberField(field))
        return trimmed.isEmpty() ? QVariant() : QVariant(text);
    if (trimmed.isEmpty())
        return field == kCode ? std::nullopt : std::optional<QVariant>(QVariant());
    bool ok = false;
    if (field == kCode) {
        const qint64 code = QLocale::c().toLongLong(trimmed, &ok);
        return ok ? std::optional<QVariant>(code) : std::nullopt;
    }
    const double number = QLocale::c().toDouble(trimmed, &ok);
    return ok ? std::optional<QVariant>(number) : std::nullopt;
}
} // namespace

const QStringList &ColorFeederSheet::fields()
{
    static const QStringList names = {kCode,
                                      QStringLiteral("Color Name"),
                                      QStringLiteral("Color Vendor"),
                                      QStringLiteral("Color Number"),
                                      QStringLiteral("Shot Weight"),
                                      QStringLiteral("Usage Rate"),
                                      QStringLiteral("Cal1"),
                                      QStringLiteral("Cal2"),
                                      QStringLiteral("Cal3"),
                                      QStringLiteral("Cal4"),
                                      QStringLiteral("Cal5")};
    return names;
}

QString ColorFeederSheet::caption(const QString &field)
{
    if (field.startsWith(QLatin1String("Cal")))
        return QStringLiteral("Material Dispensed ") + field.mid(3);
    return field;
}

bool ColorFeederSheet::isNumberField(const QString &field)
{
    return field == kCode || field == QLatin1String("Shot Weight") || field == QLatin1String("Usage Rate") ||
           field.startsWith(QLatin1String("Cal"));
}

QString ColorFeederSheet::displayText(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

double ColorFeederSheet::leadingNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)"));
    static const QRegularExpression withoutExponent(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+))"));
    for (const QRegularExpression *pattern : {&number, &withoutExponent}) {
        const QRegularExpressionMatch match = pattern->match(text);
        if (!match.hasMatch())
            continue;
        bool ok = false;
        const double value = QLocale::c().toDouble(match.captured(0).trimmed(), &ok);
        if (ok)
            return value;
    }
    return 0;
}

QString ColorFeederSheet::feederSetting(const QString &shotWeight, const QString &usageRate,
                                        const QStringList &readings)
{
    double sum = 0;
    for (const QString &reading : readings)
        sum += leadingNumber(reading);
    const double average = sum / 5;
    if (average == 0)
        return QStringLiteral("Undefined");
    return QString::number(leadingNumber(shotWeight) * leadingNumber(usageRate) / average, 'g', 15);
}

QList<JobEntry> ColorFeederSheet::jobs() const
{
    QSqlQuery query = m_db.exec(QStringLiteral(
        "SELECT \"Job Number\", \"Job Description\" FROM \"Job Lookup Table\" ORDER BY \"Job Number\""));
    QList<JobEntry> jobs;
    while (query.next())
        jobs.append({query.value(0).toString(), query.value(1).toString()});
    return jobs;
}

QList<qint64> ColorFeederSheet::feederCodes(const QString &jobNumber) const
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT DISTINCT \"Color Feeder Code\" FROM \"Color Table\" "
                                               "WHERE \"Job Number\" = :job ORDER BY \"Color Feeder Code\""),
                                {{QStringLiteral("job"), jobNumber}});
    QList<qint64> codes;
    while (query.next())
        codes.append(query.value(0).toLongLong());
    return codes;
}

QList<ColorSheet> ColorFeederSheet::sheets(const QString &jobNumber, std::optional<qint64> code) const
{
    QString sql = QStringLiteral("SELECT * FROM \"Color Table\" WHERE \"Job Number\" = :job");
    QVariantMap params{{QStringLiteral("job"), jobNumber}};
    if (code) {
        sql += QStringLiteral(" AND \"Color Feeder Code\" = :code");
        params.insert(QStringLiteral("code"), *code);
    }
    QSqlQuery query = m_db.exec(sql + QStringLiteral(" ORDER BY \"Color ID\""), params);
    QList<ColorSheet> result;
    while (query.next()) {
        const QSqlRecord record = query.record();
        ColorSheet sheet{record.value(QStringLiteral("Color ID")).toLongLong(),
                         record.value(QStringLiteral("Job Number")).toString(),
                         {}};
        for (const QString &field : fields())
            sheet.values.insert(field, record.value(field));
        result.append(sheet);
    }
    return result;
}

std::optional<ColorSheet> ColorFeederSheet::sheet(qint64 id) const
{
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT \"Job Number\" FROM \"Color Table\" WHERE \"Color ID\" = :id"),
                  {{QStringLiteral("id"), id}});
    if (!query.next())
        return std::nullopt;
    for (const ColorSheet &sheet : sheets(query.value(0).toString(), std::nullopt)) {
        if (sheet.id == id)
            return sheet;
    }
    return std::nullopt;
}

qint64 ColorFeederSheet::addPlaceholder(const QString &jobNumber, std::optional<qint64> code) const
{
    // A second New finds the sheet the first one made instead of adding another empty sheet.
    QSqlQuery found =
        m_db.exec(QStringLiteral("SELECT \"Color ID\" FROM \"Color Table\" WHERE \"Job Number\" = :job "
                                 "AND \"Color Name\" = :name ORDER BY \"Color ID\" LIMIT 1"),
                  {{QStringLiteral("job"), jobNumber}, {QStringLiteral("name"), placeholderName()}});
    if (found.next())
        return found.value(0).toLongLong();
    const QSqlQuery added =
        m_db.exec(QStringLiteral("INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\", "
                                 "\"Color Name\") VALUES (:job, :code, :name)"),
                  {{QStringLiteral("job"), jobNumber},
                   {QStringLiteral("code"), code.value_or(defaultFeederCode)},
                   {QStringLiteral("name"), placeholderName()}});
    return m_db.lastInsertId(added);
}

ColorFeederSheet::SaveResult ColorFeederSheet::save(const ColorSheet &original,
                                                    const QMap<QString, QString> &texts,
                                                    QString &badField) const
{
    SharedRow row(QStringLiteral("\"Color Table\""), QStringLiteral("\"Color ID\""), original.id);
    for (const QString &field : fields()) {
        if (!texts.contains(field))
            continue;
        const QString text = texts.value(field);
        const QVariant old = original.values.value(field);
        if (text == displayText(old))
            continue;
        const std::optional<QVariant> value = storedValue(field, text);
        if (!value) {
            badField = caption(field);
            return SaveResult::NotANumber;
        }
        row.change(QLatin1Char('"') + field + QLatin1Char('"'), *value, old);
    }
    if (row.write(m_db))
        return SaveResult::Saved;
    return sheet(original.id) ? SaveResult::ChangedElsewhere : SaveResult::Gone;
}

bool ColorFeederSheet::remove(qint64 id) const
{
    const QSqlQuery query = m_db.exec(QStringLiteral("DELETE FROM \"Color Table\" WHERE \"Color ID\" = :id"),
                                      {{QStringLiteral("id"), id}});
    return query.numRowsAffected() > 0;
}
