#include "LineWindow.h"

#include "CountEntryDelegate.h"
#include "HistoryButton.h"
#include "KeepTyped.h"

#include "foundation/KelvaraError.h"
#include "foundation/Session.h"
#include "widgets/EntryModel.h"

#include <QPushButton>
#include <QTableView>
#include <QTimer>

QPushButton *LineWindow::makeHistoryCommand(QWidget *parent)
{
    QPushButton *button = makeHistoryButton(session().securityLevel, parent);
    connectCommand(button, [this] {
        if (const qint64 jobId = currentJobId(); jobId != 0)
            emit historyRequested(jobId);
    });
    return button;
}

void LineWindow::setEntryGrid(QTableView *grid, CountEntryDelegate *delegate, EntryModel *model,
                              std::function<void()> reread)
{
    m_entryDelegate = delegate;
    connect(model, &EntryModel::keepTyped, this,
            [grid, delegate](const QModelIndex &index, const QString &text) {
                KeepTyped::reopen(grid, delegate, index, text);
            });
    rereadOnEditorClose(delegate, std::move(reread));
}

void LineWindow::rereadOnEditorClose(QAbstractItemDelegate *delegate, std::function<void()> reread)
{
    // Read once the editor is gone, so that the row is no longer the one typed into (and so does
    // the next cell's editor on the row, opened unchanged).
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, [this, reread = std::move(reread)] {
        if (m_heldBack)
            QTimer::singleShot(0, this, reread);
    });
}

bool LineWindow::tryReread(const std::function<void()> &read)
{
    try {
        read();
    } catch (const KelvaraError &) {
        return false;
    }
    return true;
}

bool LineWindow::hasUnsavedEntry() const
{
    return m_entryDelegate && m_entryDelegate->hasModifiedEditor();
}

void LineWindow::discardUnsavedEntry()
{
    if (m_entryDelegate)
        m_entryDelegate->discardEditor();
}
