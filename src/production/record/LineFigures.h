#pragma once

#include <QtGlobal>

class ProductionSummary;

// The figures of a line that are not stored on it: ticket totals from its summary and the two
// computed results. The counts window shows them; the rejects window splits the rejects by reason.
struct LineFigures
{
    qint64 transfers = 0;
    qint64 toHold = 0;
    qint64 fromRework = 0;
    qint64 netFinishedGoods = 0;
    qint64 rejects = 0;

    // From a line's three counts and its summary (null for a line without tickets).
    static LineFigures of(qint64 beginning, qint64 ending, qint64 matec, const ProductionSummary *summary);
    static qint64 netFinishedGoodsOf(qint64 beginning, qint64 ending, qint64 transfers);
    static qint64 rejectsOf(qint64 beginning, qint64 ending, qint64 matec, qint64 transfers,
                            qint64 fromRework, qint64 toHold);
};
