#include "frmRejects.h"

#include "RejectsModel.h"
#include "RejectsSheet.h"
#include "production/record/CountEntryDelegate.h"

#include "foundation/Session.h"
#include "widgets/DataWindowParts.h"
#include "widgets/GridColumns.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {
void setDesignWidths(QTableView *grid)
{
    // The whole grid fits a 1280 pixel wide screen; the headers wrap onto two lines.
    const QList<int> widths{46, 84, 38, 62, 66, 112, 58, 62, 62, 70, 96, 66, 72, 70, 84, 66, 60, 66};
    for (int column = 0; column < RejectsModel::ColumnCount; ++column)
        grid->setColumnWidth(column, widths.value(column, 70));
}
} // namespace

frmRejects::frmRejects(Session &session, std::shared_ptr<const RejectsHandOver> handOver, QWidget *parent)
    : LineWindow(session, QStringLiteral("frmRejects"), tr("Rejects by Reason"), parent),
      m_summaries(session.classIds()),
      m_handOver(handOver ? std::move(handOver) : std::make_shared<const RejectsHandOver>())
{
    setPlacement(Placement::Maximized);
    buildUi();
    resize(1200, 640);
}

frmRejects::~frmRejects() = default;

QString frmRejects::command()
{
    return QStringLiteral("REJECTS BY REASON");
}

void frmRejects::buildUi()
{
    m_label1 = DataWindowParts::makeCaptionLabel(QStringLiteral("Label1"), this);
    m_lblReadOnly = DataWindowParts::makeNoteLabel(
        QStringLiteral("lblReadOnly"),
        tr("Protected lines are shown in gray: their rejects cannot be changed."), this);
    m_model = new RejectsModel(session().prompter(), this);
    watchModel(m_model, QStringLiteral("Table1"));
    m_table = DataWindowParts::makeGrid(QStringLiteral("Table1"), m_model, this);
    setEntryGrid(m_table, CountEntryDelegate::installOn(m_table), m_model, [this] { refreshLines(0); });
    setDesignWidths(m_table);
    GridColumns::giveSpareWidthTo(m_table, RejectsModel::DescriptionColumn);
    addGrid(m_table, QStringLiteral("Rejects"));

    QHBoxLayout *bottom = DataWindowParts::makeOkRow(DataWindowParts::makeOkButton(this));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addWidget(m_lblReadOnly);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);
}

bool frmRejects::loadData()
{
    const DateShift dateShift = session().currentDateShift();
    m_label1->setText(dateShift.caption());
    m_sheet = std::make_unique<RejectsSheet>(db());
    if (!runStep({}, [&] { m_sheet->load(dateShift, m_handOver->rejectsByLine); }))
        return false;
    m_model->reset(m_sheet.get());
    showReadOnlyNote();
    setHeldBack(false);
    // The rejects follow from a line's counts and its tickets, holds and rework.
    watchChanges({QStringLiteral("Production Table"), QStringLiteral("Transfer Table"),
                  QStringLiteral("Hold Table"), QStringLiteral("Hold Distribution")},
                 dateShift);
    if (m_sheet->count() > 0)
        m_table->setCurrentIndex(m_model->index(0, RejectsModel::FirstReasonColumn));
    m_table->setFocus();
    return true;
}

void frmRejects::showReadOnlyNote()
{
    bool anyProtected = false;
    for (int row = 0; row < m_sheet->count(); ++row)
        anyProtected = anyProtected || !m_sheet->mayEdit(row);
    m_lblReadOnly->setVisible(anyProtected);
}

void frmRejects::refreshData()
{
    refreshLines(editedKey(m_table));
}

void frmRejects::refreshLines(qint64 held)
{
    // The rows follow by Job ID, so the open cell stays, and the held line (typed into) keeps
    // what it was read with.
    if (!m_sheet || !tryReread([&] { setHeldBack(m_sheet->refresh(m_summaries, held)); }))
        return;
    m_model->follow();
    showReadOnlyNote();
}

void frmRejects::releaseData()
{
    m_model->reset(nullptr);
    m_sheet.reset();
}

void frmRejects::placeInFrame()
{
    DataWindow::placeInFrame();
    // The grid scrolled while it was narrow: show it from its first column.
    m_table->horizontalScrollBar()->setValue(0);
}
