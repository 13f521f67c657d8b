#pragma once

#include "production/record/LineWindow.h"
#include "production/record/ProductionSummaries.h"
#include "production/record/RejectsHandOver.h"

#include <memory>

class QLabel;
class QPushButton;
class QTableView;
class RejectsModel;
class RejectsSheet;

// "Rejects by Reason": the rejects the counts window computed for each production line of the
// date-shift, split by the user into the ten reasons. Opened by the counts window's Rejects
// button, on the rejects by line it left in their hand-over.
class frmRejects : public LineWindow
{
    Q_OBJECT

public:
    // Without a hand-over it shows no rejects from the counts window.
    explicit frmRejects(Session &session, std::shared_ptr<const RejectsHandOver> handOver = {},
                        QWidget *parent = nullptr);
    ~frmRejects() override;

    // The command it is registered under; no menu shows it.
    static QString command();
    RejectsSheet *sheet() const { return m_sheet.get(); }
    RejectsModel *model() const { return m_model; }

protected:
    bool loadData() override;
    void releaseData() override;
    void refreshData() override;
    void placeInFrame() override;

private:
    void buildUi();
    void showReadOnlyNote();
    void refreshLines(qint64 held);

    ProductionSummaries m_summaries; // the ticket totals a refresh computes the rejects from
    std::shared_ptr<const RejectsHandOver> m_handOver;
    std::unique_ptr<RejectsSheet> m_sheet;
    RejectsModel *m_model = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_lblReadOnly = nullptr;
    QTableView *m_table = nullptr;
};
