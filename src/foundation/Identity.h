#pragma once

#include <QString>

// Who is logged in: the operating system's login name. Neither an environment variable nor a
// command-line flag can change it, because it is the key of the Security Table look-up.
class Identity
{
public:
    virtual ~Identity() = default;
    virtual QString userName() const = 0;
};

class SystemIdentity : public Identity
{
public:
    QString userName() const override;
};
