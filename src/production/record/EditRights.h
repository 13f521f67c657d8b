#pragma once

#include "foundation/DateShift.h"

#include <QDateTime>
#include <QString>

// Who may change the counter readings of a date-shift, and when. Level "C" (the quality
// assurance manager) may always update and may correct beginning counts. Every other level is
// kept to the shift that is running or has just ended, by the time of day: a reading typed a
// day late would silently change figures that were already reported.
struct EditRights
{
    bool beginningCountEditable = false;
    bool updateAllowed = false;

    static EditRights evaluate(const QString &securityLevel, const DateShift &dateShift,
                               const QDateTime &now);

    bool operator==(const EditRights &) const = default;
};
