#include "AuditedTables.h"

#include <QRegularExpression>

namespace AuditedTables {

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString literal(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

QString field(const QString &row, const QString &column)
{
    return row + QLatin1Char('.') + quoted(column);
}

namespace {
QStringList ofLine(const QString &jobId)
{
    QStringList line{jobId};
    for (const char *column : {"Date", "Shift", "Machine Number", "Job Number"})
        line << QStringLiteral(R"((SELECT "%1" FROM "Production Table" WHERE "Job ID" = %2))")
                    .arg(QLatin1String(column), jobId);
    return line;
}

QStringList none(const QString &)
{
    return {QStringLiteral("NULL"), QStringLiteral("NULL"), QStringLiteral("NULL"), QStringLiteral("NULL"),
            QStringLiteral("NULL")};
}

// A column's default as its definition gives it ('D', 0), "NULL" when it has none.
QString defaultOf(const SchemaTables::Column &column)
{
    static const QRegularExpression given(QStringLiteral("DEFAULT\\s+('[^']*'|-?[0-9.]+)"));
    const QRegularExpressionMatch match = given.match(column.definition);
    if (!match.hasMatch())
        return QStringLiteral("NULL");
    const QString value = match.captured(1);
    return value.startsWith(QLatin1Char('\'')) ? value : literal(value);
}

// Each action's word in the history and the trigger event that makes it.
struct ActionWords
{
    const char *history, *event;
};

ActionWords wordsOf(Action action)
{
    switch (action) {
    case Action::Insert:
        return {"insert", "INSERT"};
    case Action::Change:
        return {"change", "UPDATE"};
    case Action::Delete:
        break;
    }
    return {"delete", "DELETE"};
}

} // namespace

QList<Audited> auditedTables()
{
    const QString jobId = QStringLiteral("Job ID");
    const auto ticket = [jobId](const QString &row) { return ofLine(field(row, jobId)); };
    const QStringList identity{QStringLiteral("Date"), QStringLiteral("Shift"),
                               QStringLiteral("Machine Number")};
    return {
        {SchemaTables::productionTable(), jobId,
         [](const QString &row) {
             QStringList line;
             for (const char *column : {"Job ID", "Date", "Shift", "Machine Number", "Job Number"})
                 line << field(row, QLatin1String(column));
             return line;
         },
         identity + QStringList{QStringLiteral("Job Number")}},
        {SchemaTables::transferTable(), QStringLiteral("Transfer ID"), ticket, {jobId}},
        {SchemaTables::holdTable(), QStringLiteral("Hold Ticket ID"), ticket, {jobId}},
        // A distribution row belongs to its hold ticket's line where it names none itself.
        {SchemaTables::holdDistribution(),
         QStringLiteral("Distribution ID"),
         [](const QString &row) {
             return ofLine(
                 QStringLiteral(
                     R"(COALESCE(%1, (SELECT "Job ID" FROM "Hold Table" WHERE "Hold Ticket ID" = %2)))")
                     .arg(field(row, QStringLiteral("Job ID")),
                          field(row, QStringLiteral("Hold Ticket ID"))));
         },
         {}},
        {SchemaTables::securityTable(), QStringLiteral("UserName"), none, {}},
        {SchemaTables::colorTable(),
         QStringLiteral("Color ID"),
         [](const QString &row) {
             QStringList line = none(row);
             line[4] = field(row, QStringLiteral("Job Number"));
             return line;
         },
         {QStringLiteral("Job Number")}},
        {SchemaTables::machineReadings(), QStringLiteral("Reading ID"),
         [](const QString &row) {
             QStringList line = none(row);
             line[1] = field(row, QStringLiteral("Date"));
             line[2] = field(row, QStringLiteral("Shift"));
             line[3] = field(row, QStringLiteral("Machine Number"));
             return line;
         },
         identity},
    };
}

QString actionName(Action action)
{
    return QString::fromLatin1(wordsOf(action).history);
}

QList<Triple> triples(const Audited &audited, Action action,
                      const std::function<QString(const QString &)> &text)
{
    QList<Triple> list;
    for (const SchemaTables::Column &column : audited.table.columns) {
        const bool key = column.name == audited.key;
        if (action != Action::Change && !key && audited.carried.contains(column.name))
            continue;
        const QString none = key ? QStringLiteral("NULL") : defaultOf(column);
        const QString oldValue = text(field(QStringLiteral("OLD"), column.name));
        const QString newValue = text(field(QStringLiteral("NEW"), column.name));
        list.append({literal(column.name), action == Action::Insert ? none : oldValue,
                     action == Action::Delete ? none : newValue});
    }
    return list;
}

QString rowOf(Action action)
{
    return action == Action::Delete ? QStringLiteral("OLD") : QStringLiteral("NEW");
}

QStringList writerArguments(const Audited &audited, Action action,
                            const std::function<QString(const QString &)> &text)
{
    const QString row = rowOf(action);
    QStringList arguments{literal(audited.table.name), literal(actionName(action)),
                          text(field(row, audited.key))};
    arguments << audited.line(row);
    for (const Triple &triple : triples(audited, action, text))
        arguments << triple.name << triple.before << triple.after;
    return arguments;
}

QString eventName(Action action)
{
    return QString::fromLatin1(wordsOf(action).event);
}

} // namespace AuditedTables
