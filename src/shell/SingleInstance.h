#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One running copy per user on a workstation. The first copy listens on a local server named
// after the login name; a second copy finds it, sends "Activate" and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { First, Second };

    explicit SingleInstance(QString serverName, QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString serverNameFor(const QString &loginName);

    // Sends "Activate" to a running copy and gives Second; otherwise starts listening and gives
    // First.
    Role start();

signals:
    // A second copy asked this one to come up.
    void activateRequested();

private:
    bool sendActivate();
    void acceptConnections();
    void readCommand(QLocalSocket *socket);

    QString m_serverName;
    QLocalServer *m_server = nullptr;
};
