#include "ToolWindows.h"

#include "frmColorFeeder.h"

#include "widgets/WindowRegistry.h"

void registerToolWindows(WindowRegistry &registry)
{
    registry.addWindow(
        {QStringLiteral("&COLOR FEEDER CALIBRATION..."), loadableWindow<frmColorFeeder>, false, false, true});
}
