#pragma once

class WindowRegistry;

// Registers the shop-floor tool windows: color feeder calibration and the QA check sheets.
void registerToolWindows(WindowRegistry &registry);
