#include "SecurityWindows.h"

#include "frmSecurity.h"

#include "widgets/WindowRegistry.h"

void registerSecurityWindows(WindowRegistry &registry)
{
    registry.addWindow(
        {QStringLiteral("&SECURITY SETTINGS..."), loadableWindow<frmSecurity>, false, true, true});
}
