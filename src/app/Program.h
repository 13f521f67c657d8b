#pragma once

// The whole program: every folder's windows and commands registered, then the command line run
// (the main window, or a command without one). main() is this; the benchmark starts it the same
// way to time the start-up.
int runProgram(int argc, char *argv[]);

class WindowRegistry;
// Every folder's windows and commands, each behind its menu command.
void registerEveryWindow(WindowRegistry &registry);
