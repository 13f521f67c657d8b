#pragma once

class WindowRegistry;

// Registers the per-shift windows behind the File menu.
void registerProductionWindows(WindowRegistry &registry);
