#pragma once

#include "EntryResult.h"

#include "widgets/EntryModel.h"

#include <functional>

// The base of the ticket, disposition and rejects grids: their rows are those of a sheet, followed
// by key; what the sheet answered to an entry is shown to the user, and a save that failed hands
// the typed text back to the window so that it stays in its cell.
class SheetEntryModel : public EntryModel
{
    Q_OBJECT

public:
    using EntryModel::EntryModel;

    // Tells the user what result says; true when the entry was stored.
    bool settle(const QModelIndex &index, const QString &typed, const EntryResult &result);
    // The sheet read its rows again: rows come, go and change in place.
    void follow();

signals:
    // Something was stored: totals and buttons follow.
    void stored();

protected:
    // What a sheet tells of its rows: their keys in their order, and the row of a key (-1 while
    // it is gone). Empty for no sheet.
    struct SheetRows
    {
        std::function<QList<qint64>()> keys;
        std::function<int(qint64)> rowOf;
    };
    // The rows of sheet (none when it is null), told by two of its functions.
    template <class Sheet>
    static SheetRows rowsOf(const Sheet *sheet, QList<qint64> (Sheet::*keys)() const,
                            int (Sheet::*rowOf)(qint64) const)
    {
        if (!sheet)
            return {};
        return {[sheet, keys] { return (sheet->*keys)(); },
                [sheet, rowOf](qint64 key) { return (sheet->*rowOf)(key); }};
    }
    // Shows another sheet's rows: replace, run within the model's reset, puts the sheet in place.
    void showSheet(const std::function<void()> &replace, SheetRows rows);
    // The sheet's row of the model's row; -1 past the rows, or while it is gone.
    int sheetRow(int row) const;
    // The sheet's row an entry into the cell goes to; -1 when the entry is not taken: it is not
    // typed (another role), a message is up (see prompting), or its row is gone.
    int entryRow(const QModelIndex &index, int role) const
    {
        return role == Qt::EditRole && index.isValid() && !prompting() ? sheetRow(index.row()) : -1;
    }

private:
    SheetRows m_rows;
};
