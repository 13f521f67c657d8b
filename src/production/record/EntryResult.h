#pragma once

#include "foundation/DatabaseError.h"
#include "foundation/Prompter.h"

#include <QString>

// What became of one thing a user typed or pressed in a ticket or rejects window. A refused
// entry leaves the stored value as it was; a save that failed for a while (another workstation
// writing) also keeps the user's text in the cell so nothing typed is lost. The user reads what
// happened in the plant's words; the statement and the engine's text go to the error log only.
struct EntryResult
{
    bool stored = false;
    QString message; // what the user is told; empty when there is nothing to tell
    QString title = programTitle();
    MsgIcon icon = MsgIcon::Exclamation;
    MsgButtons buttons = MsgButtons::Ok;
    bool keepText = false;
    // The failure as the error log keeps it (with the statement); empty when nothing is logged.
    QString logText;
    // The date-shift was protected on another workstation: the window reads it again and shows
    // it read-only, rather than refusing each later entry.
    bool protectionMet = false;

    static EntryResult ok() { return {true, {}}; }
    // A message box of its own, as the delete errors and the reason check show them.
    static EntryResult box(const QString &message, const QString &title, MsgIcon icon)
    {
        return {false, message, title, icon, MsgButtons::OkCancel};
    }
    static EntryResult refused(const QString &message) { return {false, message}; }
    // A delete the database refused, with its reason and number; `stillReferred` tells why a row
    // that other rows refer to cannot go.
    static EntryResult deleteRefused(const KelvaraError &error, const QString &stillReferred = {})
    {
        if (error.number() == DbErrors::Protected)
            return protectedBy(error);
        QString reason = error.number() == DbErrors::HasRelated && !stillReferred.isEmpty()
                             ? stillReferred
                             : error.description();
        if (reason.endsWith('.'))
            reason.chop(1); // the error code follows
        EntryResult result =
            box(QStringLiteral("This record cannot be deleted for the following reason:\n%1; Error Code: %2")
                    .arg(reason)
                    .arg(error.number()),
                QStringLiteral("Delete Error"), MsgIcon::Critical);
        result.logText = error.logText();
        return result;
    }
    static EntryResult failed(const KelvaraError &error)
    {
        // A refusal of protection can never succeed: saying "try again" would mislead.
        if (error.number() == DbErrors::Protected)
            return protectedBy(error);
        EntryResult result{false,
                           QStringLiteral("The change was not saved:\n%1\n\nYour entry is still in its cell.")
                               .arg(error.description())};
        result.keepText = true;
        result.logText = error.logText();
        return result;
    }
    // The row was changed or removed on another workstation since it was read.
    static EntryResult stale()
    {
        return refused(QStringLiteral("This row was changed or removed on another workstation since it was "
                                      "read. It has been read again; please check it and enter your change "
                                      "again if it is still needed."));
    }
    static EntryResult protectedLine()
    {
        EntryResult result = refused(QStringLiteral("This job line is protected: its tickets and rejects "
                                                    "cannot be changed."));
        result.protectionMet = true;
        return result;
    }
    // The database refused the write: a line it touches was protected meanwhile.
    static EntryResult protectedBy(const KelvaraError &error)
    {
        EntryResult result = refused(error.description());
        result.protectionMet = true;
        return result;
    }
};
