#include "ChangeHistory.h"

#include "AuditedTables.h"
#include "DatabaseCopy.h"
#include "HistoryTriggers.h"
#include "SchemaTables.h"
#include "foundation/Database.h"
#include "foundation/HistoryChain.h"

#include <QSqlQuery>
#include <QStringList>

namespace {
const QString kHistory = QStringLiteral("Change History");

// A database made before the history gets its table (with its indexes) first.
void ensureTable(Database &db)
{
    if (DatabaseCopy::hasTable(db, kHistory))
        return;
    db.exec(SchemaTables::createStatement(SchemaTables::changeHistory(), db.dialect()));
    for (const QString &sql : SchemaTables::changeHistoryIndexes())
        db.exec(sql);
}

QString orderedRows()
{
    QStringList columns;
    for (const QString &column : HistoryChain::hashedColumns())
        columns << AuditedTables::quoted(column);
    return QStringLiteral(R"(SELECT %1, "Row Hash" FROM "Change History" ORDER BY "Change ID")")
        .arg(columns.join(QStringLiteral(", ")));
}
} // namespace

void ChangeHistory::replace(Database &db)
{
    ensureTable(db);
    HistoryTriggers::of(db).replace(db);
}

bool ChangeHistory::current(const Database &db)
{
    return DatabaseCopy::hasTable(db, kHistory) && HistoryTriggers::of(db).current(db);
}

void ChangeHistory::drop(Database &db)
{
    HistoryTriggers::of(db).drop(db);
}

// Each row's hash is computed anew from its columns and the hash the row before it holds: the
// first row that does not match is the one changed (or the first after rows taken out).
ChangeHistory::Verification ChangeHistory::verify(const Database &db)
{
    Verification result;
    QSqlQuery query = db.exec(orderedRows());
    const int columns = int(HistoryChain::hashedColumns().size());
    QString previous;
    while (query.next()) {
        QVariantList values;
        for (int i = 0; i < columns; ++i)
            values << query.value(i);
        const QString stored = query.value(columns).toString();
        ++result.rows;
        if (result.firstMismatch == 0 && HistoryChain::rowHash(values, previous) != stored)
            result.firstMismatch = values.first().toLongLong();
        previous = stored;
    }
    result.latestHash = previous;
    return result;
}

QString ChangeHistory::latestHash(const Database &db)
{
    QSqlQuery query = db.exec(
        QStringLiteral(R"(SELECT "Row Hash" FROM "Change History" ORDER BY "Change ID" DESC LIMIT 1)"));
    return query.next() ? query.value(0).toString() : QString();
}
