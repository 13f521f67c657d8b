#include "ProductionSummaries.h"

#include "foundation/Database.h"
#include "foundation/DateShift.h"

#include <QSqlQuery>
#include <stdexcept>

ProductionSummary &ProductionSummaries::Add(const QString &key, qint32 netFinishedGoods, qint32 rejects,
                                            qint32 toHold, qint32 fromRework, qint32 transfers,
                                            const QString &sKey)
{
    if (!sKey.isEmpty() && m_byKey.contains(sKey))
        throw std::invalid_argument("a summary with this key exists already");
    auto summary = std::make_unique<ProductionSummary>(key, m_ids);
    summary->setNetFinishedGoods(netFinishedGoods);
    summary->setRejects(rejects);
    summary->setToHold(toHold);
    summary->setFromRework(fromRework);
    summary->setTransfers(transfers);
    ProductionSummary &added = *summary;
    m_items.push_back(std::move(summary));
    if (!sKey.isEmpty())
        m_byKey.insert(sKey, &added);
    return added;
}

ProductionSummary &ProductionSummaries::Item(int position)
{
    if (position < 1 || position > Count())
        throw std::out_of_range("no summary at this position");
    return *m_items[size_t(position - 1)];
}

ProductionSummary &ProductionSummaries::Item(const QString &key)
{
    ProductionSummary *found = Search(key);
    if (!found)
        throw std::out_of_range("no summary with this key");
    return *found;
}

void ProductionSummaries::Remove(int position)
{
    ProductionSummary &item = Item(position);
    m_byKey.remove(m_byKey.key(&item));
    m_items.erase(m_items.begin() + (position - 1));
}

void ProductionSummaries::Remove(const QString &key)
{
    ProductionSummary *item = &Item(key);
    m_byKey.remove(key);
    std::erase_if(m_items, [item](const auto &p) { return p.get() == item; });
}

ProductionSummary *ProductionSummaries::Search(const QString &sKey)
{
    return m_byKey.value(sKey, nullptr);
}

void ProductionSummaries::Clear()
{
    m_byKey.clear();
    m_items.clear();
}

void ProductionSummaries::fill(const Database &db, const DateShift &dateShift)
{
    QSqlQuery ids = db.execSaved(QStringLiteral("JobIDs"), {{QStringLiteral("dt"), dateShift.sqlDate()},
                                                            {QStringLiteral("sh"), dateShift.shift}});
    QVariant first, last;
    if (ids.next()) {
        first = ids.value(QStringLiteral("MinJobID"));
        last = ids.value(QStringLiteral("MaxJobID"));
    }
    const QVariantMap range{{QStringLiteral("FirstJID"), first}, {QStringLiteral("LastJID"), last}};
    QSqlQuery transfers = db.execSaved(QStringLiteral("Transfer Summary"), range);
    QSqlQuery holds = db.execSaved(QStringLiteral("Hold Summary"), range);
    QSqlQuery rework = db.execSaved(QStringLiteral("From Rework Summary"), range);

    Clear();
    while (transfers.next()) {
        const QString key = transfers.value(QStringLiteral("Job ID")).toString();
        ProductionSummary &summary = Add(key, 0, 0, 0, 0, 0, key);
        const QVariant total = transfers.value(QStringLiteral("xfers"));
        if (!total.isNull())
            summary.setTransfers(total);
    }
    auto addUp = [this](QSqlQuery &query, const QString &field, auto get, auto set) {
        while (query.next()) {
            const QString key = query.value(QStringLiteral("Job ID")).toString();
            ProductionSummary *summary = Search(key);
            if (!summary)
                summary = &Add(key, 0, 0, 0, 0, 0, key);
            const QVariant total = query.value(field);
            (summary->*set)(total.isNull() ? qlonglong(0) : (summary->*get)() + total.toLongLong());
        }
    };
    addUp(holds, QStringLiteral("Holds"), &ProductionSummary::ToHold, &ProductionSummary::setToHold);
    addUp(rework, QStringLiteral("Rework"), &ProductionSummary::FromRework,
          &ProductionSummary::setFromRework);
}
