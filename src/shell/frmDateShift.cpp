#include "frmDateShift.h"

#include "widgets/DialogButtons.h"
#include "widgets/FocusKeeper.h"

#include "DateCheck.h"
#include "foundation/DateShift.h"
#include "foundation/Session.h"
#include "frmDateChk.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

frmDateShift::frmDateShift(Session &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmDateShift"));
    setWindowTitle(QStringLiteral("Date/Shift Entry"));
    setModal(true);

    auto *label1 = new QLabel(
        QStringLiteral("Enter the date and shift you wish to see in the spaces provided below."), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setWordWrap(true);
    auto *label2 = new QLabel(QStringLiteral("Date:"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    auto *label3 = new QLabel(QStringLiteral("Shift:"), this);
    label3->setObjectName(QStringLiteral("Label3"));

    m_date = new QDateEdit(this);
    m_date->setObjectName(QStringLiteral("tdbtDate"));
    m_date->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    m_date->setCalendarPopup(true);
    m_date->calendarWidget()->setFirstDayOfWeek(Qt::Sunday);
    m_date->calendarWidget()->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    m_date->calendarWidget()->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    label2->setBuddy(m_date);

    m_shift = new QLineEdit(QStringLiteral("1"), this);
    m_shift->setObjectName(QStringLiteral("txtShift"));
    m_shift->setMaxLength(1);
    m_shift->setFixedWidth(m_shift->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 12);
    m_shift->setAlignment(Qt::AlignCenter);
    m_shift->installEventFilter(this);
    label3->setBuddy(m_shift);

    auto *shiftRow = new QHBoxLayout;
    shiftRow->setSpacing(0);
    shiftRow->addWidget(m_shift);
    shiftRow->addWidget(makeSpinner());
    shiftRow->addStretch();

    auto *fields = new QGridLayout;
    fields->setContentsMargins(12, 6, 0, 6);
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(8);
    fields->addWidget(label2, 0, 0);
    fields->addWidget(m_date, 0, 1);
    fields->addWidget(label3, 1, 0);
    fields->addLayout(shiftRow, 1, 1);
    fields->setColumnStretch(2, 1);

    const DialogButtons buttons(this);
    connect(buttons.ok, &QPushButton::clicked, this, &frmDateShift::okClicked);
    // Cancel only hides: the current date-shift stays as it was.
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons.row);
    layout->setSpacing(10);
    // A small choice has the size its controls ask for, with the wrapped text's height at its width:
    // made smaller, the text's second line would squeeze the boxes below it.
    label1->setMinimumWidth(380 - 2 * layout->contentsMargins().left());
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget *frmDateShift::makeSpinner()
{
    // The spinner beside the shift box carries no action of its own.
    auto *spinner = new QWidget(this);
    spinner->setObjectName(QStringLiteral("udShift"));
    auto *column = new QVBoxLayout(spinner);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const int height = m_shift->sizeHint().height() / 2;
    for (Qt::ArrowType arrow : {Qt::UpArrow, Qt::DownArrow}) {
        auto *button = new QToolButton(spinner);
        button->setArrowType(arrow);
        button->setFixedSize(height + 4, height);
        button->setFocusPolicy(Qt::NoFocus);
        column->addWidget(button);
    }
    return spinner;
}

QDialog *frmDateShift::dateCheck() const
{
    return m_check;
}

void frmDateShift::choose()
{
    // The box starts on today the first time; afterwards it keeps the last entry.
    if (!m_dateSet) {
        m_date->setDate(m_session.clock().today());
        m_dateSet = true;
    }
    m_date->setFocus();
    const FocusKeeper focus;
    exec();
}

bool frmDateShift::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_shift && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, m_shift, &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

void frmDateShift::okClicked()
{
    const QDate entered = dateFromShortText(m_date->text());
    if (!entered.isValid()) {
        m_date->setFocus();
        return;
    }
    const QString shiftText = m_shift->text();
    if (shiftText.isEmpty()) {
        m_shift->setFocus();
        return;
    }
    if (!DateCheck::isShiftText(shiftText)) {
        m_session.prompter().tell(DateCheck::shiftMessage(), programTitle());
        m_shift->setFocus();
        return;
    }
    const int shift = shiftText.toInt();
    if (DateCheck::needsCheck(entered, shift, m_session.clock().now(), m_session.latestProductionDate) &&
        !confirmDate(entered, shift)) {
        m_date->setFocus();
        return;
    }
    m_session.setCurrentDateShift({dateFromShortText(m_date->text()), shift});
    accept();
}

bool frmDateShift::confirmDate(const QDate &entered, int shift)
{
    frmDateChk check(m_session, this);
    m_check = &check;
    connect(&check, &frmDateChk::dateSelected, m_date, &QDateEdit::setDate);
    const QDateTime now = m_session.clock().now();
    check.setDates(m_session.latestProductionDate, now.date(), entered);
    check.preselect(DateCheck::preselectedOption(shift, now));
    const int result = [&] {
        const FocusKeeper focus;
        return check.exec();
    }();
    m_check = nullptr;
    // Closing the check without OK counts as typing again; the typed date comes back.
    if (result != QDialog::Accepted || check.selectedOption() == DateCheck::TryAgain) {
        m_date->setDate(entered);
        return false;
    }
    return true;
}
