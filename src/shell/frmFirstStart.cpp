#include "frmFirstStart.h"

#include "DatabaseSetup.h"
#include "foundation/Session.h"
#include "foundation/SqlDialect.h"
#include "widgets/DialogButtons.h"
#include "widgets/WaitCursor.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
const QString kFilter = QStringLiteral("Production databases (*.mdb *.db *.sqlite);;All files (*)");
}

frmFirstStart::frmFirstStart(Session &session, const QString &missingPath, QWidget *parent)
    : QDialog(parent), m_session(session), m_newPath(DatabaseSetup::samplePath(session.paths()))
{
    setObjectName(QStringLiteral("frmFirstStart"));
    setWindowTitle(QStringLiteral("Kelvara - Production Database"));

    const QString introText =
        missingPath.isEmpty()
            ? QStringLiteral("No production database is set up for Kelvara on this workstation "
                             "yet.  Choose the database to work with:")
            : QStringLiteral("The production database \u201C%1\u201D could not be found.  If it is on a "
                             "network drive, check that the drive is connected and start Kelvara again; "
                             "otherwise choose the database to work with:")
                  .arg(missingPath);
    auto *intro = new QLabel(introText, this);
    intro->setObjectName(QStringLiteral("Label1"));
    intro->setWordWrap(true);
    m_empty = new QRadioButton(QStringLiteral("Create a &new, empty production database"), this);
    m_empty->setObjectName(QStringLiteral("optNewEmpty"));
    m_sample =
        new QRadioButton(QStringLiteral("Create a new production database with a &sample plant"), this);
    m_sample->setObjectName(QStringLiteral("optNewSample"));
    auto *existing = new QRadioButton(QStringLiteral("Use an &existing production database file"), this);
    existing->setObjectName(QStringLiteral("optExisting"));
    m_server = new QRadioButton(QStringLiteral("Use a production database on a database se&rver"), this);
    m_server->setObjectName(QStringLiteral("optServer"));
    m_empty->setChecked(true);
    for (QRadioButton *option : {m_empty, m_sample, existing, m_server})
        connect(option, &QRadioButton::toggled, this, &frmFirstStart::choiceChanged);

    m_pathLabel = new QLabel(QStringLiteral("&File:"), this);
    auto *pathLabel = m_pathLabel;
    m_path = new QLineEdit(m_newPath, this);
    m_path->setObjectName(QStringLiteral("txtPath"));
    m_path->setMinimumWidth(460);
    pathLabel->setBuddy(m_path);
    auto *browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    m_browse = browse;
    connect(browse, &QPushButton::clicked, this, &frmFirstStart::browse);

    const DialogButtons buttons(this);
    connect(buttons.ok, &QPushButton::clicked, this, &frmFirstStart::accept);
    connect(buttons.cancel, &QPushButton::clicked, this, &frmFirstStart::reject);

    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(browse);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_empty);
    layout->addWidget(m_sample);
    layout->addWidget(existing);
    layout->addWidget(m_server);
    layout->addSpacing(8);
    layout->addLayout(pathRow);
    layout->addStretch();
    layout->addLayout(buttons.row);
}

bool frmFirstStart::createsNew() const
{
    return m_empty->isChecked() || m_sample->isChecked();
}

void frmFirstStart::choiceChanged()
{
    // A server is named by its address; its database is made there by the server's administrator.
    const bool server = m_server->isChecked();
    m_pathLabel->setText(server ? QStringLiteral("&Address:") : QStringLiteral("&File:"));
    m_path->setPlaceholderText(server ? QStringLiteral("postgresql://server/kelvara") : QString());
    m_browse->setEnabled(!server);
    if (server && !SqlDialect::isServerName(m_path->text()))
        m_path->clear();
    // A new file is proposed in the user's data folder; an existing one has to be picked.
    if (createsNew() && m_path->text().isEmpty())
        m_path->setText(m_newPath);
    else if (!createsNew() && m_path->text() == m_newPath)
        m_path->clear();
}

void frmFirstStart::browse()
{
    const QString path = createsNew()
                             ? QFileDialog::getSaveFileName(this, QStringLiteral("New Production Database"),
                                                            m_path->text(), kFilter)
                             : QFileDialog::getOpenFileName(this, QStringLiteral("Production Database"),
                                                            m_path->text(), kFilter);
    if (!path.isEmpty())
        m_path->setText(path);
}

void frmFirstStart::accept()
{
    const QString path = m_path->text().trimmed();
    if (m_server->isChecked() && !SqlDialect::isServerName(path)) {
        m_session.prompter().tell(QStringLiteral("A database server's address begins with postgresql://, "
                                                 "for example postgresql://server/kelvara."),
                                  programTitle(), MsgIcon::Exclamation);
        return;
    }
    QString failure;
    {
        WaitCursor wait;
        failure = createsNew() ? DatabaseSetup::create(m_session, path, m_sample->isChecked())
                               : DatabaseSetup::useExisting(m_session, path);
    }
    if (!failure.isEmpty()) {
        m_session.prompter().tell(failure, programTitle(), MsgIcon::Exclamation);
        return;
    }
    QDialog::accept();
}
