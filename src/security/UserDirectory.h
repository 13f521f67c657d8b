#pragma once

#include "NetworkUser.h"

#include <QList>

// Where the security window finds the users that may be authorized. The program reads the
// operating system's accounts; tests hand in a fixed list.
class UserDirectory
{
public:
    virtual ~UserDirectory() = default;
    // The accounts that can log in, by login name.
    virtual QList<NetworkUser> users() const = 0;
};
