#include "SchemaUpgrades.h"

#include "ChangeHistory.h"
#include "ChangeNotices.h"
#include "DatabaseCopy.h"
#include "ProtectionTriggers.h"
#include "SavedQueries.h"
#include "SchemaTables.h"
#include "foundation/Database.h"

#include <QList>
#include <QPair>
#include <algorithm>

namespace {
using Query = QPair<QString, QString>;

// The text the summary queries were seeded with before, which a database made then still holds
// (in the bracketed spelling of that time).
Query formerSummaryQuery(int which)
{
    const QList<SavedQueries::SummaryParts> former = {
        {QStringLiteral("Transfer Summary"), QStringLiteral("SUM(t.[Transfer Quantity]) AS xfers"),
         QStringLiteral("JOIN [Transfer Table] t ON t.[Job ID] = p.[Job ID]")},
        {QStringLiteral("Hold Summary"), QStringLiteral("SUM(h.[Hold Quantity]) AS Holds"),
         QStringLiteral("JOIN [Hold Table] h ON h.[Job ID] = p.[Job ID]")},
        {QStringLiteral("From Rework Summary"), QStringLiteral("SUM(d.[Reworked Quantity]) AS Rework"),
         QStringLiteral("JOIN [Hold Distribution] d ON d.[To Job ID] = p.[Job ID]")}};
    const SavedQueries::SummaryParts &parts = former.at(which);
    return {parts.name,
            QStringLiteral("SELECT p.[Job ID], ") + parts.select +
                QStringLiteral(" FROM [Production Table] p ") + parts.join +
                QStringLiteral(" WHERE p.[Job ID] BETWEEN :FirstJID AND :LastJID AND EXISTS (SELECT 1 FROM"
                               " [Production Table] f WHERE f.[Job ID] = :FirstJID AND f.[Date] = p.[Date]"
                               " AND f.[Shift] = p.[Shift]) GROUP BY p.[Job ID] ORDER BY p.[Job ID]")};
}

// Saved query texts that earlier versions wrote and that now must leave protected rows alone. A
// database still holding one of them gets the new text; a text a site changed is kept.
QList<Query> replacedQueryTexts()
{
    return {
        {QStringLiteral("Update Disposal Status"),
         QStringLiteral("UPDATE [Hold Table] SET [Disposed of] = 1 WHERE [Hold Remaining] = 0")},
        formerSummaryQuery(0),
        formerSummaryQuery(1),
        formerSummaryQuery(2),
        // It copied every unmatched line, uncounted ones and changed jobs included.
        {QStringLiteral("Bring Forward Unmatched Line Items"),
         QStringLiteral("INSERT INTO [Production Table] ([Date], [Shift], [Machine Number], [Job Number], "
                        "[Job Description], [Beginning Count], [Ending Count], [Matec Count], [From Rework], "
                        "[Transfer Quantity]) SELECT :NextDate, :NextShift, p.[Machine Number], "
                        "p.[Job Number], p.[Job Description], p.[Ending Count], 0, 0, 0, 0 FROM [Production "
                        "Table] p WHERE p.[Date] = :ThisDate AND p.[Shift] = :ThisShift AND NOT EXISTS "
                        "(SELECT 1 FROM [Production Table] q WHERE q.[Date] = :NextDate AND q.[Shift] = "
                        ":NextShift AND q.[Machine Number] IS p.[Machine Number] AND q.[Job Number] IS "
                        "p.[Job Number]) AND NOT EXISTS (SELECT 1 FROM [Production Table] r WHERE r.[Date] "
                        "= :NextDate AND r.[Shift] = :NextShift AND r.[Protected Record] <> 0) ORDER BY "
                        "p.[Machine Number], p.[Job ID]")}};
}

bool holdsReplacedText(const Database &db)
{
    for (const auto &[name, oldSql] : replacedQueryTexts()) {
        if (db.savedQuerySql(name) == oldSql)
            return true;
    }
    return false;
}

void replaceQueryTexts(Database &db)
{
    const QList<Query> current = SavedQueries::production(db.dialect());
    for (const auto &[name, oldSql] : replacedQueryTexts()) {
        const auto latest = std::find_if(current.cbegin(), current.cend(),
                                         [&](const Query &query) { return query.first == name; });
        db.exec(
            QStringLiteral("UPDATE \"Saved Queries\" SET \"SQL Text\" = :sql WHERE \"Query Name\" = :name "
                           "AND \"SQL Text\" = :old"),
            {{QStringLiteral("sql"), latest->second},
             {QStringLiteral("name"), name},
             {QStringLiteral("old"), oldSql}});
    }
}
} // namespace

bool SchemaUpgrades::protectionCurrent(const Database &db)
{
    return ProtectionTriggers::current(db) && ChangeHistory::current(db) && !holdsReplacedText(db);
}

void SchemaUpgrades::ensureProtection(Database &db)
{
    // Read first: a database that is up to date is not written, so opening it takes no write lock.
    if (protectionCurrent(db))
        return;
    Transaction transaction(db);
    ProtectionTriggers::replace(db);
    ChangeHistory::replace(db);
    replaceQueryTexts(db);
    transaction.commit();
    // This connection read the former texts above.
    db.forgetSavedQueries();
}

// A database made before the daily customer reports lacks their parts table, one made before the
// machine readings their two tables, and one made before a saved query was added lacks that query.
// (The change history's table comes with its triggers: ensureProtection.)
void SchemaUpgrades::addMissing(Database &db, const QList<QPair<QString, QString>> &moreQueries)
{
    // The readings' index is made with its table (a login that is not the table's owner on a
    // server may not even ask for an index that is there).
    const bool readingsMissing = !DatabaseCopy::hasTable(db, SchemaTables::machineReadings().name);
    for (const SchemaTables::Table &table : SchemaTables::tables()) {
        if (SchemaTables::addedTables().contains(table.name))
            db.exec(SchemaTables::createIfMissingStatement(table, db.dialect().isServer()));
    }
    if (readingsMissing)
        db.exec(SchemaTables::machineReadingsIndex());
    for (const auto &[name, sql] : SavedQueries::all(db.dialect(), moreQueries)) {
        db.exec(QStringLiteral(
                    "INSERT INTO \"Saved Queries\" (\"Query Name\", \"SQL Text\") VALUES (:name, :sql) "
                    "ON CONFLICT DO NOTHING"),
                {{QStringLiteral("name"), name}, {QStringLiteral("sql"), sql}});
    }
    // A server database made before the windows learnt of others' changes.
    ChangeNotices::ensure(db);
}
