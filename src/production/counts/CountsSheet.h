#pragma once

#include "production/record/EditRights.h"
#include "production/record/JobLines.h"
#include "production/record/LineFigures.h"
#include "production/record/MachineFills.h"

#include <QHash>

#include <QList>
#include <QMap>

class ProductionSummaries;

// The counts of one date-shift as the counts window edits them: the lines, their figures
// computed from the summaries (and written back into them for the rejects window), the edit
// rights, and what happens to a typed count.
class CountsSheet
{
public:
    explicit CountsSheet(ProductionSummaries &summaries) : m_summaries(summaries) {}

    void setLines(QList<JobLine> lines);
    // Takes the date-shift's lines as read again: lines come, go and change. The line of
    // heldJobId (the one typed into now) keeps the values it was read with, so that its save
    // still finds a change made elsewhere meanwhile and says so; true when that line was held
    // back with other values than those stored now.
    bool follow(QList<JobLine> lines, qint64 heldJobId = 0);
    QList<qint64> jobIds() const;
    int count() const { return int(m_lines.size()); }
    const JobLine &line(int row) const { return m_lines.at(row); }
    const LineFigures &figures(int row) const { return m_figures.at(row); }
    int rowOf(qint64 jobId) const;

    void setRights(const EditRights &rights) { m_rights = rights; }
    const EditRights &rights() const { return m_rights; }
    // A protected line is read-only whatever the rights.
    bool mayEdit(int row, CountField field) const;
    // Posting writes into the next date-shift: only from a date-shift the user may update, none
    // of whose lines is protected.
    bool mayPost() const;

    struct Entry
    {
        bool stored = false;
        QString message; // why nothing was stored; empty when stored
        // The line was protected or removed on another workstation: the window reads the
        // date-shift again rather than refuse each later entry.
        bool protectionMet = false;
    };
    // Evaluates what the user typed and stores it when it is a count: not negative, within the
    // 32-bit range, on a line that may be changed.
    Entry enter(JobLines &store, int row, CountField field, const QString &typed);

    // Stores the machines' counts as planned: those that fill an Ending Count, and those that
    // change a typed one when changeDiffering.
    struct MachineResult
    {
        int stored = 0;
        QStringList notStored; // a line each
    };
    MachineResult applyMachineFills(JobLines &store, const QList<MachineFill> &fills, bool changeDiffering);
    // The reading a line's Ending Count was filled from in this window; null when it was typed.
    const MachineCount *machineReading(int row) const;

    // Computes every line's rejects, then hands each summary's rejects over by its key.
    void fillRejectsByLine(QMap<QString, qint32> &rejectsByLine);

    static QString negativeMessage(CountField field);

private:
    void recompute(int row);
    void writeBack(const QString &key, const LineFigures &figures);

    ProductionSummaries &m_summaries;
    QList<JobLine> m_lines;
    QList<LineFigures> m_figures;
    EditRights m_rights;
    QHash<qint64, MachineCount> m_fromMachine; // by Job ID
};
