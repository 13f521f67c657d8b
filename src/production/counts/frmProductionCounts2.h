#pragma once

#include "CountsSheet.h"
#include "production/record/ProductionSummaries.h"
#include "production/record/RejectsHandOver.h"

#include "foundation/DateShift.h"
#include "widgets/DataWindow.h"

#include <memory>

class CountEntryDelegate;
class CountsGrid;
class JobLines;
class ProductionCountsModel;
class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

// "Production Counts": the counter readings of a date-shift's lines, the transfers, holds and
// rework they received, and the net finished goods and rejects that follow. Closing it with
// "&Post to Next Shift" set carries the ending counts to the next date-shift with lines.
class frmProductionCounts2 : public DataWindow
{
    Q_OBJECT

public:
    // handOver: where the Rejects button leaves each line's rejects for the rejects window; a new
    // one when none is given.
    explicit frmProductionCounts2(Session &session, std::shared_ptr<RejectsHandOver> handOver = {},
                                  QWidget *parent = nullptr);
    ~frmProductionCounts2() override;

    const DateShift &dateShift() const { return m_dateShift; }
    ProductionCountsModel *model() const { return m_model; }

    // Timer1's work: while a cell is being edited, the lines are read again so that readings
    // typed on other workstations show; the text being typed stays in its cell.
    void refreshWhileEditing();
    // Takes the Mattec Counts of a monitoring system's export (after a preview the user confirms).
    void importMonitorCounts(const QString &path);

signals:
    // The rejects by line are filled and the rejects window is to open on them.
    void rejectsRequested();
    // The history of the current line is to be shown.
    void historyRequested(qint64 jobId);

protected:
    bool loadData() override;
    void releaseData() override;
    void refreshData() override;
    void beforeUnload() override;
    bool hasUnsavedEntry() const override;
    void discardUnsavedEntry() override;
    void placeInFrame() override;

private:
    void buildUi();
    void showReadOnlyNote();
    void fillSummaries();
    void showRejects();
    void showHistory();
    void openRejectsWindow();
    void postToNextShift();
    void readCounters();
    // Takes the lines read again, the row being typed into held back (see CountsSheet::follow).
    void followLines(QList<JobLine> lines);

    std::unique_ptr<JobLines> m_store;
    ProductionSummaries m_summaries;
    std::shared_ptr<RejectsHandOver> m_handOver;
    CountsSheet m_sheet;
    DateShift m_dateShift;
    // The row typed into was held back from a re-read: it is read again once its editor closes.
    bool m_heldBack = false;

    QLabel *m_label1 = nullptr;
    QLabel *m_lblReadOnly = nullptr;
    CountsGrid *m_table = nullptr;
    ProductionCountsModel *m_model = nullptr;
    CountEntryDelegate *m_delegate = nullptr;
    QCheckBox *m_chkEndCountsDirty = nullptr;
    QPushButton *m_cmdRejects = nullptr;
    QPushButton *m_cmdReadCounters = nullptr;
    QPushButton *m_cmdImportMonitor = nullptr;
    QPushButton *m_cmdHistory = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QTimer *m_timer = nullptr;
};
