#pragma once

class Session;
class WindowRegistry;

// Installs the reading of machines' counters into the session (the counts window's Read
// Counters): a progress dialog with Cancel while the machines answer on threads of their own.
void installCounterReader(Session &session);

// The Tools menu's Machine Connections window.
void registerMachineWindows(WindowRegistry &registry);
