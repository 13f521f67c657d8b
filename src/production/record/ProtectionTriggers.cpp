#include "ProtectionTriggers.h"

#include "SchemaTables.h"
#include "foundation/Database.h"
#include "foundation/ServerAddress.h"

#include <QSqlQuery>
#include <QStringList>
#include <functional>

namespace {
// The refusal a protection trigger raises; the data layer recognizes it by its marker.
QString refusal(const QString &message)
{
    return QStringLiteral("SELECT RAISE(ABORT, '%1%2')").arg(DbErrors::protectedMarker(), message);
}

// A trigger: its name, event, the condition under which it refuses, and the refusal. On a file it
// is a trigger with that WHEN. On the server it is a function of the same name holding the condition (the
// server allows no subquery in a trigger's WHEN), which raises the same refusal. The function
// names every table with the plant's schema and searches no other (a login's own temporary
// table of the same name is never read), and a TRUNCATE trigger fires once for the statement.
struct Trigger
{
    QString name, event, when, message;
    bool perStatement = false;

    QString body() const
    {
        return QStringLiteral("BEGIN IF %1 THEN RAISE EXCEPTION USING MESSAGE = '%2%3'; END IF; "
                              "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END")
            .arg(when, DbErrors::protectedMarker(), message);
    }
    // The conditions name their tables only after FROM.
    QString serverBody(const QString &schema) const
    {
        return body().replace(QLatin1String("FROM \""), QStringLiteral("FROM %1.\"").arg(schema));
    }
    QString table(const QString &schema) const
    {
        return schema + QLatin1Char('.') + event.mid(event.indexOf(QLatin1String(" ON ")) + 4);
    }
    QString dropStatement(const QString &schema) const
    {
        return QStringLiteral("DROP TRIGGER IF EXISTS \"%1\" ON %2").arg(name, table(schema));
    }
    QStringList statements(const QString &schema) const
    {
        const qsizetype on = event.indexOf(QLatin1String(" ON "));
        const QString function = QStringLiteral("%1.\"%2\"").arg(schema, name);
        return {QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql "
                               "SET search_path = pg_catalog, %2, pg_temp AS $$%3$$")
                    .arg(function, schema, serverBody(schema)),
                dropStatement(schema),
                QStringLiteral("CREATE TRIGGER \"%1\" BEFORE %2 ON %3 FOR EACH %4 EXECUTE FUNCTION %5()")
                    .arg(name, event.left(on), table(schema),
                         perStatement ? QStringLiteral("STATEMENT") : QStringLiteral("ROW"), function)};
    }
};

// True when the row's values differ in any of the columns: a statement that writes a protected
// row's values back unchanged is let through.
QString anyChanged(const QStringList &columns)
{
    QStringList changes;
    for (const QString &column : columns)
        changes << QStringLiteral("OLD.\"%1\" IS DISTINCT FROM NEW.\"%1\"").arg(column);
    return QStringLiteral("(") + changes.join(QStringLiteral(" OR ")) + QStringLiteral(")");
}

QString lineProtected(const QString &jobId)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM \"Production Table\" WHERE \"Job ID\" = %1 "
                          "AND \"Protected Record\" <> 0)")
        .arg(jobId);
}

QString dateShiftProtected(const QString &row)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM \"Production Table\" WHERE \"Date\" = %1.\"Date\" "
                          "AND \"Shift\" = %1.\"Shift\" AND \"Protected Record\" <> 0)")
        .arg(row);
}

// A distribution row belongs to the line of its hold ticket and books rework on [To Job ID].
QString distributionProtected(const QString &row)
{
    return QStringLiteral("(") + lineProtected(row + QStringLiteral(".\"Job ID\"")) + QStringLiteral(" OR ") +
           lineProtected(row + QStringLiteral(".\"To Job ID\"")) + QStringLiteral(" OR ") +
           lineProtected(
               QStringLiteral("(SELECT \"Job ID\" FROM \"Hold Table\" WHERE \"Hold Ticket ID\" = %1."
                              "\"Hold Ticket ID\")")
                   .arg(row)) +
           QStringLiteral(")");
}

QString trigger(const QString &name, const QString &event, const QString &when, const QString &message)
{
    return QStringLiteral("CREATE TRIGGER \"%1\" BEFORE %2 FOR EACH ROW WHEN %3 BEGIN %4; END")
        .arg(name, event, when, refusal(message));
}

// A protected table, its counter key, and the columns that are bookkeeping rather than record:
// the protection flag itself (written by "Set Protection") and the reject report's [Printed]
// mark, which the update report sets on rows of protected date-shifts as well.
struct ProtectedTable
{
    QString prefix;
    SchemaTables::Table table;
    QString key, message;
    QStringList bookkeeping;
    std::function<QString(const QString &)> isProtected; // of a row alias: OLD, NEW or a table alias
};

