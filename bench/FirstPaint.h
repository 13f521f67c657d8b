#pragma once

#include <QEvent>
#include <QObject>

// Notes the first paint of a widget (installed on a grid's viewport: its rows are on screen).
class FirstPaint : public QObject
{
public:
    bool seen = false;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        seen = seen || event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};
