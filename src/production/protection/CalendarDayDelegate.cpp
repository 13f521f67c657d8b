#include "CalendarDayDelegate.h"

#include <QBrush>
#include <QPainter>
#include <QPen>

void CalendarDayDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    // The day's colour fills the cell; its number keeps clear of the frame.
    painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QBrush>());
    QStyleOptionViewItem plain = option;
    const bool chosen = option.state & QStyle::State_Selected;
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    plain.rect = option.rect.adjusted(4, 4, -4, -4);
    QStyledItemDelegate::paint(painter, plain, index);
    if (!chosen)
        return;
    painter->save();
    painter->setPen(QPen(QColor(0, 0, 160), 3));
    painter->drawRect(option.rect.adjusted(2, 2, -2, -2));
    painter->restore();
}
