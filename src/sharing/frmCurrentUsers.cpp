#include "frmCurrentUsers.h"

#include "CurrentUsersFile.h"
#include "ServerPresence.h"
#include "SharedFiles.h"
#include "foundation/Session.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

frmCurrentUsers::frmCurrentUsers(Session &session, bool offerCancel, QWidget *parent)
    : QDialog(parent), m_session(session), m_offerCancel(offerCancel),
      m_onServer(SqlDialect::isServerName(session.options().DatabaseName()))
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
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstCurUsers"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    if (m_onServer)
        m_list->setHeaderLabels({QStringLiteral("User"), QStringLiteral("Machine"), QStringLiteral("Since")});
    else
        m_list->setHeaderLabels({QStringLiteral("User")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

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
    // However small it is made, the text shows its every line and the list its names: the minimum
    // height is the layout's at the minimum width, with the text wrapped.
    const int minimumWidth = 400;
    setMinimumSize(minimumWidth, layout->totalHeightForWidth(minimumWidth));
    resize(m_onServer ? 520 : minimumWidth, 320);

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
    QList<QStringList> rows;
    if (m_onServer) {
        rows = serverRows();
    } else {
        const SharedFiles files(m_session.paths(), m_session.options().DatabaseName());
        for (const QString &name : files.currentUsers())
            rows << QStringList{name};
    }
    m_list->clear();
    for (const QStringList &row : std::as_const(rows))
        m_list->addTopLevelItem(new QTreeWidgetItem(row));
    m_list->repaint();
}

QList<QStringList> frmCurrentUsers::serverRows()
{
    QList<QStringList> rows;
    try {
        if (!m_server)
            m_server = Database::open(m_session.options().DatabaseName(), Database::ReadOnly);
        for (const ServerSession &session : ServerPresence::currentSessions(*m_server)) {
            // A login without the right to read other logins' sessions is not shown where they are.
            const QString unknown = QStringLiteral("(not shown to your login)");
            rows << QStringList{session.login, session.machine.isEmpty() ? unknown : session.machine,
                                session.since.isValid()
                                    ? QLocale().toString(session.since.toLocalTime(), QLocale::ShortFormat)
                                    : unknown};
        }
    } catch (const DatabaseError &error) {
        // Tried again at the next refresh, on a new connection.
        m_server.reset();
        rows << QStringList{QStringLiteral("The list cannot be read from the server: ") +
                            error.description()};
    }
    return rows;
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
