#pragma once

#include "foundation/Database.h"

#include <QDialog>

#include <optional>

class QTreeWidget;
class QTimer;
class Session;

// "Current Users": the users still in the production database, refreshed every 5 seconds, until
// the one who wants exclusive access is the only one left. Cancel is offered only to the
// maintenance commands; the repair at start-up must wait. For a file database the names come from
// CURUSERS.DAT; on a server, from the server's own list of the program's sessions, with the
// machine each one is on and since when.
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
    QList<QStringList> serverRows();
    void okClicked();
    void cancelClicked();

    Session &m_session;
    bool m_offerCancel;
    bool m_onServer;
    std::optional<Database> m_server; // the window's connection for reading the server's list
    QTreeWidget *m_list = nullptr;
    QTimer *m_timer = nullptr;
};
