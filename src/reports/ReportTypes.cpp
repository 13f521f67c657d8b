#include "ReportTypes.h"

ReportType ReportTypes::of(int type)
{
    const QString counts = QStringLiteral("Production Counts Report Table");
    switch (type) {
    case ProductionCounts:
        return {type, 0, QStringLiteral("Print Preview - Production Counts Report"),
                QStringLiteral("zz Stage Production Counts Query"), counts};
    case TransferList:
        return {type, 1, QStringLiteral("Print Preview - Transfers List"),
                QStringLiteral("zz Stage Transfer List Query"), QStringLiteral("Transfer List Report Table")};
    case OnHold:
        return {type, 2, QStringLiteral("Print Preview - On Hold Report"),
                QStringLiteral("zz Stage On Hold Report Query"), QStringLiteral("On Hold Report Table")};
    case ProductionSummary:
        return {type, 4, QStringLiteral("Print Preview - Production Summary Report"),
                QStringLiteral("zz Stage Production Summary Report Query"),
                QStringLiteral("Production Summary Report Table")};
    case Rejects:
        return {type, 6, QStringLiteral("Print Preview - Rejects by Reason Report"),
                QStringLiteral("zz Stage Production Counts Query"), counts};
    case MissingHolds:
        return {type, 8, QStringLiteral("Print Preview - Missing Hold Tickets Report"), QString(),
                QStringLiteral("Holes Report")};
    case DailyCorvix:
        return {type, 9, QStringLiteral("Print Preview - Daily Corvix Report"),
                QStringLiteral("zz Stage Daily Corvix Report Query"), QStringLiteral("Daily Corvix Report")};
    case DailyVelmar:
        return {type, 10, QStringLiteral("Print Preview - Daily Velmar Report"),
                QStringLiteral("zz Stage Velmar Daily Report Query"), QStringLiteral("Velmar Daily Report")};
    default:
        return {};
    }
}

ReportType ReportTypes::rejectUpdate()
{
    return {Rejects, 7, QStringLiteral("Print Preview - Rejects by Reason Update"),
            QStringLiteral("zz Stage Reject Update Report Query"),
            QStringLiteral("Reject Update Report Table")};
}

QString ReportTypes::customerOf(int type)
{
    if (type == DailyCorvix)
        return QStringLiteral("Corvix");
    if (type == DailyVelmar)
        return QStringLiteral("Velmar");
    return {};
}

ReportType ReportTypes::securityProfile()
{
    return {0, -1, QStringLiteral("Print Preview - Security Profile"),
            QStringLiteral("zz Stage Security Profile Query"),
            QStringLiteral("Security Profile Report Table")};
}

QString ReportTypes::securityProfileFile()
{
    return QStringLiteral("secure.rpt");
}
