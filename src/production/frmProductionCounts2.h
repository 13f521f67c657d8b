#pragma once

#include "CountsSheet.h"
#include "Database.h"
#include "DateShift.h"
#include "ProductionSummaries.h"

#include <QWidget>
#include <memory>
#include <optional>

class CountEntryDelegate;
class CountsGrid;
class JobLines;
class ProductionCountsModel;
class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;
class Session;

// "Production Counts": the counter readings of a date-shift's lines, the transfers, holds and
// rework they received, and the net finished goods and rejects that follow. Closing it with
// "&Post to Next Shift" set carries the ending counts to the next date-shift with lines.
class frmProductionCounts2 : public QWidget
{
    Q_OBJECT

public:
    explicit frmProductionCounts2(Session &session, QWidget *parent = nullptr);
    ~frmProductionCounts2() override;

    // Loads the current date-shift; false when the window closed itself (no database, or a
    // date-shift whose job list is not set up).
    bool load();

    const DateShift &dateShift() const { return m_dateShift; }
    ProductionCountsModel *model() const { return m_model; }

    // Timer1's work: while a cell is being edited, the lines are read again so that readings
    // typed on other workstations show; the text being typed stays in its cell.
    void refreshWhileEditing();

signals:
    // The rejects by line are filled and the rejects window is to open on them.
    void rejectsRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void buildUi();
    bool closeWithoutOpening();
    void showReadOnlyNote();
    void fillSummaries();
    void applyRights();
    void placeWindow();
    void showRejects();
    void openRejectsWindow();
    bool confirmDiscardPendingEdit();
    void postToNextShift();
    void reopenEditor(qint64 jobId, int column, const QString &text);
    void release();

    Session &m_session;
    std::optional<Database> m_db;
    std::unique_ptr<JobLines> m_store;
    ProductionSummaries m_summaries;
    CountsSheet m_sheet;
    DateShift m_dateShift;
    bool m_counted = false;
    bool m_loaded = false;

    QLabel *m_label1 = nullptr;
    QLabel *m_lblReadOnly = nullptr;
    CountsGrid *m_table = nullptr;
    ProductionCountsModel *m_model = nullptr;
    CountEntryDelegate *m_delegate = nullptr;
    QCheckBox *m_chkEndCountsDirty = nullptr;
    QPushButton *m_cmdRejects = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QTimer *m_timer = nullptr;
};
