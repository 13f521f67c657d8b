#pragma once

#include "production/record/LineHistory.h"
#include "widgets/DataWindow.h"

#include <memory>

class HistoryModel;
class QLabel;
class QTableView;

// "History": what was changed on one job line and its tickets, when, by whom, from what to what,
// newest first. Opened by "History..." of the windows that show the line; nothing is changed here.
class frmHistory : public DataWindow
{
    Q_OBJECT

public:
    frmHistory(Session &session, qint64 jobId, QWidget *parent = nullptr);

    HistoryModel *model() const { return m_model; }
    QSize sizeHint() const override;

protected:
    bool loadData() override;
    void releaseData() override;

private:
    qint64 m_jobId;
    std::unique_ptr<LineHistory> m_history;
    QLabel *m_lblLine = nullptr;
    QTableView *m_table = nullptr;
    HistoryModel *m_model = nullptr;
};
