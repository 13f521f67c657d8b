#pragma once

#include "widgets/DataWindow.h"

#include <functional>

class CountEntryDelegate;
class QAbstractItemDelegate;
class QPushButton;
class QTableView;

// The base of the windows over the job lines of the shop floor. Their "History..." asks for the
// history of the current line (the caller opens the History window). Their entry grid is typed
// into through a CountEntryDelegate: what its open editor holds and has not stored is the
// window's unsaved entry, a save that failed reopens the cell with the text typed, and a row a
// re-read held back while it was typed into shows what is stored once its editor closes.
class LineWindow : public DataWindow
{
    Q_OBJECT

public:
    using DataWindow::DataWindow;

signals:
    // The history of the current line is to be shown.
    void historyRequested(qint64 jobId);

protected:
    // The Job ID of the current line; 0 while there is none (or it is not stored yet).
    virtual qint64 currentJobId() const { return 0; }
    // "History..." (shown only to the levels that may see a line's history): its click asks for
    // the current line's history.
    QPushButton *makeHistoryCommand(QWidget *parent);

    // The grid typed into, its editor and its model; reread as for rereadOnEditorClose.
    void setEntryGrid(QTableView *grid, CountEntryDelegate *delegate, EntryModel *model,
                      std::function<void()> reread);
    CountEntryDelegate *entryDelegate() const { return m_entryDelegate; }
    // Once an editor of the delegate closes on a row held back (see setHeldBack), reread shows
    // what is stored.
    void rereadOnEditorClose(QAbstractItemDelegate *delegate, std::function<void()> reread);
    // Whether the last re-read held back the row under the open editor.
    void setHeldBack(bool heldBack) { m_heldBack = heldBack; }
    // Runs a re-read of what other workstations may have changed; false when the database was
    // busy (it is read again at the next change noted).
    static bool tryReread(const std::function<void()> &read);
    bool hasUnsavedEntry() const override;
    void discardUnsavedEntry() override;

private:
    CountEntryDelegate *m_entryDelegate = nullptr;
    bool m_heldBack = false;
};
