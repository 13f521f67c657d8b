#include "frmProtectDates2.h"

#include "CalendarDayDelegate.h"
#include "ProtectionCalendarModel.h"

#include "foundation/Session.h"
#include "widgets/DataWindowParts.h"
#include "widgets/WaitCursor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

using DataWindowParts::makeButton;

frmProtectDates2::frmProtectDates2(Session &session, QWidget *parent)
    : DataWindow(session, QStringLiteral("frmProtectDates2"), tr("Date/Shift Protection"), parent)
{
    buildUi();
    resize(sizeHint());
}

QSize frmProtectDates2::sizeHint() const
{
    // Seven day columns wide enough for the weekday names, six weeks tall enough to read.
    return {900, 540};
}

QWidget *frmProtectDates2::makeSpinner(const QString &name, const QString &down, const QString &up,
                                       const std::function<void(int)> &step)
{
    // The up/down spinner: its down half steps back, its up half forward.
    auto *spinner = new QWidget(this);
    spinner->setObjectName(name);
    auto *back = makeButton(name + QStringLiteral("Down"), QStringLiteral("\u25C0 ") + down, spinner);
    auto *forward = makeButton(name + QStringLiteral("Up"), up + QStringLiteral(" \u25B6"), spinner);
    auto *layout = new QHBoxLayout(spinner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(back);
    layout->addWidget(forward);
    connect(back, &QPushButton::clicked, this, [step] { step(-1); });
    connect(forward, &QPushButton::clicked, this, [step] { step(1); });
    return spinner;
}

void frmProtectDates2::buildUi()
{
    auto *label1 = new QLabel(tr("Shift Protection Calendar For"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    m_lblMth = new QLabel(this);
    m_lblMth->setObjectName(QStringLiteral("lblMth"));
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    label1->setFont(big);
    m_lblMth->setFont(big);

    QWidget *yearSpinner = makeSpinner(QStringLiteral("udnYrSpinner"), tr("Last Year"), tr("Next Year"),
                                       [this](int delta) { stepYear(delta); });
    QWidget *monthSpinner = makeSpinner(QStringLiteral("udnMthSpinner"), tr("Last Month"), tr("Next Month"),
                                        [this](int delta) { stepMonth(delta); });
    auto *heading = new QHBoxLayout;
    heading->addWidget(label1);
    heading->addWidget(m_lblMth);
    heading->addStretch();
    heading->addWidget(yearSpinner);
    heading->addSpacing(12);
    heading->addWidget(monthSpinner);

    m_model = new ProtectionCalendarModel(m_calendar, this);
    m_tblCalendar = DataWindowParts::makeGrid(QStringLiteral("tblCalendar"), m_model, this);
    m_tblCalendar->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tblCalendar->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tblCalendar->verticalHeader()->hide();
    m_tblCalendar->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_tblCalendar->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_tblCalendar->setMinimumSize(560, 330);
    m_tblCalendar->setItemDelegate(new CalendarDayDelegate(m_tblCalendar));

    auto *fraShifts = new QGroupBox(tr("Shift Protection Status"), this);
    fraShifts->setObjectName(QStringLiteral("fraShifts"));
    auto *shifts = new QVBoxLayout(fraShifts);
    const QStringList captions{tr("First Shift"), tr("Second Shift"), tr("Third Shift")};
    for (int shift = 1; shift <= 3; ++shift) {
        // The control array chkShifts(1..3): the index follows the name.
        auto *box = new QCheckBox(captions.at(shift - 1), fraShifts);
        box->setObjectName(QStringLiteral("chkShifts%1").arg(shift));
        shifts->addWidget(box);
        connect(box, &QCheckBox::clicked, this,
                [this, shift](bool checked) { shiftClicked(shift, checked); });
        m_chkShifts.at(size_t(shift - 1)) = box;
    }
    m_lblNoShifts = new QLabel(tr("No shift of this day can be protected."), fraShifts);
    m_lblNoShifts->setWordWrap(true);
    shifts->addWidget(m_lblNoShifts);

    auto *frame3D1 = new QGroupBox(tr("Unresolved Hold"), this);
    frame3D1->setObjectName(QStringLiteral("Frame3D1"));
    m_unresolvedModel = new QStandardItemModel(0, 2, this);
    m_unresolvedModel->setHorizontalHeaderLabels({tr("Date"), tr("Shift")});
    m_tblUnresolved =
        DataWindowParts::makeGrid(QStringLiteral("tblUnresolvedLookup"), m_unresolvedModel, frame3D1);
    m_tblUnresolved->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tblUnresolved->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tblUnresolved->verticalHeader()->hide();
    m_tblUnresolved->verticalHeader()->setDefaultSectionSize(m_tblUnresolved->fontMetrics().height() + 6);
    m_tblUnresolved->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_tblUnresolved->horizontalHeader()->setStretchLastSection(true);
    m_tblUnresolved->setColumnWidth(0, 100);
    auto *unresolved = new QVBoxLayout(frame3D1);
    unresolved->addWidget(m_tblUnresolved);

    auto *cmdOK = DataWindowParts::makeCloseButton(QStringLiteral("cmdOKButton"), tr("&OK"), this, this);

    auto *side = new QVBoxLayout;
    side->addWidget(fraShifts);
    side->addWidget(frame3D1, 1);
    side->addWidget(cmdOK);
    auto *sideWidget = new QWidget(this);
    sideWidget->setLayout(side);
    sideWidget->setFixedWidth(220);
    side->setContentsMargins(0, 0, 0, 0);

    auto *body = new QHBoxLayout;
    body->addWidget(m_tblCalendar, 1);
    body->addWidget(sideWidget);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addLayout(body, 1);

    connect(m_tblCalendar->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { updateShiftBoxes(); });
    connect(m_tblCalendar, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { toggleDay(index.row(), index.column()); });
}

bool frmProtectDates2::loadData()
{
    m_calendar.useDatabase(db());
    const QDate today = session().clock().today();
    m_calendar.show(today.year(), today.month(), today);
    rebuild();
    m_tblCalendar->setCurrentIndex(m_model->index(0, 0));
    if (!hasDatabase())
        return false;
    // Protection is the lines' flag; the unresolved list comes from the holds.
    watchChanges({QStringLiteral("Production Table"), QStringLiteral("Hold Table")});
    return true;
}

bool frmProtectDates2::attempt(const std::function<void()> &work)
{
    bool repaired = false;
    while (hasDatabase()) {
        try {
            work();
            return true;
        } catch (const DatabaseError &error) {
            if (error.number() == DbErrors::Damaged && !repaired) {
                repaired = true;
                if (repairAndReopen()) {
                    m_calendar.useDatabase(db());
                    continue;
                }
                if (!hasDatabase())
                    return false;
            }
            session().prompter().tell(error.description(), QStringLiteral("Database Access Error"),
                                      MsgIcon::Information);
            return false;
        }
    }
    return false;
}

void frmProtectDates2::rebuild()
{
    WaitCursor wait;
    m_lblMth->setText(m_calendar.caption());
    attempt([this] { m_calendar.readStates(); });
    attempt([this] { m_calendar.readUnresolved(); });
    showUnresolved();
    m_model->refresh();
    updateShiftBoxes();
}

void frmProtectDates2::showUnresolved()
{
    // The current row stays on its date-shift; when that is gone, on the row that took its place.
    const QModelIndex current = m_tblUnresolved->currentIndex();
    const QString key = current.isValid() ? current.siblingAtColumn(0).data().toString() + QLatin1Char('|') +
                                                current.siblingAtColumn(1).data().toString()
                                          : QString();
    m_unresolvedModel->removeRows(0, m_unresolvedModel->rowCount());
    int keptRow = -1;
    for (const DateShift &dateShift : m_calendar.unresolved()) {
        const QString dateText = dateShift.date.toString(QStringLiteral("MM/dd/yyyy"));
        if (dateText + QLatin1Char('|') + QString::number(dateShift.shift) == key)
            keptRow = m_unresolvedModel->rowCount();
        auto *date = new QStandardItem(dateText);
        auto *shift = new QStandardItem(QString::number(dateShift.shift));
        shift->setTextAlignment(Qt::AlignCenter);
        m_unresolvedModel->appendRow({date, shift});
    }
    if (current.isValid() && m_unresolvedModel->rowCount() > 0)
        m_tblUnresolved->setCurrentIndex(m_unresolvedModel->index(
            keptRow >= 0 ? keptRow : std::min(current.row(), m_unresolvedModel->rowCount() - 1), 0));
}

void frmProtectDates2::refreshData()
{
    // The calendar keeps its month and current day; the day's boxes show the states read now.
    try {
        m_calendar.readStates();
        m_calendar.readUnresolved();
    } catch (const KelvaraError &) {
        return; // a busy database is read again at the next change noted
    }
    showUnresolved();
    m_model->refresh();
    updateShiftBoxes();
}

void frmProtectDates2::stepMonth(int delta)
{
    m_calendar.stepMonth(delta);
    rebuild();
}

void frmProtectDates2::stepYear(int delta)
{
    m_calendar.stepYear(delta);
    rebuild();
}

void frmProtectDates2::updateShiftBoxes()
{
    const QModelIndex current = m_tblCalendar->currentIndex();
    const bool dated = current.isValid() && m_calendar.dateOf(current.row(), current.column());
    for (int shift = 1; shift <= 3; ++shift) {
        QCheckBox *box = m_chkShifts.at(size_t(shift - 1));
        const ShiftState state =
            dated ? m_calendar.day(current.row(), current.column()).shift(shift) : ShiftState::NoLines;
        // Setting the box from here is no click: clicked() is not emitted.
        box->setChecked(state == ShiftState::Protected);
        box->setVisible(state != ShiftState::NoLines);
    }
    m_lblNoShifts->setVisible(!dated);
}

void frmProtectDates2::shiftClicked(int shift, bool checked)
{
    const QModelIndex current = m_tblCalendar->currentIndex();
    if (!current.isValid())
        return;
    {
        WaitCursor wait;
        attempt([&] { m_calendar.setProtection(current.row(), current.column(), shift, checked); });
        m_model->refresh();
    }
    // A failed change shows the state as it is.
    updateShiftBoxes();
}

void frmProtectDates2::toggleDay(int row, int column)
{
    WaitCursor wait;
    m_tblCalendar->setCurrentIndex(m_model->index(row, column));
    attempt([&] { m_calendar.toggle(row, column); });
    showUnresolved();
    m_model->refresh();
    updateShiftBoxes();
}
