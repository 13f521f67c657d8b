#pragma once

#include "SchemaTables.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The tables whose changes the change history records, and what a history row is made of for
// each of them: the trigger texts of both engines (HistoryTriggers) are written from these.
namespace AuditedTables {
QString quoted(const QString &name);
QString literal(const QString &text);
// row.column: NEW."Job ID"
QString field(const QString &row, const QString &column);

// An audited table, its key, and where a history row finds the line its row belongs to: the job
// line's [Job ID], [Date], [Shift], [Machine Number] and [Job Number], as expressions of a row
// (NEW or OLD), NULL where the table has none.
struct Audited
{
    SchemaTables::Table table;
    QString key;
    std::function<QStringList(const QString &row)> line;
    // The fields those five columns already hold: an insert or a delete leaves them out.
    QStringList carried;
};

QList<Audited> auditedTables();

enum class Action { Insert, Change, Delete };
constexpr Action kActions[] = {Action::Insert, Action::Change, Action::Delete};
QString actionName(Action action); // "insert", as the history writes it
QString eventName(Action action);  // "INSERT", as a trigger is fired
QString rowOf(Action action);      // NEW, or OLD for a delete

// The fields one event passes to the writer, as (name, before, after) expressions. The key is
// always there (its default taken for NULL), so that every insert and delete leaves a row. An
// insert records only what the new row was given beyond its defaults and a delete what the row
// held beyond them: writing every count of a new line as a row of zeros would cost a new shift
// dozens of history rows for nothing the defaults do not already say, and the fields the line
// columns hold are there on every history row.
struct Triple
{
    QString name, before, after;
};
QList<Triple> triples(const Audited &audited, Action action,
                      const std::function<QString(const QString &)> &text);

// The file writer's arguments: the table, the action, the row's key, the line's five columns,
// then the triples.
QStringList writerArguments(const Audited &audited, Action action,
                            const std::function<QString(const QString &)> &text);
} // namespace AuditedTables
