#pragma once

#include "JobListSheet.h"

#include "widgets/EntryModel.h"

// The job list grid over its sheet: the saved lines, then the new line (marked "*"); protected
// lines grey and read-only. Rows are followed by Job ID (the new line's is 0): a re-read keeps
// every row where the view has it, and the new line at the end.
class JobListModel : public EntryModel
{
    Q_OBJECT

public:
    enum Column { MachineColumn, JobNumberColumn, DescriptionColumn, ColumnCount };

    JobListModel(JobListSheet &sheet, Prompter &prompter, QObject *parent = nullptr);

    // The sheet's lines were replaced.
    void reset();
    // The sheet's lines were read again: rows come, go and change in place.
    void follow();

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    const JobListSheet &sheet() const { return m_sheet; }
    const QList<JobChoice> &jobs() const { return m_sheet.jobs(); }
    int savedCount() const { return m_sheet.count(); }
    // The sheet's row shown in the row: a saved line's, or the new line's (count()); -1 while
    // it is gone.
    int sheetRow(int row) const;
    bool isNewLine(int row) const { return m_sheet.isNewLine(sheetRow(row)); }
    // row: one shown (sheetRow is not -1).
    const JobLine &lineAt(int row) const { return m_sheet.line(sheetRow(row)); }
    bool hasUnsavedEntry() const { return m_sheet.hasUnsavedEntry(); }
    bool isProtected(int row) const { return m_sheet.isProtected(sheetRow(row)); }

    // Deletes a saved line, or clears what was typed on the new line; database failures are thrown.
    JobLines::Removal removeLine(int row);

private:
    QList<qint64> sheetKeys() const;
    void rowChanged(int row);

    JobListSheet &m_sheet;
};
