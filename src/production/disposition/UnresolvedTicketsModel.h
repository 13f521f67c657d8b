#pragma once

#include <QAbstractTableModel>
#include <functional>

class DispositionSheet;

// The ticket grid of the disposition window: the unresolved hold tickets with their line, read-
// only; "Hold Remaining" in the "Negative" and "Zero" styles. A page of them is read as the grid
// scrolls down to it.
class UnresolvedTicketsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    static QStringList captions();
    int columnOf(const QString &caption) const { return int(captions().indexOf(caption)); }
    void reset(DispositionSheet *sheet);
    // Runs a read of the next page, reporting its failure; false when it failed (no page is then
    // read again until the next reset).
    using StepRunner = std::function<bool(const std::function<void()> &)>;
    void setStepRunner(StepRunner run) { m_run = std::move(run); }
    // The selected ticket's figures changed.
    void ticketChanged(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    // The grid reads the tickets a page at a time, as it scrolls down to them.
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(int row, int column) const;

    DispositionSheet *m_sheet = nullptr;
    StepRunner m_run = [](const std::function<void()> &work) {
        work();
        return true;
    };
    bool m_stopped = false;
};
