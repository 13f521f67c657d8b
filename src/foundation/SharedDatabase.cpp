#include "SharedDatabase.h"

#include "Session.h"

std::optional<Database> openSharedDatabase(Session &session, const QString &failureTitle, QObject *requester)
{
    for (;;) {
        try {
            return Database::open(session.options().DatabaseName());
        } catch (const DatabaseError &error) {
            if (error.number() == DbErrors::Damaged && session.repairDatabase(requester)) {
                continue;
            }
            session.prompter().tell(error.description(), failureTitle, MsgIcon::Information);
            return std::nullopt;
        }
    }
}
