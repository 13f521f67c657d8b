#pragma once

#include <QString>

// The security levels a login may hold: "A" Production Supervisor, "B" Quality Assurance
// Inspector, "C" Quality Assurance Manager, "D" Reports-Only User. A database made before the
// Security Table checked its levels may hold anything else ("Cx", "c", ""); such a level grants
// nothing, so a login with it is refused rather than read by its first letter.
inline bool isSecurityLevel(const QString &level)
{
    return level == QLatin1String("A") || level == QLatin1String("B") || level == QLatin1String("C") ||
           level == QLatin1String("D");
}
