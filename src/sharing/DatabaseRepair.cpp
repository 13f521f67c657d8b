#include "DatabaseRepair.h"

#include "foundation/Database.h"
#include "foundation/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <QDateTime>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <limits>
#include <optional>

namespace {
struct SchemaEntry
{
    QString type, name, sql;
};

QString quoted(const QString &name)
{
    return '"' + QString(name).replace('"', QStringLiteral("\"\"")) + '"';
}

std::optional<QList<SchemaEntry>> readSchema(const Database &source);

// The page size the header gives (bytes 16-17, 1 meaning 65536), or 4096 when it is not one.
int pageSizeOf(const QByteArray &header)
{
    if (header.size() < 18)
        return 4096;
    const int stored = (quint8(header[16]) << 8) | quint8(header[17]);
    const int size = stored == 1 ? 65536 : stored;
    const bool powerOfTwo = size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
    return powerOfTwo ? size : 4096;
}

// Makes the scratch copy readable: the first 16 bytes say again that it is a database, the file
// ends on a whole page, and the page count in the header (bytes 28-31) is what the file holds. A
// truncated file otherwise claims pages it no longer has, and the engine refuses every table.
QString prepareScratch(const QString &damagedPath, const QString &scratchPath)
{
    QFile::remove(scratchPath);
    QFile source(damagedPath);
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("The damaged file cannot be read: %1").arg(source.errorString());
    if (!QFile::copy(damagedPath, scratchPath)) {
        return QStringLiteral("The work file '%1' cannot be made beside the database (is its folder "
                              "writable?).")
            .arg(scratchPath);
    }
    QFile scratch(scratchPath);
    scratch.setPermissions(scratch.permissions() | QFileDevice::WriteOwner);
    if (!scratch.open(QIODevice::ReadWrite))
        return QStringLiteral("The work file '%1' cannot be written: %2")
            .arg(scratchPath, scratch.errorString());
    const int pageSize = pageSizeOf(scratch.read(100));
    const qint64 pages = (scratch.size() + pageSize - 1) / pageSize;
    QByteArray count(4, '\0');
    for (int i = 0; i < 4; ++i)
        count[i] = char((pages >> (8 * (3 - i))) & 0xff);
    const bool written = scratch.resize(pages * pageSize) && scratch.seek(0) &&
                         scratch.write("SQLite format 3\0", 16) == 16 && scratch.seek(28) &&
                         scratch.write(count) == 4;
    if (!written)
        return QStringLiteral("The work file '%1' cannot be written: %2")
            .arg(scratchPath, scratch.errorString());
    return {};
}

// Opens the damaged file for reading with its schema. A file whose header no longer says it is a
// database, or that lost its end, is read through a scratch copy with the header corrected: the
// pages it still has are often intact.
std::optional<Database> openForReading(const QString &damagedPath, const QString &scratchPath,
                                       std::optional<QList<SchemaEntry>> &schema, QString &failure)
{
    // A file this user may not read (its permissions, a lock of the system) is not beyond
    // reading: the user is told why it cannot be opened.
    QFile probe(damagedPath);
    if (!probe.open(QIODevice::ReadOnly)) {
        failure = QStringLiteral("The database file '%1' cannot be opened: %2.")
                      .arg(damagedPath, probe.errorString());
        return std::nullopt;
    }
    probe.close();
    QString openError;
    try {
        Database direct = Database::open(damagedPath, Database::Salvage);
        schema = readSchema(direct);
        if (schema)
            return direct;
    } catch (const DatabaseError &error) {
        if (error.number() != DbErrors::Damaged)
            openError = error.description();
    }
    failure = prepareScratch(damagedPath, scratchPath);
    if (!failure.isEmpty())
        return std::nullopt;
    try {
        Database scratch = Database::open(scratchPath, Database::Salvage);
        schema = readSchema(scratch);
        if (schema)
            return scratch;
    } catch (const DatabaseError &) {
    }
    failure = openError.isEmpty() ? QStringLiteral("Nothing in the file can be read any more.") : openError;
    return std::nullopt;
}

std::optional<QList<SchemaEntry>> readSchema(const Database &source)
{
    try {
        QSqlQuery query = source.exec(QStringLiteral(
            "SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%' "
            "ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 WHEN 'view' THEN 2 ELSE 3 END"));
        QList<SchemaEntry> entries;
        while (query.next())
            entries.append({query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
        if (query.lastError().isValid())
            return std::nullopt;
        return entries;
    } catch (const DatabaseError &) {
        return std::nullopt;
    }
}

// Copies a table's rows into the new file in the order of their numbers (rowid). Where a row
// cannot be read (a damaged page), the copy steps past the damaged stretch and goes on with the
// rows behind it, so that one bad page costs only the rows it held. Each stretch passed over is
// noted in the table's outcome.
//
// Every read starts at a number ("rowid >= n"), never after one: the engine finds the rows above
// 880 by going to the page holding 880 and stepping on from there, so "rowid > 880" fails on the
// damaged page that holds 880, while "rowid >= 881" goes straight to the page holding 881.
class TableCopy
{
public:
    TableCopy(const Database &source, const Database &target, TableOutcome &outcome)
        : m_read(source.connection()), m_probe(source.connection()), m_write(target.connection()),
          m_outcome(outcome)
    {
    }

    // False when the table cannot be read by row number at all.
    bool run()
    {
        const QString select = QStringLiteral("SELECT rowid, * FROM ") + quoted(m_outcome.name) +
                               QStringLiteral(" WHERE rowid >= ? ORDER BY rowid");
        m_read.setForwardOnly(true);
        m_probe.setForwardOnly(true);
        if (!m_read.prepare(select) || !m_probe.prepare(select))
            return false;
        qint64 from = std::numeric_limits<qint64>::min();
        for (;;) {
            if (copyFrom(from))
                return true;
            // The stretch after the last row read is damaged. The search starts above both that
            // row and this pass's start, so each pass starts further on than the one before.
            const qint64 start = std::max({m_anyRead ? m_lastRead : 0, from, qint64(-1)}) + 1;
            m_outcome.unreadable.append({m_anyRead ? m_lastRead : 0, 0});
            m_gapOpen = true;
            const std::optional<qint64> resume = nextReadable(start);
            if (!resume)
                return true;
            from = *resume;
        }
    }

private:
    // Reads the rows numbered from on into the new file; true when it reached the end.
    bool copyFrom(qint64 from)
    {
        m_read.bindValue(0, from);
        if (!m_read.exec())
            return false;
        while (m_read.next()) {
            const QSqlRecord record = m_read.record();
            if (!m_insertReady && !prepareInsert(record))
                throw Database::mapError(m_write.lastError(),
                                         QStringLiteral("The repaired file refuses the rows"));
            const qint64 number = record.value(0).toLongLong();
            for (int i = 1; i < record.count(); ++i)
                m_write.bindValue(i - 1, record.value(i));
            if (m_write.exec() && m_write.numRowsAffected() > 0) {
                ++m_outcome.kept;
                m_outcome.highestKept = std::max(m_outcome.highestKept, number);
            } else {
                // Read, but refused by the new file (a damaged value breaking a rule of the table).
                ++m_outcome.refused;
            }
            if (m_gapOpen) {
                m_outcome.unreadable.last().second = number;
                m_gapOpen = false;
            }
            m_lastRead = number;
            m_anyRead = true;
        }
        return !m_read.lastError().isValid();
    }

    // Whether the rows numbered from on can be read again, at least the first of them.
    bool readable(qint64 from)
    {
        m_probe.bindValue(0, from);
        const bool ok = m_probe.exec() && (m_probe.next() || !m_probe.lastError().isValid());
        m_probe.finish();
        return ok;
    }

    // The smallest number from start on at which the rows can be read again: strides that
    // double find a readable place, halving then finds where the readable rows begin.
    std::optional<qint64> nextReadable(qint64 start)
    {
        qint64 bad = start - 1;
        std::optional<qint64> good;
        for (qint64 stride = 1; stride > 0 && stride < (qint64(1) << 62); stride *= 2) {
            if (start - 1 > std::numeric_limits<qint64>::max() - stride)
                break;
            const qint64 at = start - 1 + stride;
            if (readable(at)) {
                good = at;
                break;
            }
            bad = at;
        }
        if (!good)
            return std::nullopt;
        while (*good - bad > 1) {
            const qint64 middle = bad + (*good - bad) / 2;
            if (readable(middle))
                good = middle;
            else
                bad = middle;
        }
        return good;
    }

    bool prepareInsert(const QSqlRecord &record)
    {
        QStringList columns, marks;
        for (int i = 1; i < record.count(); ++i) {
            columns << quoted(record.fieldName(i));
            marks << QStringLiteral("?");
        }
        // Rows already there are kept, so that no row comes across twice.
        m_insertReady = m_write.prepare(QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                            .arg(quoted(m_outcome.name), columns.join(','), marks.join(',')));
        return m_insertReady;
    }

    QSqlQuery m_read, m_probe, m_write;
    TableOutcome &m_outcome;
    bool m_insertReady = false;
    qint64 m_lastRead = 0;
    bool m_anyRead = false;
    bool m_gapOpen = false; // a damaged stretch was noted; the next row read ends it
};

bool copyTable(const Database &source, const Database &target, TableOutcome &outcome, RebuildResult &result)
{
    if (!TableCopy(source, target, outcome).run())
        outcome.unreadable.append({0, 0});
    if (!outcome.unreadable.isEmpty())
        result.damagedTables << outcome.name;
    result.rowsCopied += outcome.kept;
    return outcome.unreadable.isEmpty() || outcome.kept > 0;
}

// Where the damaged file's counters (sqlite_sequence) stood, as far as they can be read.
QHash<QString, qint64> readCounters(const Database &source, bool &complete)
{
    QHash<QString, qint64> counters;
    QSqlQuery query(source.connection());
    query.setForwardOnly(true);
    complete = query.exec(QStringLiteral("SELECT name, seq FROM sqlite_sequence"));
    while (complete && query.next())
        counters.insert(query.value(0).toString(), query.value(1).toLongLong());
    // A file without a counted table has no counter table at all: nothing is missing then.
    if (!complete && query.lastError().text().contains(QStringLiteral("no such table")))
        complete = true;
    else if (query.lastError().isValid())
        complete = false;
    return counters;
}

// Keeps each counter at least where it stood, so that no number is given out twice: a number of a
// row deleted before the damage, or lost in it, may be written on paper or in a report already.
void keepCounters(const Database &target, const QList<TableOutcome> &tables)
{
    for (const TableOutcome &table : tables) {
        if (!table.declared || table.counter <= table.highestKept)
            continue;
        const QVariantMap params{{QStringLiteral("name"), table.name},
                                 {QStringLiteral("seq"), table.counter}};
        target.exec(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = :name"), params);
        target.exec(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (:name, :seq)"), params);
    }
}

bool integrityOk(const Database &db)
{
    try {
        return db.integrityCheck() == QLatin1String("ok");
    } catch (const DatabaseError &) {
        return false;
    }
}

void fill(const Database &source, Database &target, const QList<SchemaEntry> &schema, RebuildResult &result)
{
    const QHash<QString, qint64> counters = readCounters(source, result.countersRead);
    target.setForeignKeys(false);
    Transaction transaction(target);
    for (const SchemaEntry &entry : schema) {
        if (entry.type != QLatin1String("table"))
            continue;
        TableOutcome outcome;
        outcome.name = entry.name;
        outcome.counter = counters.value(entry.name);
        // A table the new file cannot even declare is lost; the others still come across.
        try {
            target.exec(entry.sql);
            if (copyTable(source, target, outcome, result))
                ++result.tablesCopied;
        } catch (const DatabaseError &) {
            outcome.declared = false;
            result.damagedTables << entry.name;
        }
        result.tables.append(outcome);
    }
    keepCounters(target, result.tables);
    // Indexes, views and triggers after the rows, so that no trigger fires during the copy.
    for (const SchemaEntry &entry : schema) {
        if (entry.type == QLatin1String("table"))
            continue;
        try {
            target.exec(entry.sql);
        } catch (const DatabaseError &) {
        }
    }
    transaction.commit();
}

// A counter above the highest row kept shows rows lost at the top of the table, but only in a
// file that is damaged: in a sound one the rows there were deleted.
void judgeCounterGaps(RebuildResult &result)
{
    for (TableOutcome &table : result.tables)
        table.counterGapLost = result.sourceDamaged && table.counter > table.highestKept;
}
} // namespace

namespace {
// The status text after its first sentence: what happens next, and what to do if it fails.
QString statusTail()
{
    return QStringLiteral("The database will now be ") +
           QStringLiteral("compacted.  After the compaction, an ") +
           QStringLiteral("attempt will be made to reopen the ") +
           QStringLiteral("database.  If it fails, answer No to ") +
           QStringLiteral("the 'Repair Database' box you will again ") +
           QStringLiteral("receive.  Then restore the file ") +
           QStringLiteral("'QUORVEL.MDB' from the most recent ") +
           QStringLiteral("backup available and re-enter all ") +
           QStringLiteral("transactions that have taken place ") + QStringLiteral("since that time.");
}

QString number(qint64 value)
{
    return QLocale().toString(value);
}

QString stretchText(const QPair<qint64, qint64> &stretch)
{
    const auto &[before, after] = stretch;
    if (before > 0 && after > 0)
        return QStringLiteral("the rows between numbers %1 and %2 could not be read")
            .arg(number(before), number(after));
    if (after > 0)
        return QStringLiteral("the rows before number %1 could not be read").arg(number(after));
    if (before > 0)
        return QStringLiteral("the rows after number %1 could not be read").arg(number(before));
    return QStringLiteral("its rows could not be read");
}
} // namespace

QString TableOutcome::text() const
{
    if (!declared)
        return QStringLiteral("%1: lost; the table could not be made again in the repaired file").arg(name);
    QStringList parts{QStringLiteral("%1: %2 rows kept").arg(name, number(kept))};
    for (const auto &stretch : unreadable)
        parts << stretchText(stretch);
    if (refused > 0)
        parts << QStringLiteral("%1 rows read could not be written into the repaired file")
                     .arg(number(refused));
    if (counterGapLost) {
        parts << QStringLiteral("its counter stood at %1, so the rows numbered %2 to %1 are missing")
                     .arg(number(counter), number(highestKept + 1));
    }
    return parts.join(QStringLiteral("; "));
}

bool RebuildResult::lostRows() const
{
    return std::any_of(tables.cbegin(), tables.cend(),
                       [](const TableOutcome &table) { return table.lostRows(); });
}

bool RebuildResult::lostRows(const QString &table) const
{
    return std::any_of(tables.cbegin(), tables.cend(), [&](const TableOutcome &outcome) {
        return outcome.name == table && outcome.lostRows();
    });
}

QString RebuildResult::report() const
{
    QStringList lines;
    for (const TableOutcome &table : tables)
        lines << table.text() + '.';
    if (!countersRead) {
        lines << QStringLiteral("The tables' counters could not be read: new rows may be given numbers that "
                                "were used before.");
    }
    return lines.join('\n');
}

DatabaseRepair::DatabaseRepair(Session &session) : m_session(session) {}

QString DatabaseRepair::statusText()
{
    return QStringLiteral("Repairs complete.  ") + statusTail();
}

QString DatabaseRepair::outcomeText(const RebuildResult &result, const QString &keptCopy)
{
    if (!result.lostRows())
        return statusText() + QStringLiteral("\n\n") + result.report();
    return QStringLiteral("The repair could not keep every row: rows were lost (below).  The damaged file is "
                          "kept as '%1'.  ")
               .arg(keptCopy) +
           statusTail() + QStringLiteral("\n\n") + result.report();
}

QString DatabaseRepair::keptCopyPath(const QString &database, const QDateTime &when)
{
    return database + QStringLiteral(".damaged-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

void DatabaseRepair::recordOutcome(const QString &rebuiltPath, const RebuildResult &result,
                                   const QString &keptCopy, const QDateTime &when)
{
    Database db = Database::open(rebuiltPath);
    Transaction transaction(db);
    db.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"Repair Report\" (\"Repaired At\" TEXT NOT NULL, "
                       "\"Table Name\" TEXT NOT NULL, \"Rows Kept\" INTEGER, \"Rows Lost\" INTEGER NOT NULL, "
                       "\"Details\" TEXT, \"Damaged Copy\" TEXT)"));
    for (const TableOutcome &table : result.tables) {
        db.exec(QStringLiteral(
                    "INSERT INTO \"Repair Report\" VALUES (:at, :name, :kept, :lost, :details, :copy)"),
                {{QStringLiteral("at"), when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
                 {QStringLiteral("name"), table.name},
                 {QStringLiteral("kept"), table.kept},
                 {QStringLiteral("lost"), table.lostRows() ? 1 : 0},
                 {QStringLiteral("details"), table.text()},
                 {QStringLiteral("copy"), table.lostRows() ? keptCopy : QString()}});
    }
    transaction.commit();
}

QString DatabaseRepair::securityLossCopy(const Database &db)
{
    try {
        QSqlQuery query = db.exec(
            QStringLiteral("SELECT \"Damaged Copy\" FROM \"Repair Report\" WHERE \"Table Name\" = "
                           "'Security Table' AND \"Rows Lost\" = 1 "
                           "AND \"Repaired At\" = (SELECT max(\"Repaired At\") FROM \"Repair Report\")"));
        return query.next() ? query.value(0).toString() : QString();
    } catch (const DatabaseError &error) {
        // A database never repaired has no report.
        if (error.number() == DbErrors::Damaged)
            throw;
        return {};
    }
}

QString ServerCheckResult::report(const QString &databaseName) const
{
    if (!failure.isEmpty())
        return QStringLiteral("The database %1 on the server could not be checked: %2")
            .arg(databaseName, failure);
    const QString checked =
        QStringLiteral(
            "The database %1 on the server was checked: the server's check of %2 indexes of %3 tables")
            .arg(databaseName)
            .arg(indexes)
            .arg(tables);
    if (problems.isEmpty())
        return checked + QStringLiteral(" found nothing wrong. The server keeps its own files whole; there "
                                        "was nothing to repair.");
    return checked +
           QStringLiteral(" found %1 damaged (below). Ask the server's administrator to rebuild "
                          "them (REINDEX) or restore a backup.\n\n")
               .arg(problems.size()) +
           problems.join('\n');
}

ServerCheckResult DatabaseRepair::checkServer(const Database &db)
{
    ServerCheckResult result;
    // --setup-server installs the checks once; on a database made without it, the administrator's
    // first check does (a login that may not is refused before it gets here).
    try {
        if (db.scalar(QStringLiteral("SELECT to_regprocedure('bt_index_check(regclass, boolean)') IS NULL"))
                .toBool())
            db.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS amcheck"));
    } catch (const DatabaseError &error) {
        result.failure = QStringLiteral("the server's checks (the extension amcheck) cannot be installed: ") +
                         error.description();
        return result;
    }
    struct Index
    {
        qint64 oid;
        QString name, table;
    };
    QList<Index> indexes;
    try {
        QSqlQuery query = db.exec(QStringLiteral(
            "SELECT c.oid, c.relname, t.relname FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
            "JOIN pg_class t ON t.oid = i.indrelid JOIN pg_am a ON a.oid = c.relam "
            "WHERE a.amname = 'btree' AND t.relnamespace = current_schema()::regnamespace "
            "AND t.relkind = 'r' AND i.indisvalid AND i.indisready ORDER BY t.relname, c.relname"));
        while (query.next())
            indexes.append(
                {query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString()});
    } catch (const DatabaseError &error) {
        result.failure = error.description();
        return result;
    }
    QStringList tables;
    for (const Index &index : std::as_const(indexes)) {
        if (!tables.contains(index.table))
            tables << index.table;
        try {
            // Each check on its own: one that fails does not stop the others.
            db.exec(QStringLiteral("SELECT bt_index_check(%1::oid::regclass, true)").arg(index.oid));
        } catch (const DatabaseError &error) {
            result.problems
                << QStringLiteral("%1 of the table %2: %3").arg(index.name, index.table, error.description());
        }
        ++result.indexes;
    }
    result.tables = int(tables.size());
    return result;
}

RebuildResult DatabaseRepair::rebuild(const QString &damagedPath, const QString &targetPath,
                                      const QString &scratchFolder)
{
    RebuildResult result;
    const QString scratchPath = QDir(scratchFolder).filePath(QStringLiteral("db2.scratch"));
    try {
        std::optional<QList<SchemaEntry>> schema;
        std::optional<Database> source = openForReading(damagedPath, scratchPath, schema, result.failure);
        if (source) {
            std::optional<Database> target;
            try {
                target = Database::createFile(targetPath);
            } catch (const DatabaseError &error) {
                throw DatabaseError(
                    error.number(),
                    QStringLiteral("The work file '%1' cannot be made beside the database: %2")
                        .arg(targetPath, error.description()));
            }
            fill(*source, *target, *schema, result);
            result.sourceDamaged =
                !result.damagedTables.isEmpty() || source->path() != damagedPath || !integrityOk(*source);
            judgeCounterGaps(result);
            if (result.tablesCopied == 0)
                result.failure = QStringLiteral("No table of the file could be read.");
            else if (!integrityOk(*target))
                result.failure = QStringLiteral("The rebuilt file does not pass the integrity check.");
            else
                result.ok = true;
        }
    } catch (const DatabaseError &error) {
        result.ok = false;
        result.failure = error.description();
    }
    QFile::remove(scratchPath);
    if (!result.ok)
        QFile::remove(targetPath);
    return result;
}

void DatabaseRepair::run()
{
    const MsgAnswer answer = m_session.prompter().ask(
        {QStringLiteral("Error:  The database has been marked corrupt. Attempt repair?"),
         QStringLiteral("Database Initialization Error"), MsgIcon::Critical, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes) {
        m_session.endProgram(1);
        return;
    }
    if (!m_session.checkExclusiveAccess(false))
        return;
    // Whatever way the repair ends, the other copies may come back in.
    struct ExclusiveAccessEnd
    {
        Session &session;
        ~ExclusiveAccessEnd() { session.endExclusiveAccess(); }
    } end{m_session};
    // The work files go beside the database: its folder must be writable for the repair anyway,
    // while the program's folder often is not.
    const QString rebuilt = workFile(QStringLiteral("db2.rebuild"));
    QFile::remove(rebuilt);
    const QString database = m_session.options().DatabaseName();
    const RebuildResult result = rebuild(database, rebuilt, workFolder());
    if (!result.ok) {
        reportFailure(result.failure);
        return;
    }
    const QDateTime when = m_session.clock().now();
    const QString kept = keptCopyPath(database, when);
    try {
        recordOutcome(rebuilt, result, kept, when);
    } catch (const DatabaseError &error) {
        m_session.writeErrorLog(QStringLiteral("Repair: the repair report could not be written: ") +
                                error.description());
    }
    const QString text = outcomeText(result, kept);
    m_session.writeErrorLog(QStringLiteral("Repair of %1: ").arg(database) + text);
    m_session.prompter().tell(text, QStringLiteral("Repair Status"),
                              result.lostRows() ? MsgIcon::Exclamation : MsgIcon::Information);
    QString failure;
    if (!m_session.checkExclusiveAccess(false) || !compactAndReplace(rebuilt, kept, failure)) {
        QFile::remove(rebuilt);
        if (!failure.isEmpty())
            reportFailure(failure);
        return;
    }
    QFile::remove(rebuilt);
}

bool DatabaseRepair::compactAndReplace(const QString &rebuilt, const QString &kept, QString &failure)
{
    FileOps &files = m_session.fileOps();
    const QString compacted = workFile(QStringLiteral("db2.mdb"));
    // A work file left by an earlier run could be someone's last good copy: to the trash with it,
    // or, where there is no trash, aside under a dated name.
    if (files.exists(compacted) && !files.moveToTrash(compacted)) {
        const QString aside =
            compacted + m_session.clock().now().toString(QStringLiteral("'-'yyyyMMdd-HHmmss"));
        if (!files.rename(compacted, aside)) {
            failure = QStringLiteral("The old work file '%1' cannot be moved out of the way.").arg(compacted);
            return false;
        }
        m_session.writeErrorLog(
            QStringLiteral("The old work file '%1' is kept as '%2'.").arg(compacted, aside));
    }
    try {
        Database db = Database::open(rebuilt);
        db.exec(QStringLiteral("VACUUM INTO :target"), {{QStringLiteral("target"), compacted}});
    } catch (const DatabaseError &error) {
        failure = error.description();
        QFile::remove(compacted);
        return false;
    }
    return replaceDamaged(compacted, kept, failure);
}

bool DatabaseRepair::replaceDamaged(const QString &compacted, const QString &kept, QString &failure)
{
    FileOps &files = m_session.fileOps();
    const QString database = m_session.options().DatabaseName();
    // The damaged file keeps a second name (a copy only where the disk has no such names); the new
    // file, made in the database's folder, then takes its place in one rename, so that no moment
    // exists without a complete database file.
    if (!files.link(database, kept) && !files.copy(database, kept)) {
        failure = QStringLiteral("The damaged file '%1' cannot be kept as '%2'.").arg(database, kept);
        return false;
    }
    // A journal left by an interrupted write belongs to the damaged file, not to the new one.
    const QString journal = database + QStringLiteral("-journal");
    if (files.exists(journal))
        files.rename(journal, kept + QStringLiteral("-journal"));
    if (!files.replace(compacted, database)) {
        files.remove(kept);
        failure = QStringLiteral("The repaired file cannot be put in place of '%1'.").arg(database);
        return false;
    }
    return true;
}

QString DatabaseRepair::workFolder() const
{
    return QFileInfo(m_session.options().DatabaseName()).absolutePath();
}

QString DatabaseRepair::workFile(const QString &name) const
{
    return QDir(workFolder()).filePath(name);
}

void DatabaseRepair::reportFailure(const QString &failure)
{
    m_session.prompter().tell(QStringLiteral("The database could not be repaired.  ") + failure +
                                  QStringLiteral("  The damaged file has been left as it was."),
                              QStringLiteral("Repair Status"), MsgIcon::Critical);
}
