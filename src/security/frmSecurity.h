#pragma once

#include "SecuritySettings.h"
#include "UserDirectory.h"

#include "widgets/DataWindow.h"

#include <array>
#include <memory>

class QButtonGroup;
class QListWidget;
class QPushButton;
class QRadioButton;

// "Security Administration": who may use the program and at which level. Network users are
// authorized at the level chosen for new users; the level of authorized users is changed after
// a confirmation. A level takes effect at the user's next login.
class frmSecurity : public DataWindow
{
    Q_OBJECT

public:
    explicit frmSecurity(Session &session, QWidget *parent = nullptr);
    frmSecurity(Session &session, std::unique_ptr<UserDirectory> directory, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    // The level new users get, "D" when the window opens.
    QString newUserLevel() const { return m_newLevel; }

    void authorizeSelected();
    void unauthorizeSelected();
    void changeLevel(int option);

protected:
    bool loadData() override;
    void refreshData() override;

private:
    void buildUi();
    void fillNetworkUsers();
    void fillAuthorizedUsers();
    void showLevelOfCurrent();
    void showLevel(const QString &level);
    QList<AuthorizedUser> selectedAuthorized() const;
    // Tells what could not be done, then shows the table as it is now.
    void report(const SecuritySettings::Outcome &outcome);

    std::unique_ptr<UserDirectory> m_directory;
    std::unique_ptr<SecuritySettings> m_settings;
    QList<NetworkUser> m_networkUsers;
    QList<AuthorizedUser> m_authorized; // in list order
    QString m_newLevel = QStringLiteral("D");

    QListWidget *m_lstUserList = nullptr;
    QListWidget *m_lstAuthorizedUsers = nullptr;
    std::array<QRadioButton *, 4> m_optNewSecure{};
    std::array<QRadioButton *, 4> m_optSecure{};
    QButtonGroup *m_levelGroup = nullptr;
    QPushButton *m_cmdAuthorize = nullptr;
    QPushButton *m_cmdUnauthorize = nullptr;
    QPushButton *m_cmdReport = nullptr;
    QPushButton *m_cmdOK = nullptr;
};
