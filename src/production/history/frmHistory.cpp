#include "frmHistory.h"

#include "HistoryModel.h"

#include "widgets/DataWindowParts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

frmHistory::frmHistory(Session &session, qint64 jobId, QWidget *parent)
    : DataWindow(session, QStringLiteral("frmHistory"), tr("History"), parent), m_jobId(jobId)
{
    m_lblLine = DataWindowParts::makeCaptionLabel(QStringLiteral("lblLine"), this);
    m_model = new HistoryModel(this);
    m_table = DataWindowParts::makeGrid(QStringLiteral("tblHistory"), m_model, this);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    // a long value (a job's description) wraps in its cell, which grows to show it whole
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    const QList<QPair<int, int>> widths = {{HistoryModel::WhenColumn, 135},
                                           {HistoryModel::WhoColumn, 235},
                                           {HistoryModel::RecordColumn, 150},
                                           {HistoryModel::ActionColumn, 60},
                                           {HistoryModel::FieldColumn, 125}};
    for (const auto &[column, width] : widths)
        m_table->setColumnWidth(column, width);
    addGrid(m_table, QStringLiteral("HISTORY"));

    QPushButton *closeButton =
        DataWindowParts::makeCloseButton(QStringLiteral("cmdClose"), tr("&Close"), this, this, 100);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblLine);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);
    resize(sizeHint());
}

QSize frmHistory::sizeHint() const
{
    // Room for the six columns and a dozen changes.
    return {860, 420};
}

bool frmHistory::loadData()
{
    m_history = std::make_unique<LineHistory>(db());
    if (!runStep(QStringLiteral("read history"), [&] { m_history->read(m_jobId); }))
        return false;
    m_lblLine->setText(m_history->caption());
    m_model->reset(m_history.get());
    m_table->setFocus();
    return true;
}

void frmHistory::releaseData()
{
    m_model->reset(nullptr);
    m_history.reset();
}
