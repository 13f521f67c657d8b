#pragma once

#include "JobLines.h"

#include "widgets/EntryModel.h"

// The job list grid: the lines of one date-shift, then one always-present new line where the
// user types a machine number and chooses a job. A line is saved as soon as it has both; edits
// to a saved line are saved at once. Protected lines are read-only, and a protected date-shift
// offers no new line.
class JobListModel : public EntryModel
{
    Q_OBJECT

public:
    enum Column { MachineColumn, JobNumberColumn, DescriptionColumn, ColumnCount };

    explicit JobListModel(Prompter &prompter, QObject *parent = nullptr);

    // Shows the lines of a date-shift; store writes the changes (it must outlive the model's use).
    void reset(JobLines *store, const DateShift &dateShift, const QList<JobLine> &lines,
               const QList<JobChoice> &jobs);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    const QList<JobChoice> &jobs() const { return m_jobs; }
    int savedCount() const { return int(m_lines.size()); }
    bool isNewLine(int row) const { return m_allowNewLine && row == savedCount(); }
    const JobLine &lineAt(int row) const;
    // The new line holds something typed that is not saved yet.
    bool hasUnsavedEntry() const;
    bool isProtected(int row) const;

    // Deletes a saved line (see JobLines::remove), or clears what was typed on the new line.
    JobLines::Removal removeLine(int row);

private:
    bool applyEdit(JobLine &line, int column, const QString &text);
    bool save(int row, JobLine &line);
    const JobChoice *findJob(const QString &number) const;

    JobLines *m_store = nullptr;
    DateShift m_dateShift;
    QList<JobLine> m_lines;
    JobLine m_newLine;
    QList<JobChoice> m_jobs;
    bool m_allowNewLine = false;
};
