#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Database;
class SqlDialect;

// The saved queries the program seeds into [Saved Queries], each a name and its SQL text. A site
// may later change a query's text in the database.
namespace SavedQueries {
// The three summary queries of a date-shift differ only in what they total and what they join.
struct SummaryParts
{
    QString name, select, join;
};
QList<SummaryParts> summaryParts();

// The production record's own queries, as the engine reads them (one text for both, but for the
// day of the week).
QList<QPair<QString, QString>> production(const SqlDialect &dialect);
// Every saved query: the production record's and `moreQueries` (the reports' staging queries).
QList<QPair<QString, QString>> all(const SqlDialect &dialect,
                                   const QList<QPair<QString, QString>> &moreQueries);
QStringList names(const QList<QPair<QString, QString>> &moreQueries);
// (Re)writes every saved query.
void seed(Database &db, const QList<QPair<QString, QString>> &moreQueries);
} // namespace SavedQueries
