#pragma once

#include "ProductionSummary.h"

#include <QHash>
#include <memory>
#include <vector>

class Database;
struct DateShift;

// The summaries of one date-shift's lines, keyed by the Job ID text, in insertion order.
class ProductionSummaries
{
public:
    explicit ProductionSummaries(ClassIdGenerator &ids) : m_ids(ids) {}

    // Stores the new summary under sKey when sKey is not empty, else without a key.
    ProductionSummary &Add(const QString &key, qint32 netFinishedGoods = 0, qint32 rejects = 0,
                           qint32 toHold = 0, qint32 fromRework = 0, qint32 transfers = 0,
                           const QString &sKey = {});
    // Position from 1; throws when out of range.
    ProductionSummary &Item(int position);
    // Key that must exist; throws otherwise (use Search when it may not).
    ProductionSummary &Item(const QString &key);
    int Count() const { return int(m_items.size()); }
    void Remove(int position);
    void Remove(const QString &key);
    // The summary stored under sKey, or nullptr.
    ProductionSummary *Search(const QString &sKey);
    void Clear();

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    // Fills the cache for a date-shift from "JobIDs" and the three summary queries. Null totals
    // count as 0; a line without tickets gets no summary.
    void fill(const Database &db, const DateShift &dateShift);

private:
    ClassIdGenerator &m_ids;
    std::vector<std::unique_ptr<ProductionSummary>> m_items;
    QHash<QString, ProductionSummary *> m_byKey;
};
