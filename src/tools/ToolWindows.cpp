#include "ToolWindows.h"

#include "frmCheckSheet.h"
#include "frmColorFeeder.h"

#include "widgets/MenuCommands.h"
#include "widgets/WindowRegistry.h"

void registerToolWindows(WindowRegistry &registry)
{
    // Neither counts as a data window: the Database menu closes them before it replaces the file.
    registry.addWindow({.command = MenuCommands::ColorFeeder.key(),
                        .create = loadableWindow<frmColorFeeder>,
                        .singleInstance = true});
    registry.addWindow({.command = MenuCommands::CheckSheets.key(), .create = loadableWindow<frmCheckSheet>});
}
