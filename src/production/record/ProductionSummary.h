#pragma once

#include <QString>
#include <QVariant>

class ClassIdGenerator;

// One job line's figures that are not stored on the line: transfer, hold and rework totals from
// the tickets, and the net finished goods and rejects the counts grid computes.
class ProductionSummary
{
public:
    ProductionSummary(QString key, ClassIdGenerator &ids);

    const QString &Key() const { return m_key; }
    qint32 ClassDebugID() const { return m_classDebugId; }

    qint32 Transfers() const { return m_transfers; }
    qint32 FromRework() const { return m_fromRework; }
    qint32 ToHold() const { return m_toHold; }
    qint32 Rejects() const { return m_rejects; }
    qint32 NetFinishedGoods() const { return m_netFinishedGoods; }

    // The setters take whatever the database or the grid hands over; a value that is not a whole
    // number within the 32-bit range raises the class error ("ProductionSummary:<member> Property
    // Let") rather than being cut.
    void setTransfers(const QVariant &value);
    void setFromRework(const QVariant &value);
    void setToHold(const QVariant &value);
    void setRejects(const QVariant &value);
    void setNetFinishedGoods(const QVariant &value);

private:
    static qint32 checked(const QVariant &value, const char *member);

    QString m_key;
    qint32 m_classDebugId;
    qint32 m_transfers = 0;
    qint32 m_fromRework = 0;
    qint32 m_toHold = 0;
    qint32 m_rejects = 0;
    qint32 m_netFinishedGoods = 0;
};
