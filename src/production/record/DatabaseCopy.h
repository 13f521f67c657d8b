#pragma once

#include "SchemaTables.h"

#include <QList>
#include <QString>

class Database;

// Copies a production database into a new, empty one (or one that --setup-server made and that
// holds no rows yet, whose owner, grants and triggers stay), a file onto a database server or the
// other way: every table's rows with their keys, the site's own saved queries (in the target's spelling)
// and the key counters, so that the next row gets the key it would have got in the original. The
// original is opened read-only. The target gets the schema and every row in one transaction,
// with the protection triggers made after the rows (a protected date-shift's lines could not be
// inserted under them). Before that transaction commits, the row counts and the sums of the
// count columns of both are compared; a difference rolls it back and the target is left as it was
// found (a file or a server database the copy made is removed again).
class DatabaseCopy
{
public:
    // One line of the comparison: a table's rows, a count column's sum or a table's key counter.
    struct Line
    {
        QString what;
        QString source, target;
        bool same() const { return source == target; }
    };
    // A saved query whose text the copy gave the target's words.
    struct Respelled
    {
        QString name, before, after;
    };
    struct Result
    {
        bool copied = false;
        QString failure; // why nothing was copied, for the user
        QList<Line> lines;
        QList<Respelled> respelled;
    };

    // from and to are each a file path or a postgresql:// URI; moreQueries are the saved queries
    // seeded besides the production record's (the reports').
    static Result copy(const QString &from, const QString &to,
                       const QList<QPair<QString, QString>> &moreQueries = {});
    // The saved queries respelled, each with its text before and after, for the copy's report.
    static QString respelledText(const QList<Respelled> &respelled);
    // The comparison as a table of text, with a mark on each line that differs.
    static QString comparisonText(const QList<Line> &lines);

    // The tables in an order in which each comes after the tables its foreign keys refer to.
    static QList<SchemaTables::Table> tablesInKeyOrder();
    // Whether the database holds a table of that name.
    static bool hasTable(const Database &db, const QString &name);
    // The columns whose sums are compared: every INTEGER column of the production line, the
    // transfer and hold tickets and the hold distribution.
    static QStringList countColumns(const SchemaTables::Table &table);
};
