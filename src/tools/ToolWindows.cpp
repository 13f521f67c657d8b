#include "ToolWindows.h"

#include "widgets/WindowRegistry.h"

void registerToolWindows(WindowRegistry &registry)
{
    (void)registry;
}
