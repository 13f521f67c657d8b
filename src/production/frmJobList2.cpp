#include "frmJobList2.h"

#include "DataWindowParts.h"
#include "JobListDelegate.h"
#include "JobListModel.h"
#include "settings/GridColumns.h"
#include "shell/Session.h"
#include "shell/SharedDatabase.h"
#include "shell/WaitCursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kWidthsSection = QStringLiteral("JOBLIST");

QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setMinimumWidth(110);
    return button;
}
} // namespace

frmJobList2::frmJobList2(Session &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmJobList2"));
    setWindowTitle(tr("Job List for Shift"));
    buildUi();
    resize(sizeHint());
}

QSize frmJobList2::sizeHint() const
{
    // Room for the three columns and a shift of twenty machines.
    return {720, 680};
}

frmJobList2::~frmJobList2()
{
    release();
}

void frmJobList2::buildUi()
{
    m_lblDate = DataWindowParts::makeCaptionLabel(QStringLiteral("lblDate"), this);
    m_lblProtected = DataWindowParts::makeNoteLabel(
        QStringLiteral("lblProtected"),
        tr("This date-shift is protected: its lines cannot be added, changed or deleted."), this);

    m_model = new JobListModel(m_session.prompter(), this);
    m_model->setFailureHandler([this](const QString &text) {
        m_session.showSeriousError(QStringLiteral("frmJobList2, Table1 ") + text);
    });
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("Table1"));
    m_table->setModel(m_model);
    m_table->setItemDelegate(new JobListDelegate(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    DataWindowParts::setUpEntryGrid(m_table, 22);
    m_table->setAlternatingRowColors(true);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(JobListModel::MachineColumn, 100);
    m_table->setColumnWidth(JobListModel::JobNumberColumn, 150);
    m_table->setColumnWidth(JobListModel::DescriptionColumn, 320);
    m_table->installEventFilter(this);

    m_frame = new QGroupBox(tr("Line-Item Controls"), this);
    m_frame->setObjectName(QStringLiteral("Frame3D2"));
    m_cmdNewDate = makeButton(QStringLiteral("cmdNewDate"), tr("&New Date"), m_frame);
    m_cmdPrevShift = makeButton(QStringLiteral("cmdPrevShiftButton"), tr("&Previous Shift"), m_frame);
    m_cmdNextShift = makeButton(QStringLiteral("cmdNxtShiftButton"), tr("Ne&xt Shift"), m_frame);
    m_cmdOK = makeButton(QStringLiteral("cmdOKButton"), tr("&OK"), m_frame);
    auto *buttons = new QHBoxLayout(m_frame);
    buttons->addWidget(m_cmdNewDate);
    buttons->addWidget(m_cmdPrevShift);
    buttons->addWidget(m_cmdNextShift);
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblDate);
    layout->addWidget(m_lblProtected);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_frame);

    connect(m_cmdNewDate, &QPushButton::clicked, this, &frmJobList2::newDate);
    connect(m_cmdNextShift, &QPushButton::clicked, this, &frmJobList2::nextShift);
    connect(m_cmdPrevShift, &QPushButton::clicked, this, &frmJobList2::previousShift);
    connect(m_cmdOK, &QPushButton::clicked, this, &QWidget::close);
}

bool frmJobList2::load()
{
    WaitCursor wait;
    m_stepLabel = QStringLiteral("Start");
    if (!openDatabase()) {
        close();
        return false;
    }
    QList<JobChoice> jobs;
    runStep(QStringLiteral("Start"), [&] { jobs = m_store->activeJobs(); });

    m_dateShift = m_session.currentDateShift();
    m_lblDate->setText(m_dateShift.caption());
    if (!m_counted) {
        m_session.dataFormOpened();
        m_counted = true;
    }

    QList<JobLine> lines;
    const bool read = runStep(QStringLiteral("sSQL Initialize"), [&] { lines = m_store->of(m_dateShift); });
    m_stepLabel = QStringLiteral("Data1.Recordset.RecordCount = 0 check");
    // When the lines could not even be read, bringing lines forward could double them.
    if (read && lines.isEmpty())
        lines = bringForward();

    m_model->reset(m_store.get(), m_dateShift, lines, jobs);
    showProtection();
    const bool firstLoad = !m_loaded;
    m_loaded = true;
    placeWindow();
    m_table->setFocus();
    m_table->setCurrentIndex(m_model->index(0, JobListModel::MachineColumn));
    if (firstLoad)
        GridColumns::restore(m_session.options(), kWidthsSection, m_table);
    return true;
}

bool frmJobList2::openDatabase()
{
    m_model->reset(nullptr, m_dateShift, {}, {});
    m_store.reset();
    m_db.reset();
    m_db = openSharedDatabase(m_session);
    if (!m_db)
        return false;
    m_store = std::make_unique<JobLines>(*m_db);
    return true;
}

