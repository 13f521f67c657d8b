#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class Database;

// Learns that another connection stored a change in the production database, so that a window
// can show it without any action of its user.
//  - On a file it asks the window's connection for "PRAGMA data_version" every pollMsecs: the
//    number changes when another connection or process commits, and stays when this one does.
//    The file does not say what changed: table and date-shift come empty.
//  - On a server the tables' triggers notify the channel after commit, naming the table and the
//    date-shift of the row; the connection listens, and its own notifications are left out.
class ChangeWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int pollMsecs = 2000;
    static QString channel() { return QStringLiteral("kelvara_change"); }

    explicit ChangeWatch(Database &db, QObject *parent = nullptr);
    ~ChangeWatch() override;

    // Asks the file now (the timer does every pollMsecs); on a server it does nothing.
    void poll();

signals:
    // table: as the schema names it; dateShift: "yyyy-MM-dd|shift", empty where the row has none.
    void changed(const QString &table, const QString &dateShift);

private:
    Database &m_db;
    QTimer m_timer;
    qint64 m_version = -1;
    bool m_listening = false;
};
