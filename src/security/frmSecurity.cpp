#include "frmSecurity.h"

#include "SystemUserDirectory.h"

#include "foundation/Session.h"
#include "widgets/DataWindowParts.h"
#include "widgets/WaitCursor.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSet>
#include <QVBoxLayout>

using DataWindowParts::makeButton;

namespace {
QListWidget *makeList(const QString &name, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMinimumSize(260, 220);
    return list;
}
} // namespace

frmSecurity::frmSecurity(Session &session, QWidget *parent)
    : frmSecurity(session, std::make_unique<SystemUserDirectory>(session.identity().userName()), parent)
{
}

frmSecurity::frmSecurity(Session &session, std::unique_ptr<UserDirectory> directory, QWidget *parent)
    : DataWindow(session, QStringLiteral("frmSecurity"), tr("Security Administration"), parent),
      m_directory(std::move(directory))
{
    buildUi();
    resize(sizeHint());
}

QSize frmSecurity::sizeHint() const
{
    return {760, 560};
}

void frmSecurity::buildUi()
{
    auto *label1 = new QLabel(tr("NetWare Users"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    auto *label4 = new QLabel(tr("Authorized Users"), this);
    label4->setObjectName(QStringLiteral("Label4"));
    m_lstUserList = makeList(QStringLiteral("lstUserList"), this);
    m_lstAuthorizedUsers = makeList(QStringLiteral("lstAuthorizedUsers"), this);

    m_cmdAuthorize = makeButton(QStringLiteral("cmdAuthorizeButton"), tr("&Authorize"), this, 110);
    m_cmdUnauthorize = makeButton(QStringLiteral("cmdUnauthorizeButton"), tr("&Unauthorize"), this, 110);
    auto *moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(m_cmdAuthorize);
    moves->addWidget(m_cmdUnauthorize);
    moves->addStretch();

    // The control arrays optNewSecure(0..3) and optSecure(1..4): the index follows the name.
    auto *frame3D2 = new QGroupBox(tr("Security Level to Assign New Users"), this);
    frame3D2->setObjectName(QStringLiteral("Frame3D2"));
    auto *newLevels = new QVBoxLayout(frame3D2);
    auto *frame3D1 = new QGroupBox(tr("Security Level for Authorized Users"), this);
    frame3D1->setObjectName(QStringLiteral("Frame3D1"));
    auto *levels = new QVBoxLayout(frame3D1);
    m_levelGroup = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        const QString level = SecuritySettings::levels().at(i);
        auto *newOption = new QRadioButton(SecuritySettings::levelName(level), frame3D2);
        newOption->setObjectName(QStringLiteral("optNewSecure%1").arg(i));
        newLevels->addWidget(newOption);
        connect(newOption, &QRadioButton::toggled, this, [this, level](bool on) {
            if (on)
                m_newLevel = level;
        });
        m_optNewSecure.at(size_t(i)) = newOption;

        auto *option = new QRadioButton(SecuritySettings::levelName(level), frame3D1);
        option->setObjectName(QStringLiteral("optSecure%1").arg(i + 1));
        levels->addWidget(option);
        m_levelGroup->addButton(option, i + 1);
        m_optSecure.at(size_t(i)) = option;
    }
    m_optNewSecure.at(3)->setChecked(true);
    // A click is the user's choice; the window showing a user's level sets no click.
    connect(m_levelGroup, &QButtonGroup::idClicked, this, &frmSecurity::changeLevel);

    m_cmdReport = makeButton(QStringLiteral("cmdReportButton"), tr("&Report"), this, 110);
    // The security profile ("secure.rpt", preview "Print Preview - Security Profile") comes from
    // the report engine, installed in the session by the reports folder; without it the button
    // stays disabled.
    m_cmdReport->setEnabled(bool(session().printReport));
    connect(m_cmdReport, &QPushButton::clicked, this,
            [this] { session().printReport(QStringLiteral("Security Profile")); });
    m_cmdOK = makeButton(QStringLiteral("cmdOKButton"), tr("&Close"), this, 110);

    auto *grid = new QGridLayout;
    grid->addWidget(label1, 0, 0);
    grid->addWidget(label4, 0, 2);
    grid->addWidget(m_lstUserList, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(m_lstAuthorizedUsers, 1, 2);
    grid->addWidget(frame3D2, 2, 0);
    grid->addWidget(frame3D1, 2, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdReport);
    buttons->addWidget(m_cmdOK);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    connect(m_cmdAuthorize, &QPushButton::clicked, this, &frmSecurity::authorizeSelected);
    connect(m_lstUserList, &QListWidget::itemDoubleClicked, this, [this] { authorizeSelected(); });
    connect(m_cmdUnauthorize, &QPushButton::clicked, this, &frmSecurity::unauthorizeSelected);
    connect(m_lstAuthorizedUsers, &QListWidget::itemDoubleClicked, this, [this] { unauthorizeSelected(); });
    connect(m_lstAuthorizedUsers, &QListWidget::currentRowChanged, this, [this] { showLevelOfCurrent(); });
    connect(m_lstAuthorizedUsers, &QListWidget::itemClicked, this, [this] { showLevelOfCurrent(); });
    connect(m_cmdOK, &QPushButton::clicked, this, &QWidget::close);
}

bool frmSecurity::loadData()
{
    m_settings = std::make_unique<SecuritySettings>(db());
    fillNetworkUsers();
    runStep(QStringLiteral("Authorized Users"), [this] { fillAuthorizedUsers(); });
    watchChanges({QStringLiteral("Security Table")});
    return true;
}

void frmSecurity::refreshData()
{
    QList<AuthorizedUser> users;
    try {
        users = m_settings->authorizedUsers();
    } catch (const KelvaraError &) {
        return; // a busy database is read again at the next change noted
    }
    // The current user and the selection stay on the same logins; a current user removed
    // elsewhere leaves the cursor on the next one still there (else the one before).
    QStringList shown;
    for (const AuthorizedUser &user : std::as_const(m_authorized))
        shown << user.userName;
    QSet<QString> selected;
    for (const AuthorizedUser &user : selectedAuthorized())
        selected << user.userName;
    const int row = m_lstAuthorizedUsers->currentRow();
    const int scrolled = m_lstAuthorizedUsers->verticalScrollBar()->value();
    QStringList names;
    for (const AuthorizedUser &user : std::as_const(users))
        names << user.userName;
    QString current;
    if (row >= 0 && row < shown.size()) {
        for (int i = row; i < shown.size() && current.isEmpty(); ++i)
            current = names.contains(shown[i]) ? shown[i] : QString();
        for (int i = row - 1; i >= 0 && current.isEmpty(); --i)
            current = names.contains(shown[i]) ? shown[i] : QString();
    }

    const QSignalBlocker block(m_lstAuthorizedUsers);
    m_lstAuthorizedUsers->clear();
    m_authorized = users;
    for (const AuthorizedUser &user : std::as_const(m_authorized)) {
        auto *item = new QListWidgetItem(user.userName, m_lstAuthorizedUsers);
        item->setSelected(selected.contains(user.userName));
    }
    if (!current.isEmpty())
        m_lstAuthorizedUsers->setCurrentRow(int(names.indexOf(current)), QItemSelectionModel::NoUpdate);
    m_lstAuthorizedUsers->verticalScrollBar()->setValue(scrolled);
    if (row >= 0)
        showLevelOfCurrent();
}

void frmSecurity::fillNetworkUsers()
{
    m_networkUsers = m_directory->users();
    m_lstUserList->clear();
    for (const NetworkUser &user : m_networkUsers) {
        auto *item = new QListWidgetItem(user.entryText(), m_lstUserList);
        item->setData(Qt::UserRole, user.userId);
    }
}

void frmSecurity::fillAuthorizedUsers()
{
    WaitCursor wait;
    m_lstAuthorizedUsers->clear();
    m_authorized = m_settings->authorizedUsers();
    for (const AuthorizedUser &user : m_authorized)
        new QListWidgetItem(user.userName, m_lstAuthorizedUsers);
    showLevel({});
}

void frmSecurity::showLevelOfCurrent()
{
    const int row = m_lstAuthorizedUsers->currentRow();
    showLevel(row >= 0 && row < m_authorized.size() ? m_authorized.at(row).level : QString());
}

void frmSecurity::showLevel(const QString &level)
{
    // An exclusive group cannot show "none": it is exclusive only while one is on.
    m_levelGroup->setExclusive(false);
    for (int i = 0; i < 4; ++i)
        m_optSecure.at(size_t(i))->setChecked(SecuritySettings::levels().at(i) == level.trimmed().toUpper());
    m_levelGroup->setExclusive(true);
}

QList<AuthorizedUser> frmSecurity::selectedAuthorized() const
{
    QList<AuthorizedUser> users;
    for (int row = 0; row < m_lstAuthorizedUsers->count(); ++row) {
        if (m_lstAuthorizedUsers->item(row)->isSelected() && row < m_authorized.size())
            users.append(m_authorized.at(row));
    }
    return users;
}

void frmSecurity::authorizeSelected()
{
    QList<NetworkUser> users;
    for (int row = 0; row < m_lstUserList->count(); ++row) {
        if (m_lstUserList->item(row)->isSelected())
            users.append(m_networkUsers.at(row));
    }
    if (users.isEmpty())
        return;
    WaitCursor wait;
    try {
        m_settings->authorize(users, m_newLevel);
        fillAuthorizedUsers();
    } catch (const KelvaraError &error) {
        reportFailure(QStringLiteral("cmdAuthorizeButton_Click"), error);
    }
}

void frmSecurity::unauthorizeSelected()
{
    QStringList names;
    for (const AuthorizedUser &user : selectedAuthorized())
        names << user.userName;
    if (names.isEmpty())
        return;
    WaitCursor wait;
    try {
        report(m_settings->unauthorize(names));
    } catch (const KelvaraError &error) {
        reportFailure(QStringLiteral("cmdUnauthorizeButton_Click"), error);
    }
}

void frmSecurity::changeLevel(int option)
{
    const QList<AuthorizedUser> users = selectedAuthorized();
    if (option < 1 || option > 4 || users.isEmpty()) {
        showLevelOfCurrent();
        return;
    }
    const QString level = SecuritySettings::levels().at(option - 1);
    const MsgAnswer answer = session().prompter().ask(
        {tr("Are you sure you want to set the security of all selected, authorized users to ") + level + '?',
         tr("Confirm Security Settings"), MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes) {
        // Nothing changed: the options show the level as it is.
        showLevelOfCurrent();
        return;
    }
    WaitCursor wait;
    try {
        report(m_settings->setLevel(users, level));
    } catch (const KelvaraError &error) {
        reportFailure(QStringLiteral("optSecure_Click"), error);
    }
}

void frmSecurity::report(const SecuritySettings::Outcome &outcome)
{
    if (outcome.lastManager) {
        session().prompter().tell(
            tr("At least one user must keep the level \"C - Quality Assurance Manager\": without one, "
               "nobody could open the security settings again. Nothing was changed."),
            tr("Security Administration"), MsgIcon::Exclamation);
    } else if (!outcome.missing.isEmpty()) {
        session().prompter().tell(
            tr("These users were changed or removed on another workstation meanwhile "
               "and were left as they are: %1. The list now shows the users as they are.")
                .arg(outcome.missing.join(QStringLiteral(", "))),
            tr("Security Administration"), MsgIcon::Information);
    }
    fillAuthorizedUsers();
}
