#include "ToolWindows.h"

#include "frmCheckSheet.h"
#include "frmColorFeeder.h"

#include "widgets/WindowRegistry.h"

void registerToolWindows(WindowRegistry &registry)
{
    // Neither counts as a data window: the Database menu closes them before it replaces the file.
    registry.addWindow(
        {QStringLiteral("&COLOR FEEDER CALIBRATION..."), loadableWindow<frmColorFeeder>, false, false, true});
    registry.addWindow({QStringLiteral("&VIEW/EDIT QA CHECK SHEETS..."), loadableWindow<frmCheckSheet>, false,
                        false, false});
}
