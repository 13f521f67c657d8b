#include "TicketKind.h"

TicketKind TicketKind::transfers()
{
    TicketKind kind;
    kind.table = QStringLiteral("Transfer Table");
    kind.idField = QStringLiteral("Transfer ID");
    kind.numberField = QStringLiteral("Transfer Number");
    kind.quantityField = QStringLiteral("Transfer Quantity");
    kind.windowName = QStringLiteral("frmTransfer2");
    kind.title = QStringLiteral("Finished Goods/Work in Process Transfers");
    kind.frameName = QStringLiteral("fraXfers");
    kind.frameCaption = QStringLiteral("Transfers for ");
    kind.emptyFrameCaption = QStringLiteral("Transfers For");
    kind.gridName = QStringLiteral("tblXfers");
    kind.buttonNoun = QStringLiteral("Transfer");
    kind.totalLabelName = QStringLiteral("lblTotalTransfers");
    kind.ticketsSection = QStringLiteral("TRANSFERS");
    kind.linesSection = QStringLiteral("XFERSHIFTDATA");
    kind.noTicketsToDelete =
        QStringLiteral("There are no transfers to delete.  Please add one or more before "
                       "attempting to delete.");
    return kind;
}

TicketKind TicketKind::holds()
{
    TicketKind kind;
    kind.table = QStringLiteral("Hold Table");
    kind.idField = QStringLiteral("Hold Ticket ID");
    kind.numberField = QStringLiteral("Hold Ticket Number");
    kind.quantityField = QStringLiteral("Hold Quantity");
    kind.hasRemaining = true;
    kind.windowName = QStringLiteral("frmOnHold2");
    kind.title = QStringLiteral("Production On Hold");
    kind.frameName = QStringLiteral("fraHolds");
    kind.frameCaption = QStringLiteral("Holds for ");
    kind.emptyFrameCaption = QStringLiteral("Holds For");
    kind.gridName = QStringLiteral("tblHolds");
    kind.buttonNoun = QStringLiteral("Hold");
    kind.totalLabelName = QStringLiteral("lblTotalHolds");
    kind.ticketsSection = QStringLiteral("ONHOLDS");
    kind.linesSection = QStringLiteral("ONHOLDSHIFTDATA");
    kind.noTicketsToDelete =
        QStringLiteral("There are no holds to delete.  Please add one or more before attempting to delete.");
    kind.stillReferred = QStringLiteral("This hold ticket has distribution rows. Delete those first.");
    kind.refreshTimer = true;
    return kind;
}
