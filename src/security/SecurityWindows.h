#pragma once

class WindowRegistry;

// Registers the security administration window behind its menu command.
void registerSecurityWindows(WindowRegistry &registry);
