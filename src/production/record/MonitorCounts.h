#pragma once

#include "JobLines.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QSettings;

// The counts a production-monitoring system exports for a shift, as a delimited file (comma,
// semicolon or tab; a header row), taken into the lines' Mattec Counts. The columns for machine,
// job number, date, shift and count are found by their common names, or by the names stored in
// the options once chosen.
namespace MonitorCounts {
enum Column { Machine, Job, Date, Shift, Count, ColumnCount };

struct Mapping
{
    // The header's name for each column; empty when the file has none (job, date and shift may be
    // missing: then every row is of the date-shift given).
    QString names[ColumnCount];
    // Why the file cannot be read with this mapping; empty when it can.
    QString missing() const;
};

struct Row
{
    int number = 0; // in the file, the header being row 1
    std::optional<int> machine;
    QString job;
    std::optional<DateShift> dateShift;
    std::optional<qint64> count;
    QString text; // the row as it stood, for the user
};

struct File
{
    QStringList header;
    QList<Row> rows;
    QString error; // the file could not be read
};

// The mapping in the options (section MonitorImport) where it names columns of the header, else
// the header's column of a common name.
Mapping mappingFor(const QStringList &header, const QSettings &options);
void storeMapping(const Mapping &mapping, QSettings &options);
File read(const QByteArray &text, const QSettings &options);

// What a row does to a line's Mattec Count: the never-overwrite rule of the machines' counts.
struct Match
{
    enum Kind { Fill, Same, Differs };
    Kind kind = Fill;
    JobLine line;
    Row row;
    QString describe() const;
};
struct Plan
{
    QList<Match> matches;
    QList<Row> unmatched; // no line of the date-shift has its machine (and job)
    QStringList describe() const;
};
// Rows of other date-shifts are left out; a row without date or shift is of the one given.
Plan plan(const QList<JobLine> &lines, const DateShift &dateShift, const QList<Row> &rows);
// Stores the fills (and the differing ones when changeDiffering) in one transaction: all or
// none. False (nothing stored) when a line was changed on another workstation meanwhile.
bool store(Database &db, const Plan &plan, bool changeDiffering);
} // namespace MonitorCounts
