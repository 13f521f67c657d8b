#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class Session;

// "Current Users": the users still in the production database, refreshed every 5 seconds, until
// the one who wants exclusive access is the only one left. Cancel is offered only to the
// maintenance commands; the repair at start-up must wait.
class frmCurrentUsers : public QDialog
{
    Q_OBJECT

public:
    frmCurrentUsers(Session &session, bool offerCancel, QWidget *parent = nullptr);

    // Shows the window modally; true when closed with OK.
    static bool ask(Session &session, bool offerCancel, QWidget *parent = nullptr);

    void refresh();
    // Escape and the close box count as the cancel button, and only where it is offered.
    void reject() override;

private:
    void okClicked();
    void cancelClicked();

    Session &m_session;
    bool m_offerCancel;
    QListWidget *m_list = nullptr;
    QTimer *m_timer = nullptr;
};
