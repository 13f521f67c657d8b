#include "ProtectionCalendarModel.h"

#include "ProtectionCalendar.h"

#include <QBrush>
#include <QFont>
#include <QLocale>
#include <QPalette>

namespace {
QString shiftText(ShiftState state)
{
    switch (state) {
    case ShiftState::Protected:
        return QObject::tr("protected");
    case ShiftState::Open:
        return QObject::tr("not protected");
    case ShiftState::NoLines:
        break;
    }
    return QObject::tr("no lines");
}

QVariant textColour(DayStatus status)
{
    switch (status) {
    case DayStatus::OtherMonth:
    case DayStatus::Future:
        return QBrush(QPalette().color(QPalette::Disabled, QPalette::WindowText));
    case DayStatus::Today:
        return QBrush(QColor(0, 0, 255));
    case DayStatus::Past:
    case DayStatus::Recent:
        break;
    }
    return QBrush(Qt::black);
}

QVariant background(DayColour colour)
{
    switch (colour) {
    case DayColour::Protected:
        return QBrush(QColor(0, 255, 0));
    case DayColour::OpenPast:
        return QBrush(QColor(255, 0, 0));
    case DayColour::OpenToday:
        return QBrush(QColor(255, 255, 0));
    case DayColour::Plain:
        break;
    }
    return QBrush(QPalette().color(QPalette::Base));
}
} // namespace

ProtectionCalendarModel::ProtectionCalendarModel(const ProtectionCalendar &calendar, QObject *parent)
    : QAbstractTableModel(parent), m_calendar(calendar)
{
}

int ProtectionCalendarModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ProtectionCalendar::Rows;
}

int ProtectionCalendarModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ProtectionCalendar::Columns;
}

QVariant ProtectionCalendarModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const CalendarDay &day = m_calendar.day(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return QString::number(day.date.day());
    case Qt::ForegroundRole:
        return textColour(day.status);
    case Qt::BackgroundRole:
        return background(m_calendar.colourOf(index.row(), index.column()));
    case Qt::FontRole: {
        QFont font;
        font.setPointSizeF(font.pointSizeF() * 1.3);
        font.setBold(day.status == DayStatus::Today);
        font.setItalic(day.status == DayStatus::Future);
        return font;
    }
    case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignLeft | Qt::AlignTop);
    case Qt::ToolTipRole:
        return QLocale().toString(day.date, QLocale::LongFormat) +
               tr("\nFirst shift: %1\nSecond shift: %2\nThird shift: %3")
                   .arg(shiftText(day.shift(1)), shiftText(day.shift(2)), shiftText(day.shift(3)));
    default:
        return {};
    }
}

QVariant ProtectionCalendarModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    // Sunday first: Qt counts Monday 1 .. Sunday 7.
    return QLocale().dayName(section == 0 ? 7 : section, QLocale::LongFormat);
}

Qt::ItemFlags ProtectionCalendarModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void ProtectionCalendarModel::refresh()
{
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}
