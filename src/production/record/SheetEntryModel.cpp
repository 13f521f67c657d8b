#include "SheetEntryModel.h"

bool SheetEntryModel::settle(const QModelIndex &index, const QString &typed, const EntryResult &result)
{
    if (result.stored) {
        emit stored();
        return true;
    }
    noteRefusal();
    if (!result.message.isEmpty())
        refuse({result.message, result.title, result.icon, result.buttons});
    logFailure(result.logText);
    if (result.protectionMet)
        emit protectionMet();
    if (result.keepText && index.isValid())
        emit keepTyped(index, typed);
    return false;
}
