#include "frmCurrentUsers.h"

#include "CurrentUsersFile.h"
#include "foundation/Session.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

frmCurrentUsers::frmCurrentUsers(Session &session, bool offerCancel, QWidget *parent)
    : QDialog(parent), m_session(session), m_offerCancel(offerCancel)
{
    setObjectName(QStringLiteral("frmCurrentUsers"));
    setWindowTitle(QStringLiteral("Current Users"));
    setModal(true);

    auto *label = new QLabel(QStringLiteral("In order to safely perform this operation, every user must exit "
                                            "except you.  When your name is the only one that remains on the "
                                            "list, click the button below."),
                             this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstCurUsers"));

    auto *ok = new QPushButton(QStringLiteral("I'm the only one left on the list!"), this);
    ok->setObjectName(QStringLiteral("cmdOKButton"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("I don't really want to do this now."), this);
    cancel->setObjectName(QStringLiteral("cmdCancelButton"));
    cancel->setVisible(offerCancel);
    connect(ok, &QPushButton::clicked, this, &frmCurrentUsers::okClicked);
    connect(cancel, &QPushButton::clicked, this, &frmCurrentUsers::cancelClicked);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(5000);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_timer->stop();
        refresh();
        m_timer->start();
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list, 1);
    layout->addWidget(ok);
    layout->addWidget(cancel);
    resize(400, 320);

    refresh();
    m_session.currentUsersCancelled = true;
    m_timer->start();
}

bool frmCurrentUsers::ask(Session &session, bool offerCancel, QWidget *parent)
{
    frmCurrentUsers window(session, offerCancel, parent);
    window.exec();
    return !session.currentUsersCancelled;
}

void frmCurrentUsers::refresh()
{
    const QStringList names =
        CurrentUsersFile(m_session.paths().inWorkingFolder(QStringLiteral("CURUSERS.DAT"))).currentUsers();
    m_list->clear();
    m_list->addItems(names);
    m_list->repaint();
}

void frmCurrentUsers::okClicked()
{
    m_timer->stop();
    m_session.currentUsersCancelled = false;
    accept();
}

void frmCurrentUsers::cancelClicked()
{
    m_timer->stop();
    m_session.currentUsersCancelled = true;
    QDialog::reject();
}

void frmCurrentUsers::reject()
{
    if (m_offerCancel)
        cancelClicked();
}