// A row that holds the key: a REPLACE that took it would delete that row without any delete
// trigger, so a new row may not take the key of a protected row, nor a key move onto one.
QString keyTaken(const ProtectedTable &table, const QString &key)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM \"%1\" AS \"taken\" WHERE taken.\"%2\" = %3 AND %4)")
        .arg(table.table.name, table.key, key, table.isProtected(QStringLiteral("taken")));
}

QString recordColumnsChanged(const ProtectedTable &table)
{
    QStringList columns = SchemaTables::columnNames(table.table);
    for (const QString &column : table.bookkeeping)
        columns.removeAll(column);
    return anyChanged(columns);
}

QString keyMoved(const ProtectedTable &table)
{
    return QStringLiteral("(OLD.\"%1\" IS DISTINCT FROM NEW.\"%1\" AND %2)")
        .arg(table.key, keyTaken(table, QStringLiteral("NEW.\"%1\"").arg(table.key)));
}

QList<ProtectedTable> protectedTables()
{
    const auto ticketLine = [](const QString &row) {
        return lineProtected(row + QStringLiteral(".\"Job ID\""));
    };
    const QString ticketMessage =
        QStringLiteral("The tickets of a protected date-shift cannot be added, changed or deleted.");
    return {
        {QStringLiteral("Protect Line"),
         SchemaTables::productionTable(),
         QStringLiteral("Job ID"),
         QStringLiteral("The lines of a protected date-shift cannot be changed or deleted."),
         {QStringLiteral("Protected Record")},
         [](const QString &row) { return row + QStringLiteral(".\"Protected Record\" <> 0"); }},
        {QStringLiteral("Protect Transfer"),
         SchemaTables::transferTable(),
         QStringLiteral("Transfer ID"),
         ticketMessage,
         {},
         ticketLine},
        {QStringLiteral("Protect Hold"),
         SchemaTables::holdTable(),
         QStringLiteral("Hold Ticket ID"),
         ticketMessage,
         {},
         ticketLine},
        {QStringLiteral("Protect Distribution"),
         SchemaTables::holdDistribution(),
         QStringLiteral("Distribution ID"),
         QStringLiteral(
             "The hold distribution of a protected date-shift cannot be added, changed or deleted."),
         {QStringLiteral("Printed")},
         distributionProtected},
    };
}

QList<Trigger> namedTrigger(const QString &name, const QString &event, const QString &when,
                            const QString &message)
{
    return {{name, event, when, message}};
}

// A line: no line is added to a protected date-shift or moved into one, and a protected line
// changes only its flag.
QList<Trigger> lineTriggers(const ProtectedTable &line)
{
    const QString on = QStringLiteral(" ON \"%1\"").arg(line.table.name);
    return namedTrigger(line.prefix + QStringLiteral(" Insert"), QStringLiteral("INSERT") + on,
                        dateShiftProtected(QStringLiteral("NEW")),
                        QStringLiteral("No line can be added to a protected date-shift.")) +
           namedTrigger(line.prefix + QStringLiteral(" Replace"), QStringLiteral("INSERT") + on,
                        keyTaken(line, QStringLiteral("NEW.\"%1\"").arg(line.key)), line.message) +
           namedTrigger(
               line.prefix + QStringLiteral(" Update"), QStringLiteral("UPDATE") + on,
               QStringLiteral("(OLD.\"Protected Record\" <> 0 AND ") + recordColumnsChanged(line) +
                   QStringLiteral(
                       ") OR ((OLD.\"Date\" IS DISTINCT FROM NEW.\"Date\" OR OLD.\"Shift\" IS DISTINCT FROM "
                       "NEW.\"Shift\") AND ") +
                   dateShiftProtected(QStringLiteral("NEW")) + QStringLiteral(") OR ") + keyMoved(line),
               line.message) +
           namedTrigger(line.prefix + QStringLiteral(" Delete"), QStringLiteral("DELETE") + on,
                        line.isProtected(QStringLiteral("OLD")), line.message);
}

