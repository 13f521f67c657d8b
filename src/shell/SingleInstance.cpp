#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>

namespace {
constexpr int kConnectMsecs = 1000;
const QByteArray kActivate = QByteArrayLiteral("Activate");
} // namespace

SingleInstance::SingleInstance(QString serverName, QObject *parent)
    : QObject(parent), m_serverName(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverNameFor(const QString &loginName)
{
    // A login name may hold characters a socket name cannot: use a digest of it.
    const QByteArray digest = QCryptographicHash::hash(loginName.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("kelvara-") + QString::fromLatin1(digest.left(16));
}

SingleInstance::Role SingleInstance::start()
{
    if (sendActivate())
        return Role::Second;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_serverName)) {
        // Either a copy started at the same moment, or a copy that died left its server file.
        if (sendActivate())
            return Role::Second;
        QLocalServer::removeServer(m_serverName);
        m_server->listen(m_serverName);
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return Role::First;
}

bool SingleInstance::sendActivate()
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(kConnectMsecs))
        return false;
    socket.write(kActivate);
    socket.waitForBytesWritten(kConnectMsecs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kConnectMsecs);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readCommand(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            readCommand(socket);
    }
}

void SingleInstance::readCommand(QLocalSocket *socket)
{
    QByteArray buffer = socket->property("command").toByteArray() + socket->readAll();
    // Commands are compared in upper case; anything else is ignored.
    if (buffer.trimmed().toUpper() == kActivate.toUpper()) {
        buffer.clear();
        emit activateRequested();
    } else if (buffer.size() > 64) {
        buffer.clear();
    }
    socket->setProperty("command", buffer);
}
