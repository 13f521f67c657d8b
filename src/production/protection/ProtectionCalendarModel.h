#pragma once

#include <QAbstractTableModel>

class ProtectionCalendar;

// The calendar grid: six weeks of seven days, Sunday first, each day's number in the colours of
// its status and protection.
class ProtectionCalendarModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ProtectionCalendarModel(const ProtectionCalendar &calendar, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The calendar was rebuilt or a day changed.
    void refresh();

private:
    const ProtectionCalendar &m_calendar;
};
