#pragma once

#include "foundation/DateShift.h"

#include <QList>
#include <QString>
#include <optional>

class Database;

// One row of the Production Table as the per-shift windows show it.
struct JobLine
{
    qint64 jobId = 0; // 0 while the line is not saved yet
    DateShift dateShift;
    std::optional<int> machineNumber;
    QString jobNumber;
    QString jobDescription;
    qint64 beginningCount = 0;
    qint64 endingCount = 0;
    qint64 matecCount = 0;
    qint64 fromRework = 0;
    bool protectedRecord = false;

    // The Job ID as text: the key of the line's summary and of its rejects.
    QString key() const { return QString::number(jobId); }
    bool operator==(const JobLine &) const = default;
};

// An active job offered for new lines.
struct JobChoice
{
    QString number;
    QString description;
};

enum class CountField { Beginning, Ending, Mattec };

// What posting the ending counts to the next date-shift did there, for that shift's supervisor
// to check.
struct Posting
{
    DateShift next;
    bool nextProtected = false;
    QList<JobLine> added; // lines brought into the next date-shift
    QList<int> leftAlone; // counted machines that run another job there: nothing carried
    // The message for the user; empty when nothing there needs checking.
    QString summary() const;
};

// The SQL of the job lines: reading a date-shift's lines, making and changing them, carrying
// them from one date-shift to the next. Every per-shift statement selects by [Date] and [Shift]
// so that it runs on their index; every value is bound.
class JobLines
{
public:
    explicit JobLines(Database &db) : m_db(db) {}

    // The lines of a date-shift by machine, then in the order they were made.
    QList<JobLine> of(const DateShift &dateShift) const;
    bool any(const DateShift &dateShift) const;
    // Whether any date-shift after this one (a later shift of its date, or a later date) has lines.
    bool anyAfter(const DateShift &dateShift) const;

    // The latest date with lines before the date-shift: for shift 1 strictly before its date,
    // for shifts 2 and 3 on or before it (so a later shift of the same date counts too).
    std::optional<QDate> latestDateBefore(const DateShift &dateShift) const;
    std::optional<int> highestShiftOn(const QDate &date) const;

    // Copies the previous lines into an empty date-shift, each ending count becoming the new
    // beginning count, in one transaction. Returns the number of lines made; 0 when the
    // date-shift got lines meanwhile (another workstation brought them forward first).
    int bringForward(const QList<JobLine> &previous, const DateShift &to);

    // Saves a new line on its date-shift with every count 0; returns its Job ID.
    qint64 add(const JobLine &line);
    // Writes those of machine, job number and description that differ between the line as it was
    // read and as edited. Another workstation may have changed the row meanwhile: the update
    // holds the values read in its WHERE clause, and false means nothing was written because the
    // row was changed, protected or deleted since it was read.
    bool updateIdentity(const JobLine &read, const JobLine &edited);
    // One line as stored now; nothing when it is gone.
    std::optional<JobLine> line(qint64 jobId) const;
    // Writes one count over the value read before (read); false when the line was changed,
    // protected or deleted meanwhile, and nothing was written.
    bool setCount(qint64 jobId, CountField field, qint64 value, qint64 read);
    // After a write refused as above: takes the line as stored now. False when it was protected
    // or removed meanwhile; the line is then marked protected, since nothing can be written to it.
    bool reread(JobLine &line) const;

    enum class Removal { Deleted, Protected, HasTickets, Missing };
    // Deletes an unprotected line that no transfer, hold or distribution row refers to.
    Removal remove(qint64 jobId);
    bool hasTickets(qint64 jobId) const;

    // The next date-shift that has lines: a later shift of the same date for shifts 1 and 2;
    // for shift 3 the shift 1 of the earliest later date that has one.
    std::optional<DateShift> nextWithLines(const DateShift &dateShift) const;
    // Carries each counted ending count (not 0) to the beginning count of the same machine and
    // job on the next date-shift with lines (its protected lines left alone), then brings over
    // the last line of each machine that has no line there with the saved query. One
    // transaction; empty when no later date-shift has lines.
    std::optional<Posting> postToNextShift(const DateShift &dateShift);
    // The posting's carry of the ending counts (:dt, :sh to :nextDt, :nextSh), as it runs.
    static QString carrySql();

    QList<JobChoice> activeJobs() const;

private:
    std::optional<Posting> postingTarget(const DateShift &dateShift) const;

    Database &m_db;
};
