#pragma once

#include <QAbstractTableModel>

class DispositionSheet;

// The ticket grid of the disposition window: the unresolved hold tickets with their line, read-
// only; "Hold Remaining" in the "Negative" and "Zero" styles.
class UnresolvedTicketsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    static QStringList captions();
    int columnOf(const QString &caption) const { return int(captions().indexOf(caption)); }
    void reset(const DispositionSheet *sheet);
    // The selected ticket's figures changed.
    void ticketChanged(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(int row, int column) const;

    const DispositionSheet *m_sheet = nullptr;
};
