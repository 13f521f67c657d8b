#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What a rebuild did with one table of the damaged file.
struct TableOutcome
{
    QString name;
    qint64 kept = 0;
    qint64 refused = 0;   // rows read but refused by the new file (a damaged value breaking a rule)
    bool declared = true; // false: the new file could not even declare the table
    // Stretches of row numbers that could not be read: (last number read before, first after;
    // 0 where there was none).
    QList<QPair<qint64, qint64>> unreadable;
    qint64 highestKept = 0;
    qint64 counter = 0;          // where the damaged file's counter for the table stood; 0 when none
    bool counterGapLost = false; // the counter stood above the highest row kept in a damaged file

    bool lostRows() const { return !declared || !unreadable.isEmpty() || refused > 0 || counterGapLost; }
    // One line for the user and the error log: "<table>: <n> rows kept[; what was lost]".
    QString text() const;
};

// What a rebuild got out of a damaged file.
struct RebuildResult
{
    bool ok = false;
    QString failure; // why nothing usable came out
    int tablesCopied = 0;
    qint64 rowsCopied = 0;
    QStringList damagedTables; // tables of which some rows could not be read
    QList<TableOutcome> tables;
    bool sourceDamaged = false; // the damaged file failed its own integrity check
    bool countersRead = true;   // the damaged file's counters could be read

    bool lostRows() const;
    bool lostRows(const QString &table) const;
    // Table by table, the rows kept and what was lost.
    QString report() const;
};

// The salvage of a damaged database file: a new file built from the damaged file's own schema
// and every row that can still be read (SQLite here has no recovery extension).
namespace FileSalvage {
// A new database at targetPath (which must not exist) from what can be read of damagedPath.
// A file whose header is smashed, or that was cut short, is read through a copy with the
// header corrected, made in scratchFolder.
RebuildResult rebuild(const QString &damagedPath, const QString &targetPath, const QString &scratchFolder);
} // namespace FileSalvage
