#pragma once

#include "Database.h"

#include <optional>

class Session;

// Opens the production database named by the DatabaseName option, as every window does at its
// load. A damaged file (3049) runs the corrupt-database repair and the open is tried again; any
// other failure is shown with the engine's text, the information icon and the given title, and
// gives no database.
// requester: the window opening it, which the repair does not close.
std::optional<Database>
openSharedDatabase(Session &session, const QString &failureTitle = QStringLiteral("Database Access Error"),
                   QObject *requester = nullptr);