// A ticket or distribution row: nothing is added to, changed on or deleted from a protected line.
QList<Trigger> ticketTriggers(const ProtectedTable &ticket)
{
    const QString on = QStringLiteral(" ON \"%1\"").arg(ticket.table.name);
    return namedTrigger(ticket.prefix + QStringLiteral(" Insert"), QStringLiteral("INSERT") + on,
                        ticket.isProtected(QStringLiteral("NEW")) + QStringLiteral(" OR ") +
                            keyTaken(ticket, QStringLiteral("NEW.\"%1\"").arg(ticket.key)),
                        ticket.message) +
           namedTrigger(ticket.prefix + QStringLiteral(" Update"), QStringLiteral("UPDATE") + on,
                        QStringLiteral("(") + recordColumnsChanged(ticket) + QStringLiteral(" AND (") +
                            ticket.isProtected(QStringLiteral("OLD")) + QStringLiteral(" OR ") +
                            ticket.isProtected(QStringLiteral("NEW")) + QStringLiteral(")) OR ") +
                            keyMoved(ticket),
                        ticket.message) +
           namedTrigger(ticket.prefix + QStringLiteral(" Delete"), QStringLiteral("DELETE") + on,
                        ticket.isProtected(QStringLiteral("OLD")), ticket.message);
}
QList<Trigger> definitions()
{
    const QList<ProtectedTable> tables = protectedTables();
    QList<Trigger> triggers = lineTriggers(tables.first());
    for (qsizetype i = 1; i < tables.size(); ++i)
        triggers << ticketTriggers(tables.at(i));
    return triggers;
}

// On the server, TRUNCATE empties a table without its row triggers: a table that holds a protected
// row is not emptied that way, by any login, the owner's included. (A file has no TRUNCATE.)
QList<Trigger> serverDefinitions()
{
    QList<Trigger> triggers = definitions();
    for (const ProtectedTable &table : protectedTables()) {
        const QString row = QStringLiteral("truncated");
        triggers.append({table.prefix + QStringLiteral(" Truncate"),
                         QStringLiteral("TRUNCATE ON \"%1\"").arg(table.table.name),
                         QStringLiteral("EXISTS (SELECT 1 FROM \"%1\" AS \"%2\" WHERE %3)")
                             .arg(table.table.name, row, table.isProtected(row)),
                         table.message, true});
    }
    return triggers;
}

QString schemaOf(const Database &db)
{
    return quotedName(db.scalar(QStringLiteral("SELECT current_schema()")).toString());
}
} // namespace

// The column lists are the tables' as SchemaTables describes them; a database made by an earlier
// version has these same columns. A column added to a protected table later must first be added
// to such a database (SchemaUpgrades): a trigger naming a column its table lacks is created all
// the same, and then fails every write to that table.
QList<QPair<QString, QString>> ProtectionTriggers::all()
{
    QList<QPair<QString, QString>> triggers;
    for (const Trigger &t : definitions())
        triggers.append({t.name, trigger(t.name, t.event, t.when, t.message)});
    return triggers;
}

void ProtectionTriggers::create(Database &db)
{
    if (db.dialect().isServer()) {
        const QString schema = schemaOf(db);
        for (const Trigger &t : serverDefinitions()) {
            for (const QString &sql : t.statements(schema))
                db.exec(sql);
        }
        return;
    }
    for (const auto &[name, sql] : all())
        db.exec(sql);
}

bool ProtectionTriggers::current(const Database &db)
{
    if (db.dialect().isServer()) {
        const QString schema = schemaOf(db);
        for (const Trigger &t : serverDefinitions()) {
            QSqlQuery query =
                db.exec(QStringLiteral("SELECT p.prosrc, p.proconfig IS NOT NULL FROM pg_proc p "
                                       "JOIN pg_trigger t ON t.tgfoid = p.oid WHERE t.tgname = :name"),
                        {{QStringLiteral("name"), t.name}});
            if (!query.next() || query.value(0).toString() != t.serverBody(schema) ||
                !query.value(1).toBool())
                return false;
        }
        return true;
    }
    for (const auto &[name, sql] : all()) {
        QSqlQuery query = db.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'trigger' "
                                                 "AND name = :name"),
                                  {{QStringLiteral("name"), name}});
        if (!query.next() || query.value(0).toString() != sql)
            return false;
    }
    return true;
}

void ProtectionTriggers::replace(Database &db)
{
    if (db.dialect().isServer()) {
        create(db); // each function is replaced and its trigger dropped and made anew
        return;
    }
    for (const auto &[name, sql] : all()) {
        db.exec(QStringLiteral("DROP TRIGGER IF EXISTS \"%1\"").arg(name));
        db.exec(sql);
    }
}

void ProtectionTriggers::drop(Database &db)
{
    if (db.dialect().isServer()) {
        const QString schema = schemaOf(db);
        for (const Trigger &t : serverDefinitions())
            db.exec(t.dropStatement(schema));
        return;
    }
    for (const auto &[name, sql] : all())
        db.exec(QStringLiteral("DROP TRIGGER IF EXISTS \"%1\"").arg(name));
}