QList<JobLine> frmJobList2::bringForward()
{
    std::optional<QDate> previousDate;
    std::optional<int> previousShift;
    runStep(QStringLiteral("build sSQL for previous shift"), [&] {
        previousDate = m_store->latestDateBefore(m_dateShift);
        if (!previousDate)
            throw DatabaseError(DbErrors::NoCurrentRecord,
                                tr("No earlier date has job lines, so there is no previous shift to bring "
                                   "lines forward from."));
        previousShift = m_store->highestShiftOn(*previousDate);
    });
    QList<JobLine> previous;
    const bool opened = runStep(QStringLiteral("open previous shift"), [&] {
        if (!previousDate || !previousShift)
            throw DatabaseError(DbErrors::NoCurrentRecord,
                                tr("The lines of the previous shift cannot be opened: no previous shift "
                                   "has job lines."));
        previous = m_store->of({*previousDate, *previousShift});
    });
    if (!opened) {
        // The user starts the date-shift on the grid's new line.
        m_stepLabel = QStringLiteral("no data - dn is nothing");
        return {};
    }
    if (previous.isEmpty()) {
        m_stepLabel = QStringLiteral("no data - dn.RecordCount = 0");
        return {};
    }
    runStep(QStringLiteral("bringing data forward"), [&] { m_store->bringForward(previous, m_dateShift); });
    QList<JobLine> lines;
    runStep(QStringLiteral("wrap-up"), [&] { lines = m_store->of(m_dateShift); });
    return lines;
}

bool frmJobList2::runStep(const QString &label, const std::function<void()> &work)
{
    m_stepLabel = label;
    try {
        work();
        return true;
    } catch (const KelvaraError &error) {
        reportLoadError(label, error);
    }
    return false;
}

void frmJobList2::reportLoadError(const QString &label, const KelvaraError &error)
{
    // The load carries on after the dialog with what it has.
    m_session.showSeriousError(
        QStringLiteral("frmJobList2, Form_Load Event %1 %2").arg(label, error.numberAndText()));
}

void frmJobList2::showProtection()
{
    bool anyProtected = false;
    for (int row = 0; row < m_model->savedCount(); ++row)
        anyProtected = anyProtected || m_model->isProtected(row);
    m_lblProtected->setVisible(anyProtected);
}

void frmJobList2::placeWindow()
{
    // Outside an MDI area the caller shows the window.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        sub->move(0, 0);
        sub->show();
    }
}

bool frmJobList2::event(QEvent *event)
{
    // The main window may put the window into its MDI area after the load: it opens at the top
    // left corner of the area.
    if (event->type() == QEvent::ParentChange && m_loaded) {
        QTimer::singleShot(0, this, [this] {
            if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
                sub->move(0, 0);
        });
    }
    return QWidget::event(event);
}

bool frmJobList2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete && isGridKey()) {
        deleteCurrentLine();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool frmJobList2::isGridKey() const
{
    // A key typed into a cell editor belongs to the editor.
    const QWidget *focus = QApplication::focusWidget();
    return !focus || focus == m_table;
}

void frmJobList2::deleteCurrentLine()
{
    const int row = m_table->currentIndex().row();
    if (row < 0 || m_model->isProtected(row))
        return;
    if (m_model->isNewLine(row)) {
        m_model->removeLine(row);
        return;
    }
    const JobLine &line = m_model->lineAt(row);
    const QString machine = line.machineNumber ? QString::number(*line.machineNumber) : QString();
    const MsgAnswer answer = m_session.prompter().ask(
        {tr("Are you sure you want to delete the line of machine %1, job %2?").arg(machine, line.jobNumber),
         tr("Confirm Delete"), MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return;
    try {
        switch (m_model->removeLine(row)) {
        case JobLines::Removal::HasTickets:
            m_session.prompter().tell(
                tr("This line cannot be deleted: transfer tickets, hold tickets or hold "
                   "distribution rows refer to it. Remove those first."),
                programTitle(), MsgIcon::Exclamation);
            break;
        case JobLines::Removal::Protected:
            m_session.prompter().tell(tr("This line is protected and cannot be deleted."), programTitle(),
                                      MsgIcon::Exclamation);
            break;
        case JobLines::Removal::Deleted:
        case JobLines::Removal::Missing:
            break;
        }
    } catch (const KelvaraError &error) {
        m_session.showSeriousError(QStringLiteral("frmJobList2, deleting a line ") + error.numberAndText());
    }
}

void frmJobList2::nextShift()
{
    if (confirmDiscard())
        reloadFor(m_dateShift.next());
}

void frmJobList2::previousShift()
{
    if (confirmDiscard())
        reloadFor(m_dateShift.previous());
}

void frmJobList2::newDate()
{
    if (!confirmDiscard())
        return;
    const DateShift before = m_session.currentDateShift();
    m_session.chooseDateShift();
    const DateShift chosen = m_session.currentDateShift();
    if (!chosen.isValid()) {
        // A chooser that leaves no date-shift changes nothing here.
        m_session.setCurrentDateShift(before);
        return;
    }
    if (chosen != m_dateShift)
        reloadFor(chosen);
}

void frmJobList2::reloadFor(const DateShift &dateShift)
{
    // The window stays counted among the open data windows while it reloads.
    m_session.setCurrentDateShift(dateShift);
    GridColumns::save(m_session.options(), kWidthsSection, m_table);
    load();
}

bool frmJobList2::confirmDiscard()
{
    if (!m_model->hasUnsavedEntry())
        return true;
    return m_session.prompter().ask({tr("Are you sure you want to discard your changes?"),
                                     tr("Confirm Cancellation"), MsgIcon::Question, MsgButtons::YesNo}) ==
           MsgAnswer::Yes;
}

void frmJobList2::closeEvent(QCloseEvent *event)
{
    if (m_loaded && !confirmDiscard()) {
        event->ignore();
        return;
    }
    release();
    event->accept();
}

void frmJobList2::release()
{
    DataWindowParts::leave(m_session, kWidthsSection, m_table, m_loaded, m_counted);
    m_model->reset(nullptr, m_dateShift, {}, {});
    m_store.reset();
    m_db.reset();
}
