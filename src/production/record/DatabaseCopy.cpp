#include "DatabaseCopy.h"

#include "ChangeHistory.h"
#include "ChangeNotices.h"
#include "ProtectionTriggers.h"
#include "SavedQueries.h"
#include "foundation/BulkRows.h"
#include "foundation/Database.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <optional>

using SchemaTables::Table;

namespace {
const QString kSavedQueries = QStringLiteral("Saved Queries");

bool isCounterKey(const SchemaTables::Column &column)
{
    return column.definition.startsWith(QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT"));
}

// The table's counter key column, or empty when its key is not a counter.
QString counterKey(const Table &table)
{
    for (const SchemaTables::Column &column : table.columns) {
        if (isCounterKey(column))
            return column.name;
    }
    return {};
}

// The tables of the database's own schema (none for a new file or server database).
qint64 tableCount(const Database &db)
{
    return db.scalar(db.dialect().tableCount()).toLongLong();
}

} // namespace

bool DatabaseCopy::hasTable(const Database &db, const QString &name)
{
    return db.scalar(db.dialect().tableNamed(), {{QStringLiteral("name"), name}}).toLongLong() > 0;
}

namespace {
// The largest key the table's counter has handed out (0 when none): SQLite's sqlite_sequence, the
// server's identity sequence.
qint64 readCounter(const Database &db, const Table &table, const QString &key)
{
    QSqlQuery query =
        db.exec(db.dialect().lastKey(), {{QStringLiteral("t"), table.name}, {QStringLiteral("c"), key}});
    return query.next() ? query.value(0).toLongLong() : 0;
}

void setCounter(Database &db, const Table &table, const QString &key, qint64 last)
{
    for (const QString &sql : db.dialect().setLastKey())
        db.exec(sql,
                {{QStringLiteral("t"), table.name}, {QStringLiteral("c"), key}, {QStringLiteral("n"), last}});
}

qint64 largestKey(const Database &db, const Table &table, const QString &key)
{
    return db.scalar(QStringLiteral("SELECT COALESCE(MAX(\"%1\"), 0) FROM \"%2\"").arg(key, table.name))
        .toLongLong();
}

// The table's row count and the sums of its count columns, as text both engines write alike.
QStringList tally(const Database &db, const Table &table)
{
    QStringList items{QStringLiteral("CAST(count(*) AS TEXT)")};
    for (const QString &column : DatabaseCopy::countColumns(table))
        items << QStringLiteral("CAST(COALESCE(SUM(\"%1\"), 0) AS TEXT)").arg(column);
    QSqlQuery query =
        db.exec(QStringLiteral("SELECT %1 FROM \"%2\"").arg(items.join(QStringLiteral(", ")), table.name));
    QStringList values;
    if (query.next()) {
        for (int i = 0; i < items.size(); ++i)
            values << query.value(i).toString();
    }
    return values;
}

// The tables --setup-server fills in a new database (the history holds its authorizing the
// login); the copy replaces their rows.
const QStringList &setupTables()
{
    static const QStringList names{kSavedQueries, QStringLiteral("CompanyInfo"),
                                   QStringLiteral("Security Table"), SchemaTables::changeHistory().name};
    return names;
}

// Every production table is there, and empty but for what --setup-server writes (the saved
// queries, the company's row, the logins it authorized), which the copy replaces.
bool holdsNoRows(const Database &db)
{
    for (const Table &table : SchemaTables::tables()) {
        if (!DatabaseCopy::hasTable(db, table.name))
            return false;
        if (!setupTables().contains(table.name) &&
            db.scalar(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table.name)).toLongLong() > 0)
            return false;
    }
    return true;
}

// The target as it was found, so that a failed copy leaves it so: a file or server database the
// copy made is removed again; one that was there (empty) stays, its transaction rolled back.
class Target
{
public:
    explicit Target(QString name) : m_name(std::move(name)) {}
    ~Target()
    {
        if (!m_done)
            discard();
    }

    // Opens or makes the target; refuses one that holds tables, unless they are the production
    // tables --setup-server made, with no rows yet.
    Database &open()
    {
        m_made = !Database::exists(m_name);
        m_db.emplace(m_made ? Database::createFile(m_name) : Database::open(m_name));
        const qint64 tables = tableCount(*m_db);
        if (tables == 0 && !m_made) {
            // An empty database made by hand gets what a new one gets (the program's lock functions).
            m_db.reset();
            m_db.emplace(Database::openEmpty(m_name));
        } else if (tables > 0) {
            m_prepared = tables == SchemaTables::tables().size() && holdsNoRows(*m_db);
            if (!m_prepared) {
                m_made = false;
                throw DatabaseError(
                    DbErrors::Other,
                    QStringLiteral(
                        "The database %1 is not empty (it holds %2 tables): a copy goes only into a "
                        "new or empty database, or one that --setup-server made and that holds no "
                        "rows yet.")
                        .arg(m_name)
                        .arg(tables));
            }
        }
        return *m_db;
    }
    // The target holds the production tables already, with their owner, grants and triggers.
    bool prepared() const { return m_prepared; }
    void keep() { m_done = true; }

private:
    void discard()
    {
        m_db.reset();
        if (!m_made)
            return;
        try {
            Database::remove(m_name);
        } catch (const KelvaraError &) {
            // The copy's own failure is what the user is told.
        }
    }

