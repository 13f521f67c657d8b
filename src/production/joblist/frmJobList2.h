#pragma once

#include "JobListSheet.h"
#include "production/record/LineWindow.h"

#include "foundation/DateShift.h"

#include <memory>

class JobListModel;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;

// "Job List for Shift": sets up and keeps the job lines of one date-shift. A date-shift without
// lines receives the lines of the previous shift that has lines, each ending count carried over
// as the new beginning count. The rules are the sheet's; the window runs its load steps and keys.
class frmJobList2 : public LineWindow
{
    Q_OBJECT

public:
    explicit frmJobList2(Session &session, QWidget *parent = nullptr);

    const DateShift &dateShift() const { return m_dateShift; }
    JobListModel *model() const { return m_model; }
    QSize sizeHint() const override;

protected:
    bool loadData() override;
    void releaseData() override;
    void refreshData() override;
    bool hasUnsavedEntry() const override;
    qint64 currentJobId() const override;

private:
    void buildUi();
    // Copies the previous shift's lines into an empty date-shift; false when it may hold lines
    // that could not be read.
    bool bringForward(QList<JobLine> &lines);
    void showProtection();

    void nextShift();
    void previousShift();
    void newDate();
    void reloadFor(const DateShift &dateShift);
    void deleteCurrentLine();

    std::unique_ptr<JobLines> m_store;
    std::unique_ptr<JobListSheet> m_sheet;
    DateShift m_dateShift;

    QLabel *m_lblDate = nullptr;
    QLabel *m_lblProtected = nullptr;
    QTableView *m_table = nullptr;
    JobListModel *m_model = nullptr;
};
