#include "SecurityWindows.h"

#include "frmSecurity.h"

#include "widgets/MenuCommands.h"
#include "widgets/WindowRegistry.h"

void registerSecurityWindows(WindowRegistry &registry)
{
    registry.addWindow({.command = MenuCommands::Security.key(),
                        .create = loadableWindow<frmSecurity>,
                        .dataWindow = true,
                        .singleInstance = true});
}