    QString m_name;
    std::optional<Database> m_db;
    bool m_made = false;
    bool m_prepared = false;
    bool m_done = false;
};
} // namespace

QList<Table> DatabaseCopy::tablesInKeyOrder()
{
    static const QRegularExpression reference(QStringLiteral("REFERENCES \"([^\"]+)\""));
    QList<Table> pending = SchemaTables::tables(), ordered;
    QStringList placed;
    while (!pending.isEmpty()) {
        const qsizetype before = pending.size();
        for (qsizetype i = 0; i < pending.size();) {
            bool ready = true;
            for (const SchemaTables::Column &column : pending[i].columns) {
                const QRegularExpressionMatch match = reference.match(column.definition);
                if (match.hasMatch() && match.captured(1) != pending[i].name &&
                    !placed.contains(match.captured(1)))
                    ready = false;
            }
            if (!ready) {
                ++i;
                continue;
            }
            placed << pending[i].name;
            ordered << pending.takeAt(i);
        }
        // A cycle of references would leave tables no order can satisfy; the schema has none.
        if (pending.size() == before)
            return ordered + pending;
    }
    return ordered;
}

QStringList DatabaseCopy::countColumns(const Table &table)
{
    static const QStringList counted{SchemaTables::productionTable().name, SchemaTables::transferTable().name,
                                     SchemaTables::holdTable().name, SchemaTables::holdDistribution().name};
    QStringList columns;
    if (!counted.contains(table.name))
        return columns;
    for (const SchemaTables::Column &column : table.columns) {
        if (column.definition.startsWith(QLatin1String("INTEGER")))
            columns << column.name;
    }
    return columns;
}

namespace {
// A saved query's text as the target reads it: a query the program seeded with the source's text
// gets the target's (they differ only in what the engines name differently), a file's text the
// server's words once (SavedQuerySpelling), and a server's text the file's spelling again. Every
// text that changes is listed for the copy's report.
class QueryTexts
{
public:
    QueryTexts(const Database &source, const Database &target,
               const QList<QPair<QString, QString>> &moreQueries)
        : m_target(target.dialect()), m_sourceSeeds(SavedQueries::all(source.dialect(), moreQueries)),
          m_targetSeeds(SavedQueries::all(target.dialect(), moreQueries))
    {
    }

    QString forTarget(const QString &name, const QString &text, QList<DatabaseCopy::Respelled> &changed) const
    {
        QString result = m_target.savedQueryFromOtherEngine(text);
        for (qsizetype i = 0; i < m_sourceSeeds.size(); ++i) {
            if (m_sourceSeeds.at(i).first == name && m_sourceSeeds.at(i).second == text)
                result = m_targetSeeds.at(i).second;
        }
        if (result != text)
            changed.append({name, text, result});
        return result;
    }

private:
    SqlDialect m_target;
    QList<QPair<QString, QString>> m_sourceSeeds, m_targetSeeds;
};

// Every row of the table, keys included, the way the target's engine takes many rows fastest;
// the saved queries' texts in the target's words.
void copyRows(const Database &source, Database &target, const Table &table, const QueryTexts &queryTexts,
              QList<DatabaseCopy::Respelled> &respelled)
{
    const QStringList columns = SchemaTables::columnNames(table);
    QList<bool> binary;
    for (const SchemaTables::Column &column : table.columns)
        binary << column.definition.startsWith(QLatin1String("BLOB"));
    const qsizetype sqlText = table.name == kSavedQueries ? columns.indexOf(QStringLiteral("SQL Text")) : -1;
    const qsizetype queryName = columns.indexOf(QStringLiteral("Query Name"));
    QSqlQuery rows = source.exec(
        QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY %3")
            .arg(BulkRows::columnList(columns), table.name, BulkRows::columnList(columns.mid(0, 1))));
    const std::unique_ptr<BulkRows> out = target.dialect().bulkRows(target, table.name, columns, binary);
    QVariantList row(columns.size());
    while (rows.next()) {
        for (qsizetype c = 0; c < columns.size(); ++c)
            row[c] = rows.value(int(c));
        if (sqlText >= 0)
            row[sqlText] =
                queryTexts.forTarget(row.at(queryName).toString(), row.at(sqlText).toString(), respelled);
        out->add(row);
    }
    out->finish();
}

} // namespace

