#include "ChangeWatch.h"

#include "Database.h"
#include "KelvaraError.h"

#include <QSqlDriver>

ChangeWatch::ChangeWatch(Database &db, QObject *parent) : QObject(parent), m_db(db)
{
    if (m_db.dialect().isServer()) {
        QSqlDriver *driver = m_db.connection().driver();
        m_listening = driver->subscribeToNotification(channel());
        connect(driver, &QSqlDriver::notification, this,
                [this](const QString &name, QSqlDriver::NotificationSource source, const QVariant &payload) {
                    if (name != channel() || source == QSqlDriver::SelfSource)
                        return;
                    const QString text = payload.toString();
                    const qsizetype bar = text.indexOf(QLatin1Char('|'));
                    emit changed(bar < 0 ? text : text.left(bar), bar < 0 ? QString() : text.mid(bar + 1));
                });
        return;
    }
    poll();
    m_timer.setInterval(pollMsecs);
    connect(&m_timer, &QTimer::timeout, this, &ChangeWatch::poll);
    m_timer.start();
}

ChangeWatch::~ChangeWatch()
{
    if (m_listening)
        m_db.connection().driver()->unsubscribeFromNotification(channel());
}

void ChangeWatch::poll()
{
    if (m_db.dialect().isServer())
        return;
    qint64 version = -1;
    try {
        version = m_db.scalar(QStringLiteral("PRAGMA data_version")).toLongLong();
    } catch (const KelvaraError &) {
        return; // the file busy a moment: asked again at the next tick
    }
    const bool changedElsewhere = m_version >= 0 && version != m_version;
    m_version = version;
    if (changedElsewhere)
        emit changed({}, {});
}
