#include "frmDateChk.h"

#include "foundation/DateShift.h"
#include "foundation/Session.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmDateChk::frmDateChk(Session &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmDateChk"));
    setWindowTitle(QStringLiteral("Date Check"));
    setModal(true);

    m_label = new QLabel(QStringLiteral("You have entered a date value that does not seem  appropriate.  "
                                        "Please select the date below that corresponds to the date you "
                                        "wish to access."),
                         this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setWordWrap(true);

    static const char *const designCaptions[] = {"Yesterday", "Today", "The Date You Entered",
                                                 "None of the above, I'll try again."};
    m_group = new QButtonGroup(this);
    auto *options = new QVBoxLayout;
    options->setContentsMargins(16, 4, 0, 4);
    for (int i = 0; i < 4; ++i) {
        m_options[i] = new QRadioButton(QString::fromUtf8(designCaptions[i]), this);
        m_options[i]->setObjectName(QStringLiteral("optDate%1").arg(i));
        m_group->addButton(m_options[i], i);
        options->addWidget(m_options[i]);
    }
    connect(m_group, &QButtonGroup::idToggled, this, &frmDateChk::optionToggled);

    m_ok = new QPushButton(QStringLiteral("&OK"), this);
    m_ok->setObjectName(QStringLiteral("cmdOKButton"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &frmDateChk::okClicked);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addLayout(options);
    layout->addLayout(buttons);
    // A small choice has the size its controls ask for, with the wrapped text's height at its width:
    // made smaller, the text's second line would squeeze the boxes below it.
    m_label->setMinimumWidth(420 - 2 * layout->contentsMargins().left());
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmDateChk::setDates(const QDate &latestProductionDate, const QDate &today, const QDate &entered)
{
    m_dates[0] = latestProductionDate;
    m_dates[1] = today;
    m_dates[2] = entered;
    for (int i = 0; i < 3; ++i)
        m_options[i]->setText(longDate(m_dates[i]));
}

void frmDateChk::preselect(int option)
{
    if (option >= 0 && option < 4)
        m_options[option]->setChecked(true);
}

void frmDateChk::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The arrow keys move the choice, as they do among the options once one has the focus.
    const int checked = selectedOption();
    m_options[checked < 0 ? 0 : checked]->setFocus(Qt::OtherFocusReason);
}

int frmDateChk::selectedOption() const
{
    return m_group->checkedId();
}

void frmDateChk::optionToggled(int option, bool checked)
{
    if (!checked)
        return;
    // "None of the above" puts back what was typed, so the chooser shows it again.
    const QDate date = m_dates[option == 3 ? 2 : option];
    if (date.isValid() && !m_options[option == 3 ? 2 : option]->text().trimmed().isEmpty())
        emit dateSelected(date);
}

void frmDateChk::okClicked()
{
    if (selectedOption() < 0) {
        m_session.prompter().tell(QStringLiteral("You have not selected a date yet.  Please do so now."),
                                  QStringLiteral("Selection Error"), MsgIcon::Exclamation);
        return;
    }
    accept();
}
