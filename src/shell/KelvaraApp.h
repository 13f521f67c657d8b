#pragma once

#include "widgets/WindowRegistry.h"

#include <QStringList>

#include <memory>

class QCoreApplication;
class SimulatedPlant;
class Session;

// One run of the program on the seams main() built: the command line, the single-instance guard,
// a production database for a first start, the main window with its start-up, the event loop.
class KelvaraApp
{
public:
    KelvaraApp(Session &session, WindowRegistry registry)
        : m_session(session), m_registry(std::move(registry))
    {
    }

    // A window-less application for the command-line modes, so that they run without a display;
    // the full application otherwise.
    static std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv);
    // The program's icon (the one the package installs, at each of its sizes) on every window of
    // the application.
    static void setProgramIcon();

    // The arguments without the program's name; returns the program's exit code.
    int run(const QStringList &arguments);

private:
    // A database to start on: the sample plant when asked for, the first-start dialog when none is
    // named. False when there is none to start on.
    bool prepareDatabase(bool sample);
    std::unique_ptr<SimulatedPlant> startSampleMachines();

    Session &m_session;
    WindowRegistry m_registry;
};
