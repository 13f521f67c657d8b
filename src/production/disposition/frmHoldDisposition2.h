#pragma once

#include "production/record/LineWindow.h"
#include "widgets/DataWindowParts.h"

#include <memory>

class DispositionSheet;
class DistributionModel;
class QGroupBox;
class QPushButton;
class QKeyEvent;
class QTableView;
class UnresolvedTicketsModel;

// "Disposition Of Hold": every hold ticket not yet disposed of, whatever its date, and the
// distribution rows of the selected one, which rework its parts into later lines or reject them
// by reason.
class frmHoldDisposition2 : public LineWindow
{
    Q_OBJECT

public:
    explicit frmHoldDisposition2(Session &session, QWidget *parent = nullptr);
    ~frmHoldDisposition2() override;

    DispositionSheet *sheet() const { return m_sheet.get(); }
    DistributionModel *distributionModel() const { return m_distributions; }

protected:
    bool loadData() override;
    void releaseData() override;
    void refreshData() override;
    void beforeUnload() override;
    void placeInFrame() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    qint64 currentJobId() const override;

private:
    // In the Reject Reason cell, the keys a list box takes (Up, Down, Home, End) choose the reason.
    bool chooseReasonByKey(const QKeyEvent *key);
    void buildUi();
    void ticketChanged();
    void showDistributions();
    void addDistribution();
    void deleteDistribution();
    void updateDistribution();
    void afterDelete();
    void refreshDistributions(qint64 held);

    std::unique_ptr<DispositionSheet> m_sheet;
    UnresolvedTicketsModel *m_tickets = nullptr;
    DistributionModel *m_distributions = nullptr;

    QTableView *m_tblShiftData = nullptr;
    QGroupBox *m_fraHolds = nullptr;
    QTableView *m_tblHolds = nullptr;
    DataWindowParts::RowButtons m_buttons;
};
