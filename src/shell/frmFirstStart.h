#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Session;

// First start on a workstation with no production database named: create a new one (empty or
// with the sample plant, the current login authorized at level "C") or choose an existing file.
// It is offered too when the named file is missing (moved, or a network drive not there). A plant
// on a database server gives the server's address (postgresql://...) instead of a file.
class frmFirstStart : public QDialog
{
    Q_OBJECT

public:
    explicit frmFirstStart(Session &session, const QString &missingPath = {}, QWidget *parent = nullptr);

    void accept() override;

private:
    void browse();
    void choiceChanged();
    bool createsNew() const;

    Session &m_session;
    QRadioButton *m_empty = nullptr;
    QRadioButton *m_sample = nullptr;
    QRadioButton *m_server = nullptr;
    QLabel *m_pathLabel = nullptr;
    QPushButton *m_browse = nullptr;
    QLineEdit *m_path = nullptr;
    QString m_newPath;
};
