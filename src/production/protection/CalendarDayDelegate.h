#pragma once

#include <QStyledItemDelegate>

// Draws a calendar day in its own colours and the chosen day inside a frame, so that choosing a
// day never hides its protection colour.
class CalendarDayDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
