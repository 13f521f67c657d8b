#pragma once

#include <QString>

// What tells the transfer tickets and the hold tickets apart: the same line and ticket window is
// built over either table. Holds carry a remaining quantity that follows the quantity.
struct TicketKind
{
    QString table;         // "Transfer Table"
    QString idField;       // the table's counter key
    QString numberField;   // "Transfer Number"
    QString quantityField; // "Transfer Quantity"
    bool hasRemaining = false;

    // The window's names and texts.
    QString windowName;   // "frmTransfer2"
    QString title;        // "Finished Goods/Work in Process Transfers"
    QString frameName;    // "fraXfers"
    QString frameCaption; // "Transfers for " + job number + " - " + description
    QString emptyFrameCaption;
    QString gridName;   // "tblXfers"
    QString buttonNoun; // "Transfer": "&Add Transfer", cmdAddTransfer ...
    QString totalLabelName;
    QString ticketsSection; // column widths of the ticket grid
    QString linesSection;   // column widths of the line grid
    QString noTicketsToDelete;
    // Why a ticket that other rows still refer to cannot be deleted.
    QString stillReferred = QStringLiteral("Other records still refer to this ticket. Delete those first.");
    bool refreshTimer = false;

    static TicketKind transfers();
    static TicketKind holds();
};
