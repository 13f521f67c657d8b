#include "LineFigures.h"

#include "ProductionSummary.h"

LineFigures LineFigures::of(qint64 beginning, qint64 ending, qint64 matec, const ProductionSummary *summary)
{
    LineFigures figures;
    if (summary) {
        figures.transfers = summary->Transfers();
        figures.toHold = summary->ToHold();
        figures.fromRework = summary->FromRework();
    }
    figures.netFinishedGoods = netFinishedGoodsOf(beginning, ending, figures.transfers);
    figures.rejects =
        rejectsOf(beginning, ending, matec, figures.transfers, figures.fromRework, figures.toHold);
    return figures;
}

qint64 LineFigures::netFinishedGoodsOf(qint64 beginning, qint64 ending, qint64 transfers)
{
    return ending + transfers - beginning;
}

qint64 LineFigures::rejectsOf(qint64 beginning, qint64 ending, qint64 matec, qint64 transfers,
                              qint64 fromRework, qint64 toHold)
{
    return (matec + fromRework - toHold) - netFinishedGoodsOf(beginning, ending, transfers);
}
