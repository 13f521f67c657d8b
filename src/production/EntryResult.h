#pragma once

#include "foundation/KelvaraError.h"
#include "foundation/Prompter.h"

#include <QString>

// What became of one thing a user typed or pressed in a ticket or rejects window. A refused
// entry leaves the stored value as it was; a failed save (locked by another workstation, refused
// by the database) also keeps the user's text in the cell so nothing typed is lost.
struct EntryResult
{
    bool stored = false;
    QString message; // what the user is told; empty when there is nothing to tell
    QString title = programTitle();
    MsgIcon icon = MsgIcon::Exclamation;
    MsgButtons buttons = MsgButtons::Ok;
    bool keepText = false;

    static EntryResult ok() { return {true, {}}; }
    // A message box of its own, as the delete errors and the reason check show them.
    static EntryResult box(const QString &message, const QString &title, MsgIcon icon)
    {
        return {false, message, title, icon, MsgButtons::OkCancel};
    }
    static EntryResult refused(const QString &message) { return {false, message}; }
    // A delete the database refused, with its reason and number.
    static EntryResult deleteRefused(const KelvaraError &error)
    {
        return box(
            QStringLiteral("This record cannot be deleted for the following reason:\n%1; Error Code: %2")
                .arg(error.description())
                .arg(error.number()),
            QStringLiteral("Delete Error"), MsgIcon::Critical);
    }
    static EntryResult failed(const KelvaraError &error)
    {
        EntryResult result{false,
                           QStringLiteral("The change was not saved:\n%1\n\nYour entry is still in its cell; "
                                          "try again in a moment.")
                               .arg(error.description())};
        result.keepText = true;
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
        return refused(QStringLiteral("This job line is protected: its tickets and rejects cannot be "
                                      "changed."));
    }
};
