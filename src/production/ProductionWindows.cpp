#include "ProductionWindows.h"

#include "frmJobList2.h"
#include "frmProductionCounts2.h"
#include "frmProtectDates2.h"

#include "widgets/WindowRegistry.h"

void registerProductionWindows(WindowRegistry &registry)
{
    registry.addWindow({QStringLiteral("&JOB LIST..."), loadableWindow<frmJobList2>, true, true});
    registry.addWindow(
        {QStringLiteral("&PRODUCTION COUNTS..."), loadableWindow<frmProductionCounts2>, true, true});
    registry.addWindow(
        {QStringLiteral("P&ROTECT DATA..."), loadableWindow<frmProtectDates2>, false, true, true});
}
