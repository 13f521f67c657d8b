#pragma once

#include "widgets/DataWindow.h"

#include <memory>

class DispositionSheet;
class DistributionDelegate;
class DistributionModel;
class QGroupBox;
class QPushButton;
class QKeyEvent;
class QTableView;
class UnresolvedTicketsModel;

// "Disposition Of Hold": every hold ticket not yet disposed of, whatever its date, and the
// distribution rows of the selected one, which rework its parts into later lines or reject them
// by reason.
class frmHoldDisposition2 : public DataWindow
{
    Q_OBJECT

public:
    explicit frmHoldDisposition2(Session &session, QWidget *parent = nullptr);
    ~frmHoldDisposition2() override;

    DispositionSheet *sheet() const { return m_sheet.get(); }
    DistributionModel *distributionModel() const { return m_distributions; }

signals:
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
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // In the Reject Reason cell, the keys a list box takes (Up, Down, Home, End) choose the reason.
    bool chooseReasonByKey(const QKeyEvent *key);
    void buildUi();
    void ticketChanged();
    void showHistory();
    void showDistributions();
    void addDistribution();
    void deleteDistribution();
    void updateDistribution();
    void afterDelete();
    void refreshDistributions(qint64 held);

    std::unique_ptr<DispositionSheet> m_sheet;
    UnresolvedTicketsModel *m_tickets = nullptr;
    DistributionModel *m_distributions = nullptr;
    DistributionDelegate *m_delegate = nullptr;

    QGroupBox *m_frame3D1 = nullptr;
    QTableView *m_tblShiftData = nullptr;
    QGroupBox *m_fraHolds = nullptr;
    QTableView *m_tblHolds = nullptr;
    QPushButton *m_cmdAdd = nullptr;
    QPushButton *m_cmdDelete = nullptr;
    QPushButton *m_cmdUpdate = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdHistory = nullptr;
    bool m_heldBack = false; // the row under the open editor shows what it was read with
};
