#pragma once

#include "production/record/JobLines.h"

#include <QList>
#include <QString>
#include <optional>

class Clock;
class Prompter;

// The job list of one date-shift as its window edits it: the saved lines, then one new line where
// the user types a machine number and chooses a job. A new line is saved once it has both; a
// change to a saved line is saved at once, writing only what changed. A date-shift with a
// protected line takes no new line and no change. A date-shift without lines is filled from the
// previous shift that has lines (bring-forward), after asking when the date-shift lies in the
// future or later shifts have lines already.
class JobListSheet
{
public:
    enum Field { Machine, JobNumber, Description };
    static constexpr int kLargestMachineNumber = 32767;

    JobListSheet(Prompter &prompter, Clock &clock);

    // The store of the open connection; null while the window holds no connection.
    void setStore(JobLines *store) { m_store = store; }

    // Shows these lines of the date-shift, with these jobs to choose from.
    void setLines(const DateShift &dateShift, QList<JobLine> lines);
    // Takes the date-shift's lines as read again; what is typed on the new line stays. The line
    // of heldJobId (the one typed into now) keeps the values it was read with, so that its save
    // still finds a change made elsewhere meanwhile and says so; true when that line was held
    // back with other values than those stored now.
    bool follow(QList<JobLine> lines, qint64 heldJobId = 0);
    // The row of a saved line; -1 when it is not shown.
    int rowOf(qint64 jobId) const;
    void setJobs(QList<JobChoice> jobs) { m_jobs = std::move(jobs); }

    const DateShift &dateShift() const { return m_dateShift; }
    const QList<JobChoice> &jobs() const { return m_jobs; }
    // The saved lines; the new line, where there is one, follows them as row count().
    int count() const { return int(m_lines.size()); }
    bool allowsNewLine() const { return m_allowNewLine; }
    bool isNewLine(int row) const { return m_allowNewLine && row == count(); }
    const JobLine &line(int row) const { return isNewLine(row) ? m_newLine : m_lines.at(row); }
    bool isProtected(int row) const { return row >= 0 && row < count() && m_lines.at(row).protectedRecord; }
    bool anyProtected() const;
    // The new line holds something typed that is not saved yet.
    bool hasUnsavedEntry() const;
    const JobChoice *findJob(const QString &number) const;

    struct Edit
    {
        enum Outcome {
            Saved,   // written (a new line: saved and appended, a fresh new line below it)
            Held,    // kept on the new line until it has a machine and a job
            Refused, // not a valid entry; nothing changed
            Reread   // the row changed elsewhere meanwhile: it shows as stored now, nothing written
        };
        Outcome outcome = Saved;
        QString message; // what to tell the user for Refused and Reread
        // The line was protected or removed on another workstation: the window reads the
        // date-shift again rather than refuse each later entry.
        bool protectionMet = false;
    };
    // Applies what the user typed in a cell of row; database failures are thrown.
    Edit edit(int row, Field field, const QString &typed);

    // Deletes a saved line (see JobLines::remove), or clears what was typed on the new line.
    JobLines::Removal remove(int row);
    static QString deleteQuestion(const JobLine &line);
    // Why a line was not deleted; empty when there is nothing to say.
    static QString removalMessage(JobLines::Removal removal);

    // Bring-forward into an empty date-shift, in the steps the window reports by name. Each step
    // throws a DatabaseError; a failed step leaves the later ones with nothing to do.
    // 1. Finds the previous shift with lines (3021 when no earlier date has lines).
    std::optional<DateShift> findPreviousShift();
    // 2. Reads its lines (3021 when step 1 found no shift).
    QList<JobLine> readPreviousLines();
    // 3. Copies them into the date-shift: into a date-shift after today, or one earlier than a
    // date-shift with lines, only when the user agrees. False when nothing was copied.
    bool copyPreviousLines();
    // 4. The date-shift's lines as they are now stored.
    QList<JobLine> readLines() const;
    // Steps 1 to 4 at once; returns the lines to show.
    QList<JobLine> bringForward();

private:
    bool applyEdit(JobLine &line, Field field, const QString &typed, QString &refusal) const;
    Edit saveNewLine(const JobLine &line);
    Edit saveLine(int row, const JobLine &edited);
    void clearNewLine();
    bool mayCopy();

    JobLines &store() const;

    JobLines *m_store = nullptr;
    Prompter &m_prompter;
    Clock &m_clock;
    DateShift m_dateShift;
    QList<JobLine> m_lines;
    JobLine m_newLine;
    QList<JobChoice> m_jobs;
    bool m_allowNewLine = false;
    std::optional<DateShift> m_previous;
    QList<JobLine> m_previousLines;
};
