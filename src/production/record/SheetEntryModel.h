#pragma once

#include "EntryResult.h"

#include "widgets/EntryModel.h"

// The base of the ticket, disposition and rejects grids: what a sheet answered to an entry is
// shown to the user, and a save that failed hands the typed text back to the window so that it
// stays in its cell.
class SheetEntryModel : public EntryModel
{
    Q_OBJECT

public:
    using EntryModel::EntryModel;

    // Tells the user what result says; true when the entry was stored.
    bool settle(const QModelIndex &index, const QString &typed, const EntryResult &result);

signals:
    // Something was stored: totals and buttons follow.
    void stored();
};
