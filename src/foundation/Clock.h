#pragma once

#include <QDate>
#include <QDateTime>

// The time of day drives edit rights, the greeting, the date check and lock ages; everything that
// reads it goes through a Clock so that tests can set it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