DatabaseCopy::Result DatabaseCopy::copy(const QString &from, const QString &to,
                                        const QList<QPair<QString, QString>> &moreQueries)
{
    Result result;
    if (from.trimmed().isEmpty() || to.trimmed().isEmpty()) {
        result.failure = QStringLiteral("Both the database to copy and the new database must be given.");
        return result;
    }
    try {
        const Database source = Database::open(from, Database::ReadOnly);
        const QList<Table> tables = tablesInKeyOrder();
        for (const Table &table : tables) {
            if (!DatabaseCopy::hasTable(source, table.name))
                throw DatabaseError(
                    DbErrors::Other,
                    QStringLiteral("%1 is not a production database of this version: it has no "
                                   "table \"%2\". Open it with the program once, then copy it.")
                        .arg(from, table.name));
        }
        // The rows, sums and counters read are of one moment, whatever other workstations write.
        // The source waits in its transaction while the target is written: for as long as that takes.
        for (const QString &sql : source.dialect().beginSnapshot())
            source.exec(sql);

        Target made(to);
        Database &target = made.open();
        {
            Transaction transaction(target);
            // The history comes across as it is, chain and all: its triggers would record the
            // copied rows as new changes (and refuse to empty what --setup-server wrote).
            if (made.prepared()) {
                ProtectionTriggers::drop(target);
                ChangeHistory::drop(target);
                for (const QString &table : setupTables())
                    target.exec(QStringLiteral("DELETE FROM \"%1\"").arg(table));
            } else {
                for (const QString &sql : SchemaTables::createAll(target.dialect()))
                    target.exec(sql);
            }
            const QueryTexts queryTexts(source, target, moreQueries);
            for (const Table &table : tables)
                copyRows(source, target, table, queryTexts, result.respelled);
            // Made after the rows: the triggers refuse new lines on a protected date-shift.
            ProtectionTriggers::create(target);
            ChangeHistory::replace(target);
            ChangeNotices::create(target);
            result.lines.append({QStringLiteral("\"Change History\" newest \"Row Hash\""),
                                 ChangeHistory::latestHash(source), ChangeHistory::latestHash(target)});

            for (const Table &table : tables) {
                const QStringList columns = countColumns(table);
                const QStringList before = tally(source, table), after = tally(target, table);
                result.lines.append(
                    {QStringLiteral("\"%1\" rows").arg(table.name), before.value(0), after.value(0)});
                for (qsizetype i = 0; i < columns.size(); ++i)
                    result.lines.append({QStringLiteral("  sum of \"%1\"").arg(columns[i]),
                                         before.value(i + 1), after.value(i + 1)});
                const QString key = counterKey(table);
                if (key.isEmpty())
                    continue;
                // A key written explicitly does not move the server's counter: the next key is
                // past both the counter and the largest key there is.
                const qint64 last = std::max(readCounter(source, table, key), largestKey(source, table, key));
                setCounter(target, table, key, last);
                result.lines.append({QStringLiteral("  last \"%1\" handed out").arg(key),
                                     QString::number(last),
                                     QString::number(readCounter(target, table, key))});
            }
            if (std::all_of(result.lines.cbegin(), result.lines.cend(),
                            [](const Line &line) { return line.same(); })) {
                transaction.commit();
                made.keep();
                result.copied = true;
            } else {
                result.failure = QStringLiteral("The copy on the %1 does not match the original; nothing was "
                                                "copied.")
                                     .arg(target.dialect().engineWord());
            }
        }
        source.exec(QStringLiteral("ROLLBACK"));
    } catch (const KelvaraError &error) {
        result.failure = error.description();
        result.copied = false;
    }
    return result;
}

QString DatabaseCopy::respelledText(const QList<Respelled> &respelled)
{
    QString text;
    for (const Respelled &query : respelled)
        text += QStringLiteral("Saved query \"%1\" in the target's words:\n  was: %2\n  now: %3\n")
                    .arg(query.name, query.before, query.after);
    return text;
}

QString DatabaseCopy::comparisonText(const QList<Line> &lines)
{
    qsizetype whatWidth = 4, valueWidth = 4;
    for (const Line &line : lines) {
        whatWidth = std::max(whatWidth, line.what.size());
        valueWidth = std::max({valueWidth, line.source.size(), line.target.size()});
    }
    const auto row = [&](const QString &what, const QString &source, const QString &target,
                         const QString &mark) {
        return QStringLiteral("%1  %2  %3%4\n")
            .arg(what, -int(whatWidth))
            .arg(source, int(valueWidth))
            .arg(target, int(valueWidth))
            .arg(mark);
    };
    QString text = row(QString(), QStringLiteral("FROM"), QStringLiteral("TO"), QString());
    for (const Line &line : lines)
        text +=
            row(line.what, line.source, line.target, line.same() ? QString() : QStringLiteral("  differs"));
    return text;
}
