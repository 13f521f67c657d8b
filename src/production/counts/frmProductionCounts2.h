#pragma once

#include "CountsSheet.h"
#include "production/record/LineWindow.h"
#include "production/record/ProductionSummaries.h"
#include "production/record/RejectsHandOver.h"

#include "foundation/DateShift.h"

#include <memory>

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
class frmProductionCounts2 : public LineWindow
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

protected:
    bool loadData() override;
    void releaseData() override;
    void refreshData() override;
    void beforeUnload() override;
    bool hasUnsavedEntry() const override;
    void placeInFrame() override;
    qint64 currentJobId() const override;

private:
    void buildUi();
    void showReadOnlyNote();
    void fillSummaries();
    void showRejects();
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

    QLabel *m_label1 = nullptr;
    QLabel *m_lblReadOnly = nullptr;
    CountsGrid *m_table = nullptr;
    ProductionCountsModel *m_model = nullptr;
    QCheckBox *m_chkEndCountsDirty = nullptr;
    QPushButton *m_cmdReadCounters = nullptr;
    QPushButton *m_cmdImportMonitor = nullptr;
    QTimer *m_timer = nullptr;
};
