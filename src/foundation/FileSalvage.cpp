#include "FileSalvage.h"

#include "Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

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

RebuildResult FileSalvage::rebuild(const QString &damagedPath, const QString &targetPath,
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
